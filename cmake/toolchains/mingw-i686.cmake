# 32-bit Windows, the program's own target. Its programs cannot run on a
# 64-bit-only Linux host (no 32-bit wine), so no emulator is set: the tests
# of this build run on Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNOCK_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
