# lintian on the package, failing on errors. Lintian leaves cache files in
# its temp folder, so it gets one of its own, removed afterwards.
#   cmake -DLINTIAN=lintian -DDEB=file.deb -DTMP=folder -P lintian.cmake
file(REMOVE_RECURSE ${TMP})
file(MAKE_DIRECTORY ${TMP})
set(ENV{TMPDIR} ${TMP})
execute_process(COMMAND ${LINTIAN} --fail-on error --tag-display-limit 0 ${DEB}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(REMOVE_RECURSE ${TMP})
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lintian found errors (status ${status})")
endif()
