#!/bin/sh
# wine-run.sh [--default-prefix DIR] PROGRAM.exe [ARGS...]
#
# Runs a Windows program under wine64 for ctest (CMAKE_CROSSCOMPILING_EMULATOR):
# quiet, without the Mono/Gecko installer prompts, in WINEPREFIX if the
# environment names one and in DIR otherwise, and with one persistent
# wineserver per prefix so that each test does not pay for starting wine.
set -e
: "${WINE:=/usr/lib/wine/wine64}"
: "${WINESERVER:=/usr/lib/wine/wineserver}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
if [ "${1:-}" = "--default-prefix" ]; then
    : "${WINEPREFIX:=$2}"
    shift 2
fi
export WINEDEBUG WINEDLLOVERRIDES
if [ -n "${WINEPREFIX:-}" ]; then
    export WINEPREFIX
    mkdir -p "$(dirname "$WINEPREFIX")"
fi

# The server and the prefix's service processes outlive this run. Started
# by the test program itself they would inherit its stdout and stderr, and
# ctest would wait for those pipes forever; so when this run starts the
# server (it refuses if one is running), it also boots the prefix with
# nothing inherited.
if "$WINESERVER" -p </dev/null >/dev/null 2>&1; then
    "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "$WINE" "$@"
