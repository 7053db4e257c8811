# A Wine prefix of its own for the Windows tests, made headless:
#   cmake -DACTION=up|down -DPREFIX=dir [-DDPI=120] -DLOADER=wine64 -DSERVER=wineserver
#         -P wine_prefix.cmake
# DPI is the screen's resolution in dots per inch (96 when not given).
# The wineserver and the services that the first Wine program starts keep
# the output of whoever started them open; started here with everything on
# /dev/null, no test's output pipe is held after the test has ended.
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
unset(ENV{DISPLAY})
# Wine keeps its server folder under TMPDIR: in the build's scratch folder,
# not in /tmp, where nothing would remove it.
get_filename_component(scratch "${PREFIX}" DIRECTORY)
file(MAKE_DIRECTORY "${scratch}")
set(ENV{TMPDIR} "${scratch}")
cmake_minimum_required(VERSION 3.25)

function(quiet)
  execute_process(COMMAND ${ARGN} INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null
                  RESULT_VARIABLE status TIMEOUT 600)
  set(status "${status}" PARENT_SCOPE)
endfunction()

function(must)
  quiet(${ARGN})
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

# A prefix left by an earlier run that ended early goes first.
if(EXISTS "${PREFIX}")
  quiet(${SERVER} -k)
  quiet(${SERVER} -w)
  file(REMOVE_RECURSE "${PREFIX}")
endif()
if(ACTION STREQUAL "down")
  return()
endif()

file(MAKE_DIRECTORY "${PREFIX}")
must(${SERVER} -p)
must(${LOADER} wineboot -i)
# Windows without a display (the null driver when there is no X server), a
# crash ends the program instead of opening a debugger's dialog, and
# windows under X need no window manager.
if(NOT DPI)
  set(DPI 96)
endif()
foreach(setting
    "HKCU\\Control Panel\\Desktop;LogPixels;REG_DWORD;${DPI}"
    "HKCU\\Software\\Wine\\Drivers;Graphics;REG_SZ;x11,null"
    "HKCU\\Software\\Wine\\WineDbg;ShowCrashDialog;REG_DWORD;0"
    "HKCU\\Software\\Wine\\X11 Driver;Decorated;REG_SZ;N"
    "HKCU\\Software\\Wine\\X11 Driver;Managed;REG_SZ;N")
  list(GET setting 0 key)
  list(GET setting 1 name)
  list(GET setting 2 type)
  list(GET setting 3 value)
  must(${LOADER} reg add "${key}" /v ${name} /t ${type} /d "${value}" /f)
endforeach()
# The settings take effect in a new server.
must(${SERVER} -k)
quiet(${SERVER} -w)
must(${SERVER} -p)
must(${LOADER} wineboot)
