# Shared by both MinGW-w64 toolchain files; OMBUP_MINGW_TRIPLET is set by the includer.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The -posix variant: the -win32 one has no std::thread.
set(CMAKE_C_COMPILER   ${OMBUP_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OMBUP_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${OMBUP_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OMBUP_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything links statically: the exe must run with no MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
