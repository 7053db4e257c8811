# A Wine prefix of the test run's own, headless:
#   cmake -DACTION=up|down -DPREFIX=<folder> -P wine_prefix.cmake
# up makes it afresh and leaves a wineserver running for it; down stops that
# wineserver and removes the prefix. Every Wine program here has its output
# on /dev/null: the wineserver and the services it starts keep the pipes of
# the first Wine process open, and ctest would wait on them.
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
set(quiet INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)

function(wine_run)
  execute_process(COMMAND ${ARGN} ${quiet} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${result}")
  endif()
endfunction()

if(ACTION STREQUAL "up")
  execute_process(COMMAND wineserver -k ${quiet})
  file(REMOVE_RECURSE "${PREFIX}")
  file(MAKE_DIRECTORY "${PREFIX}")
  wine_run(wineserver -p)
  wine_run(wine wineboot -i)
  # Windows without a display (the null driver) and with one (X11, under
  # Xvfb without a window manager); a crash ends the program instead of
  # opening the debugger's dialog.
  set(keys
      "HKCU\\Software\\Wine\\Drivers|Graphics|REG_SZ|x11,null"
      "HKCU\\Software\\Wine\\X11 Driver|Decorated|REG_SZ|N"
      "HKCU\\Software\\Wine\\X11 Driver|Managed|REG_SZ|N"
      "HKCU\\Software\\Wine\\WineDbg|ShowCrashDialog|REG_DWORD|0")
  foreach(entry IN LISTS keys)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 key)
    list(GET parts 1 name)
    list(GET parts 2 type)
    list(GET parts 3 value)
    wine_run(wine reg add "${key}" /v ${name} /t ${type} /d ${value} /f)
  endforeach()
  # The drivers are chosen when the wineserver starts; the services start
  # here again, away from the tests' pipes.
  wine_run(wineserver -k)
  wine_run(wineserver -w)
  wine_run(wineserver -p)
  wine_run(wine wineboot)
elseif(ACTION STREQUAL "down")
  execute_process(COMMAND wineserver -k ${quiet})
  execute_process(COMMAND wineserver -w ${quiet})
  file(REMOVE_RECURSE "${PREFIX}")
else()
  message(FATAL_ERROR "ACTION must be up or down")
endif()
