# Shared part of the MinGW-w64 toolchains; the arch files set
# VARNOCK_MINGW_TRIPLET first and include this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The -posix compilers: the -win32 ones lack std::mutex and std::thread, which
# GoogleTest (and later the console's parallel scans) need.
set(CMAKE_C_COMPILER ${VARNOCK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNOCK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNOCK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOCK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: the programs then import only DLLs that every Windows has,
# not libstdc++, libgcc or winpthread DLLs that a user would have to ship.
# No link time in the program's header either: the same sources give the
# same program (tools/release.sh).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")
