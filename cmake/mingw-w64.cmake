# Cross build for Windows with Debian's mingw-w64, shared by the two
# architectures' toolchain files (they set TB_MINGW_TRIPLE, the processor and
# TB_WINE_NAME). The -posix compilers carry std::thread and std::mutex; the
# others do not. Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TB_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TB_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Header-only packages (Eigen) come from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Wine's loader of this architecture: Debian's "wine" script starts Wine's
# own programs (regsvr32, cscript, reg) as 32-bit ones whenever wine32 is
# installed, which would register and look in the 32-bit registry view.
find_program(TB_WINE_LOADER NAMES ${TB_WINE_NAME} PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT TB_WINE_LOADER)
  find_program(TB_WINE_LOADER NAMES ${TB_WINE_NAME} wine REQUIRED)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${TB_WINE_LOADER})
