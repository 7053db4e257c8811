# cmake -DACTION=clear|check -DFOLDER=<folder> -P scratch_folder.cmake
#   clear: empties the tests' scratch folder before the first test.
#   check: after the last test, names whatever a test left in it, removes it
#          (so the next run starts clean) and fails if there was anything.
file(GLOB leftovers LIST_DIRECTORIES true "${FOLDER}/*" "${FOLDER}/.*")
if(ACTION STREQUAL "clear")
  if(leftovers)
    file(REMOVE_RECURSE ${leftovers})
  endif()
  file(MAKE_DIRECTORY "${FOLDER}")
elseif(ACTION STREQUAL "check")
  if(leftovers)
    list(JOIN leftovers "\n  " names)
    file(REMOVE_RECURSE ${leftovers})
    message(FATAL_ERROR "Tests left these behind in their scratch folder:\n  ${names}")
  endif()
else()
  message(FATAL_ERROR "ACTION must be clear or check")
endif()
