# regsvr32 registers or unregisters TrailBeam.dll, and the registry shows it:
#   cmake -DACTION=register|unregister -DDLL=path -DLOADER=wine64 -DBITS=64
#         -DSNAPSHOT=registry_snapshot.exe -P registration.cmake
# Runs in the prefix that WINEPREFIX names, where the host's ORVNTypeLib is
# registered already. Registering may change the component's own keys
# only, and unregistering leaves the registry as it was before.
set(clsid "{8B8E711B-B058-406D-82F9-20ED67963A1C}")
set(libid "{E416626D-7ED2-4D7E-B187-9E71A5146F2A}")
set(progid "ORVN_TB_plugin2.clsORVNPlugIn")
set(own_iid "{15155CDA-6C32-4C27-AD01-78D4B8CB3CC0}")
# The host's library and its two interfaces that the plug-in implements.
set(host_libid "{1287AF01-94DB-4B3C-AE61-9DB902280991}")
set(host_iids "{E832723C-C6D4-40DA-A298-A0664C748C30}" "{947BA881-B775-4114-BC85-7586A0D8D94A}")
string(REPLACE "/" "\\" windows_dll "Z:${DLL}")
set(out "$ENV{WINEPREFIX}/../registration-${ACTION}.txt")
# The registry before the registration, kept for the unregistration (other
# programs may add keys of their own in between), and before each step.
string(REPLACE "/" "\\" before_registering "Z:$ENV{WINEPREFIX}/registry-before.txt")
string(REPLACE "/" "\\" before_step "Z:$ENV{WINEPREFIX}/registry-step.txt")
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
  "HKCR\\Interface\\${own_iid}\\TypeLib||${libid}")
# The host's registration, as the host made it.
set(host_entries "HKCR\\TypeLib\\${host_libid}\\1.0\\0\\win${BITS}||ORVNTypeLib.tlb")
foreach(iid IN LISTS host_iids)
  list(APPEND host_entries "HKCR\\Interface\\${iid}\\TypeLib||${host_libid}")
endforeach()

# Every entry's value must contain its text.
function(check_entries)
  foreach(entry IN LISTS ARGN)
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
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# The keys that differ from a snapshot: with "only", each must be one of
# keys; with "unchanged", none may be.
function(compare_registry mode snapshot what)
  run(${SNAPSHOT} ${mode} "${snapshot}" ${ARGN})
  if(NOT status EQUAL 0)
    string(APPEND failures "\n  ${what} (${status}):\n${text}")
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

function(take_snapshot file)
  run(${SNAPSHOT} save "${file}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "registry snapshot: exit status ${status}: ${text}")
  endif()
endfunction()

set(own_keys "${progid}" "CLSID\\${clsid}" "TypeLib\\${libid}" "Interface\\${own_iid}")
set(host_keys "TypeLib\\${host_libid}")
foreach(iid IN LISTS host_iids)
  list(APPEND host_keys "Interface\\${iid}")
endforeach()

set(failures "")
if(ACTION STREQUAL "register")
  check_entries(${host_entries})
  take_snapshot("${before_registering}")
  run(regsvr32 /s "${windows_dll}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "regsvr32 ${windows_dll}: exit status ${status}")
  endif()
  check_entries(${entries} ${host_entries})
  compare_registry(only "${before_registering}" "regsvr32 changed keys that are not the component's"
                   ${own_keys})
elseif(ACTION STREQUAL "unregister")
  take_snapshot("${before_step}")
  run(regsvr32 /u /s "${windows_dll}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "regsvr32 /u ${windows_dll}: exit status ${status}")
  endif()
  foreach(key "HKCR\\${progid}" "HKCR\\CLSID\\${clsid}" "HKCR\\TypeLib\\${libid}\\1.0"
              "HKCR\\Interface\\${own_iid}")
    run(reg query "${key}")
    if(status EQUAL 0)
      string(APPEND failures "\n  ${key} is still there: ${text}")
    endif()
  endforeach()
  check_entries(${host_entries})
  compare_registry(only "${before_step}" "regsvr32 /u changed keys that are not the component's"
                   ${own_keys})
  # The component's keys gone and the host's as they were before the
  # component was registered.
  compare_registry(unchanged "${before_registering}"
                   "after regsvr32 /u, keys differ from before regsvr32" ${own_keys} ${host_keys})
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
