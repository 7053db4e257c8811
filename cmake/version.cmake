# The product version has one source, project(VERSION): the module's version
# record, the DLL's version resource, the Debian package and the installers
# all take it from here.
if(NOT PROJECT_VERSION_TWEAK MATCHES "^[0-9]+$")
  message(FATAL_ERROR "project(VERSION) needs four parts, as a Windows version resource does")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/trailbeam_version.h.in
               ${CMAKE_BINARY_DIR}/generated/version/trailbeam_version.h @ONLY)
add_library(tb_version INTERFACE)
target_include_directories(tb_version INTERFACE ${CMAKE_BINARY_DIR}/generated/version)
