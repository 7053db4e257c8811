# What `cmake --install` puts under a prefix: the programs in bin, the
# runtime and the module in a private folder beside them, found through
# run paths relative to the binaries, so that an installed tree runs with
# the build tree gone. `--strip` (and the package) strips them.
include(GNUInstallDirs)
# The package's name, not the project's, as Debian wants it.
set(TB_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/trailbeam)
set(TB_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/trailbeam)
# Where an installed show box keeps its TrailBeam.ini: beside a link to the
# module, since the module saves the file in its own folder and the module's
# own folder is not the operator's to write.
set(TB_STATE_DIR lib/trailbeam)

file(RELATIVE_PATH tb_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${TB_PRIVATE_LIBDIR})
set(tb_programs orvn-regsvr)
if(TARGET trailbeam-host)
  list(APPEND tb_programs trailbeam-host)
endif()
set_target_properties(${tb_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/${tb_bin_to_lib}")
set_target_properties(TrailBeam PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${tb_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS orvncom TrailBeam LIBRARY DESTINATION ${TB_PRIVATE_LIBDIR})

install(FILES docs/trailbeam-box.service DESTINATION lib/systemd/system)
install(FILES README.md packaging/debian/copyright DESTINATION ${TB_DOCDIR})
set(TB_PACKAGE_MAINTAINER "TrailBeam developers <trailbeam@example.org>"
    CACHE STRING "The package's maintainer, Name <address>")
configure_file(packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/generated/changelog @ONLY)
# Compressed as Debian's documentation wants it: best ratio, no time stamp.
set(tb_changelog ${CMAKE_BINARY_DIR}/generated/changelog.gz)
add_custom_command(OUTPUT ${tb_changelog}
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/generated/changelog > ${tb_changelog}
  DEPENDS ${CMAKE_BINARY_DIR}/generated/changelog VERBATIM)
add_custom_target(tb_changelog ALL DEPENDS ${tb_changelog})
install(FILES ${tb_changelog} DESTINATION ${TB_DOCDIR})

# The show box's folder: /var/lib/trailbeam for the prefix /usr (as
# GNUInstallDirs places /usr's state), else var/lib/trailbeam under the
# prefix. Decided at install time, since the package installs under a prefix
# of its own.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(tb_state /var/${TB_STATE_DIR})
  else()
    set(tb_state \${CMAKE_INSTALL_PREFIX}/var/${TB_STATE_DIR})
  endif()
  set(tb_module \${CMAKE_INSTALL_PREFIX}/${TB_PRIVATE_LIBDIR}/TrailBeam.so)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${tb_state}/TrailBeam.so -> \${tb_module}\")
  file(MAKE_DIRECTORY \$ENV{DESTDIR}\${tb_state})
  file(CREATE_LINK \${tb_module} \$ENV{DESTDIR}\${tb_state}/TrailBeam.so SYMBOLIC)
")
