# Builds the package from the build's binaries and unpacks it into a fresh
# throw-away root. -DBUILD= -DDEB= -DROOT= -DDPKG_DEB= -DCPACK=
file(REMOVE ${DEB})
execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD}/CPackConfig.cmake
                WORKING_DIRECTORY ${BUILD} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT EXISTS ${DEB})
  message(FATAL_ERROR "cpack did not make ${DEB} (${status}):\n${out}")
endif()
file(REMOVE_RECURSE ${ROOT})
file(MAKE_DIRECTORY ${ROOT})
execute_process(COMMAND ${DPKG_DEB} -x ${DEB} ${ROOT} RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -x failed: ${err}")
endif()
