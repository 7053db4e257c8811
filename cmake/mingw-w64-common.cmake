# The plain <triplet>-g++ has no std::thread in this GCC: name -posix.
set(CMAKE_C_COMPILER ${TB_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TB_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TB_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TB_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# No mingw runtime DLL has to be found at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
