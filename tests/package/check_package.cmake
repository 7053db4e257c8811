# The unpacked package: every file where the README says, the binaries
# stripped with run paths that stay inside the package, the unit installed
# but not enabled, the module's link in the show box's folder, and the
# version from the one place. -DROOT= -DDEB= ... (tests/package/CMakeLists.txt)
set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

get_filename_component(name ${DEB} NAME)
if(NOT name STREQUAL "trailbeam_${VERSION}_amd64.deb")
  fail("package file named ${name}")
endif()
execute_process(COMMAND ${DPKG_DEB} --field ${DEB} Version Depends OUTPUT_VARIABLE fields)
if(NOT fields MATCHES "Version: ${VERSION}\n")
  fail("control's version is not ${VERSION}: ${fields}")
endif()
# Computed from the binaries: Qt and, with the OLA bridge, OLA's library.
if(NOT fields MATCHES "libqt6widgets6" OR (OLA AND NOT fields MATCHES "libola"))
  fail("dependencies not taken from the binaries: ${fields}")
endif()

set(binaries ${BINDIR}/trailbeam-host ${BINDIR}/orvn-regsvr ${LIBDIR}/liborvncom.so
             ${LIBDIR}/TrailBeam.so)
foreach(file IN LISTS binaries ITEMS usr/lib/systemd/system/trailbeam-box.service
        usr/share/doc/trailbeam/README.md usr/share/doc/trailbeam/copyright
        usr/share/doc/trailbeam/changelog.gz)
  if(NOT EXISTS ${ROOT}/${file} OR IS_SYMLINK ${ROOT}/${file})
    fail("missing or not a plain file: /${file}")
  endif()
endforeach()
foreach(file IN LISTS binaries)
  execute_process(COMMAND ${READELF} -S -d ${ROOT}/${file} OUTPUT_VARIABLE elf)
  if(elf MATCHES "\\.debug_info|\\.symtab")
    fail("not stripped: /${file}")
  endif()
  string(REGEX MATCHALL "\\((RPATH|RUNPATH)\\)[^\n]*" paths "${elf}")
  foreach(path IN LISTS paths)
    string(REGEX REPLACE ".*\\[(.*)\\].*" "\\1" path "${path}")
    string(REPLACE ":" ";" path "${path}")
    foreach(entry IN LISTS path)
      if(NOT entry MATCHES "^\\$ORIGIN")
        fail("/${file} searches ${entry} for libraries")
      endif()
    endforeach()
  endforeach()
  string(FIND "${elf}" "${BUILD}" at)
  if(NOT at EQUAL -1)
    fail("/${file} names the build tree")
  endif()
endforeach()

# Installed, not enabled: nothing in the package links the unit into a target.
file(GLOB_RECURSE enabled LIST_DIRECTORIES true RELATIVE ${ROOT} ${ROOT}/etc/systemd/*)
if(enabled)
  fail("the package enables the unit: ${enabled}")
endif()

if(NOT IS_SYMLINK ${ROOT}/${MODULE_LINK})
  fail("/${MODULE_LINK} is not a link")
else()
  file(READ_SYMLINK ${ROOT}/${MODULE_LINK} target)
  if(NOT target STREQUAL MODULE)
    fail("/${MODULE_LINK} points to ${target}, not ${MODULE}")
  endif()
endif()

# The installed tool reads the installed module's version record, with the
# build tree's libraries out of its search path.
execute_process(COMMAND ${ROOT}/${BINDIR}/orvn-regsvr -v ${ROOT}/${LIBDIR}/TrailBeam.so
                RESULT_VARIABLE status OUTPUT_VARIABLE record ERROR_VARIABLE record)
if(NOT status EQUAL 0 OR NOT record MATCHES "ProductVersion=${VERSION}")
  fail("orvn-regsvr -v on the installed module (${status}): ${record}")
endif()

if(failures)
  message(FATAL_ERROR "The package is not as it should be:\n${failures}")
endif()
