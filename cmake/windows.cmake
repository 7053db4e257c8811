# What Windows needs: the core, the shell as TrailBeam.dll, and the tests
# that run under Wine. Nothing of platform/ (the Linux stand-ins), no Qt.
enable_language(C RC)
# No mingw runtime DLL has to be found next to the programs.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

find_program(TB_WIDL NAMES widl REQUIRED)
find_program(TB_WINESERVER NAMES wineserver PATHS /usr/lib/wine REQUIRED)

enable_testing()
add_subdirectory(rig)
add_subdirectory(follow)
# The windows' Win32 backend (target trailbeam_ui_win32), when present; the
# DLL builds its MainForm and Configure on it.
if(EXISTS ${PROJECT_SOURCE_DIR}/ui/win32/CMakeLists.txt)
  add_subdirectory(ui/win32)
endif()
add_subdirectory(shell)
add_subdirectory(tests/windows)
