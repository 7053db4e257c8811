# The Windows build: the core, the operator windows on native controls and
# their tests, run through Wine.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
enable_testing()
# Header-only, from the build machine.
set(Eigen3_DIR /usr/share/eigen3/cmake CACHE PATH "Eigen's CMake package")
add_subdirectory(rig)
add_subdirectory(follow)
add_subdirectory(ui)
add_subdirectory(tests/win32)
