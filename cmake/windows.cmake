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
# The operator windows on native controls, before the module that shows them.
add_subdirectory(ui)
add_subdirectory(shell)
include(cmake/windows-installer.cmake)
add_subdirectory(tests/windows)
add_subdirectory(tests/win32)
