# The installer as an operator runs it, silently, in a Wine prefix of its
# own: /S installs and registers TrailBeam.dll, a script creates the
# plug-in by ProgID, /S uninstalls, and every key and file is gone except
# the operator's TrailBeam.ini; and an uninstall whose DLL was deleted by hand.
#   cmake -DINSTALLER=setup.exe -DLOADER=wine64 -DBITS=64 -DFOLDER=TrailBeam -DVERSION=1.0.0.0
#         -DSCRIPT=plugin_by_name.vbs -DEXPECTED=plugin_by_name.expected -P installer.cmake
# Runs in the prefix that WINEPREFIX names.
cmake_minimum_required(VERSION 3.25)
set(clsid "{8B8E711B-B058-406D-82F9-20ED67963A1C}")
set(progid "ORVN_TB_plugin2.clsORVNPlugIn")
set(uninstall_key "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TrailBeam")
set(folder "$ENV{WINEPREFIX}/drive_c/${FOLDER}")
set(windows_folder "C:\\${FOLDER}")
set(windows_dll "${windows_folder}\\TrailBeam.dll")
set(out "$ENV{WINEPREFIX}/../installer-out.txt")

# Wine's programs keep the output of a pipe open; a file is read instead.
function(run)
  execute_process(COMMAND ${LOADER} ${ARGN} INPUT_FILE /dev/null OUTPUT_FILE "${out}"
                  ERROR_FILE "${out}.err" RESULT_VARIABLE status TIMEOUT 300)
  file(READ "${out}" text)
  file(REMOVE "${out}" "${out}.err")
  set(status "${status}" PARENT_SCOPE)
  set(text "${text}" PARENT_SCOPE)
endfunction()

# The uninstaller runs from a copy of itself and returns at once; the copy
# removes the uninstaller last.
function(wait_for_uninstall)
  foreach(second RANGE 120)
    if(NOT EXISTS "${folder}/uninstall.exe")
      return()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1)
  endforeach()
endfunction()

set(failures "")
function(expect_value key name expected)
  if(name STREQUAL "")
    run(reg query "${key}" /ve)
  else()
    run(reg query "${key}" /v "${name}")
  endif()
  string(FIND "${text}" "${expected}" at)
  if(NOT status EQUAL 0 OR at EQUAL -1)
    set(failures "${failures}\n  ${key} ${name}: expected \"${expected}\", reg said (${status}): ${text}"
        PARENT_SCOPE)
  endif()
endfunction()

string(REPLACE "/" "\\" windows_installer "Z:${INSTALLER}")
run("${windows_installer}" /S)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${INSTALLER} /S: exit status ${status}: ${text}")
endif()
foreach(file TrailBeam.dll uninstall.exe)
  if(NOT EXISTS "${folder}/${file}")
    string(APPEND failures "\n  not installed: ${windows_folder}\\${file}")
  endif()
endforeach()
expect_value("HKCR\\${progid}\\CLSID" "" "${clsid}")
expect_value("HKCR\\CLSID\\${clsid}\\InprocServer32" "" "${windows_dll}")
expect_value("${uninstall_key}" DisplayVersion "${VERSION}")
expect_value("${uninstall_key}" DisplayName "TrailBeam (${BITS}-bit)")
expect_value("${uninstall_key}" UninstallString "${windows_folder}\\uninstall.exe")
expect_value("${uninstall_key}" QuietUninstallString "/S")

execute_process(COMMAND ${CMAKE_COMMAND} -DLOADER=${LOADER} -DSCRIPT=${SCRIPT} -DEXPECTED=${EXPECTED}
                        -DOUT=${out} -P ${CMAKE_CURRENT_LIST_DIR}/run_script.cmake
                RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE text)
if(NOT status EQUAL 0)
  string(APPEND failures "\n  the script could not use the installed plug-in: ${text}")
endif()

# The operator's calibration, which the uninstaller must leave.
set(settings "TrailBeam.ini\r\nTruss L,1,2\r\n")
file(WRITE "${folder}/TrailBeam.ini" "${settings}")
file(SHA256 "${folder}/TrailBeam.ini" written)
run("${windows_folder}\\uninstall.exe" /S)
if(NOT status EQUAL 0)
  string(APPEND failures "\n  uninstall.exe /S: exit status ${status}: ${text}")
endif()
wait_for_uninstall()
foreach(key "HKCR\\${progid}" "HKCR\\CLSID\\${clsid}" "${uninstall_key}")
  run(reg query "${key}")
  if(status EQUAL 0)
    string(APPEND failures "\n  ${key} is still there after the uninstall: ${text}")
  endif()
endforeach()
foreach(file TrailBeam.dll uninstall.exe)
  if(EXISTS "${folder}/${file}")
    string(APPEND failures "\n  still there after the uninstall: ${windows_folder}\\${file}")
  endif()
endforeach()
if(NOT EXISTS "${folder}/TrailBeam.ini")
  string(APPEND failures "\n  the uninstall removed TrailBeam.ini")
else()
  file(SHA256 "${folder}/TrailBeam.ini" kept)
  if(NOT kept STREQUAL written)
    file(READ "${folder}/TrailBeam.ini" text HEX)
    string(APPEND failures "\n  the uninstall changed TrailBeam.ini: ${text}")
  endif()
endif()

# A DLL the operator deleted by hand cannot unregister itself; the
# uninstaller must still remove itself and its entry in the programs.
run("${windows_installer}" /S)
if(NOT status EQUAL 0)
  string(APPEND failures "\n  second ${INSTALLER} /S: exit status ${status}: ${text}")
endif()
file(REMOVE "${folder}/TrailBeam.dll")
run("${windows_folder}\\uninstall.exe" /S)
wait_for_uninstall()
run(reg query "${uninstall_key}")
if(status EQUAL 0 OR EXISTS "${folder}/uninstall.exe")
  string(APPEND failures "\n  with TrailBeam.dll deleted by hand, the uninstall left its entry "
         "or itself")
endif()

if(failures)
  message(FATAL_ERROR "the installer:${failures}")
endif()
message(STATUS "installed, used by name, uninstalled, also without its DLL; TrailBeam.ini kept")
