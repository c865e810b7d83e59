# The build that the tests run: this machine's Wine runs only 64-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(OMBUP_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/harness/wine-run --test)
