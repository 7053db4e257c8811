# TrailBeam-<version>-setup.exe for this build's bitness, made with NSIS
# (Debian's nsis) from packaging/windows/trailbeam.nsi.in.
find_program(TB_MAKENSIS makensis)
if(NOT TB_MAKENSIS)
  message(WARNING "makensis not found (Debian package nsis): no installer is built")
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TB_BITS 64)
  set(TB_NSIS_TARGET amd64-unicode)
  set(TB_INSTALL_FOLDER "TrailBeam")
else()
  set(TB_BITS 32)
  set(TB_NSIS_TARGET x86-unicode)
  set(TB_INSTALL_FOLDER "TrailBeam (32-bit)")
endif()
# The installer ships a stripped copy; the tests load the DLL with its
# debug information.
set(TB_DLL ${CMAKE_BINARY_DIR}/installer/TrailBeam.dll)
set(TB_INSTALLER ${CMAKE_BINARY_DIR}/installer/TrailBeam-${PROJECT_VERSION}-setup.exe)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/trailbeam.nsi.in
               ${CMAKE_BINARY_DIR}/installer/trailbeam.nsi @ONLY)
add_custom_command(OUTPUT ${TB_INSTALLER}
  COMMAND ${CMAKE_STRIP} -s -o ${TB_DLL} $<TARGET_FILE:TrailBeam>
  COMMAND ${TB_MAKENSIS} -V2 ${CMAKE_BINARY_DIR}/installer/trailbeam.nsi
  DEPENDS ${CMAKE_BINARY_DIR}/installer/trailbeam.nsi TrailBeam
  COMMENT "makensis TrailBeam-${PROJECT_VERSION}-setup.exe (${TB_BITS}-bit)" VERBATIM)
add_custom_target(installer ALL DEPENDS ${TB_INSTALLER})
