# regsvr32 registers or unregisters TrailBeam.dll, and the registry shows it:
#   cmake -DACTION=register|unregister -DDLL=path -DLOADER=wine64 -DBITS=64 -P registration.cmake
# Runs in the prefix that WINEPREFIX names.
set(clsid "{8B8E711B-B058-406D-82F9-20ED67963A1C}")
set(libid "{E416626D-7ED2-4D7E-B187-9E71A5146F2A}")
set(progid "ORVN_TB_plugin2.clsORVNPlugIn")
# The host's library, registered from the DLL where no host has done so.
set(host_libid "{1287AF01-94DB-4B3C-AE61-9DB902280991}")
string(REPLACE "/" "\\" windows_dll "Z:${DLL}")
set(out "$ENV{WINEPREFIX}/../registration-${ACTION}.txt")
cmake_minimum_required(VERSION 3.25)

# Wine's programs keep the output of a pipe open; a file is read instead.
function(run)
  execute_process(COMMAND ${LOADER} ${ARGN} INPUT_FILE /dev/null OUTPUT_FILE "${out}"
                  ERROR_FILE "${out}.err" RESULT_VARIABLE status TIMEOUT 120)
  file(READ "${out}" text)
  file(REMOVE "${out}" "${out}.err")
  set(status "${status}" PARENT_SCOPE)
  set(text "${text}" PARENT_SCOPE)
endfunction()

# key|value name, empty for the default|the text the value must contain.
set(entries
  "HKCR\\${progid}\\CLSID||${clsid}"
  "HKCR\\CLSID\\${clsid}||${progid}"
  "HKCR\\CLSID\\${clsid}\\InprocServer32||${windows_dll}"
  "HKCR\\CLSID\\${clsid}\\InprocServer32|ThreadingModel|Apartment"
  "HKCR\\CLSID\\${clsid}\\ProgID||${progid}"
  "HKCR\\CLSID\\${clsid}\\TypeLib||${libid}"
  "HKCR\\TypeLib\\${libid}\\1.0||ORVN_TB_plugin2"
  "HKCR\\TypeLib\\${libid}\\1.0\\0\\win${BITS}||${windows_dll}"
  "HKCR\\Interface\\{15155CDA-6C32-4C27-AD01-78D4B8CB3CC0}\\TypeLib||${libid}"
  "HKCR\\TypeLib\\${host_libid}\\1.0\\0\\win${BITS}||${windows_dll}\\2"
  "HKCR\\Interface\\{E832723C-C6D4-40DA-A298-A0664C748C30}\\TypeLib||${host_libid}")

set(failures "")
if(ACTION STREQUAL "register")
  run(regsvr32 /s "${windows_dll}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "regsvr32 ${windows_dll}: exit status ${status}")
  endif()
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 key)
    list(GET entry 1 name)
    list(GET entry 2 expected)
    if(name STREQUAL "")
      run(reg query "${key}" /ve)
    else()
      run(reg query "${key}" /v "${name}")
    endif()
    string(FIND "${text}" "${expected}" at)
    if(NOT status EQUAL 0 OR at EQUAL -1)
      string(APPEND failures "\n  ${key} ${name}: expected \"${expected}\", reg said (${status}): ${text}")
    endif()
  endforeach()
elseif(ACTION STREQUAL "unregister")
  run(regsvr32 /u /s "${windows_dll}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "regsvr32 /u ${windows_dll}: exit status ${status}")
  endif()
  foreach(key "HKCR\\${progid}" "HKCR\\CLSID\\${clsid}" "HKCR\\TypeLib\\${libid}\\1.0"
              "HKCR\\TypeLib\\${host_libid}\\1.0")
    run(reg query "${key}")
    if(status EQUAL 0)
      string(APPEND failures "\n  ${key} is still there: ${text}")
    endif()
  endforeach()
  # A second unregistration finds nothing to remove and succeeds.
  run(regsvr32 /u /s "${windows_dll}")
  if(NOT status EQUAL 0)
    string(APPEND failures "\n  regsvr32 /u of an unregistered DLL: exit status ${status}")
  endif()
else()
  message(FATAL_ERROR "ACTION must be register or unregister")
endif()
if(failures)
  message(FATAL_ERROR "registry after regsvr32 ${ACTION}:${failures}")
endif()
message(STATUS "${ACTION}: every key as expected")
