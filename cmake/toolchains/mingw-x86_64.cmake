# 64-bit Windows: the build whose tests run here under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNOCK_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# A prefix of its own for each build directory (~700 MB, made on first use).
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --default-prefix ${CMAKE_BINARY_DIR}/wineprefix)
