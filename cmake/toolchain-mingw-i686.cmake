# The shipping build: a 32-bit updater.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(OMBUP_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
