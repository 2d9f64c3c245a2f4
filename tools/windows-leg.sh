#!/bin/bash
# The Windows leg: cross-builds the Win32 window, varnock-cli, the core and
# their tests with MinGW-w64 for 32-bit (the program's target) and 64-bit
# Windows, runs the 64-bit tests under wine64 (this host runs no 32-bit
# Windows code; the window's desktop test runs on Xvfb),
# checks that the 32-bit programs import nothing but Windows' own DLLs, and
# compiles and decodes the resource script. Exits non-zero on any failure.
#
# Usage: tools/windows-leg.sh
# Installs what is missing from tools/packages/windows.txt.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$PWD

step() { printf '\n==> %s\n' "$*"; }
fail() { printf 'windows-leg: %s\n' "$*" >&2; exit 1; }

# --- Tools ------------------------------------------------------------------
"$root/tools/install-packages.sh" windows

# --- Builds -----------------------------------------------------------------
for preset in mingw-i686 mingw-x86_64; do
    step "Configure and build preset $preset (build/$preset)"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done

# --- Tests under wine64 -----------------------------------------------------
# The same prefix the build's emulator uses by default. The server and the
# prefix's services are started here with nothing inherited, so they cannot
# hold this script's output open; they are stopped again on exit.
export WINEPREFIX=$root/build/mingw-x86_64/wineprefix
export WINEDEBUG=-all
wineserver=/usr/lib/wine/wineserver
stop_wine() { "$wineserver" -k 2>/dev/null || true; }
trap stop_wine EXIT
step "Start wine (WINEPREFIX=$WINEPREFIX; the first start creates it, ~700 MB)"
start=$SECONDS
cmake/toolchains/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 ||
    fail "wine64 does not start"
echo "wine ready in $((SECONDS - start)) s"

step "Run the x86_64 tests under wine64"
ctest --preset mingw-x86_64

# --- What the 32-bit programs import ------------------------------------------
# Linked statically, they must need nothing that Windows itself lacks.
allowed_dlls=" advapi32.dll comctl32.dll gdi32.dll iphlpapi.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll ws2_32.dll "
step "Check the DLL imports of the i686 programs"
for exe in build/mingw-i686/window/windows/varnock.exe \
           build/mingw-i686/console/varnock-cli.exe \
           build/mingw-i686/tests/lookup/lookup_tests.exe \
           build/mingw-i686/tests/lookup/windows/lookup_windows_tests.exe; do
    [[ -f "$exe" ]] || fail "$exe was not built"
    i686-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386' ||
        fail "$exe is not a 32-bit Windows program"
    dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
    [[ -n "$dlls" ]] || fail "$exe: no imports found"
    for dll in $dlls; do
        [[ "$allowed_dlls" == *" ${dll,,} "* ]] || fail "$exe imports $dll, which is not a Windows DLL"
    done
    echo "$exe: imports" $dlls
done

# --- The scripted IP Helper ---------------------------------------------------
# It must export every IP Helper function that the programs import, and every
# one they look up at run time, or wine refuses it (or the lookup finds none).
step "Check that the scripted IP Helper exports what the programs ask of IP Helper"
stand_in=build/mingw-x86_64/tests/support/windows/iphlpapi.dll
[[ -f "$stand_in" ]] || fail "$stand_in was not built"
exports=" $(x86_64-w64-mingw32-objdump -p "$stand_in" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[\s*[0-9]*\] //p' | tr '\n' ' ') "
asked=$(for exe in build/mingw-x86_64/window/windows/varnock.exe build/mingw-x86_64/console/varnock-cli.exe; do
            x86_64-w64-mingw32-objdump -p "$exe" |
                sed -n '/DLL Name: IPHLPAPI.DLL/I,/^$/s/^\s*[0-9a-f]\+\s\+[0-9]\+\s\+//p'
        done
        grep -ho 'FindIpHelperFunction<[A-Za-z0-9]*>("[A-Za-z0-9]*")' lookup/windows/*.cpp |
            sed 's/.*("\(.*\)")/\1/')
for name in $(sort -u <<<"$asked"); do
    [[ "$exports" == *" $name "* ]] || fail "the scripted IP Helper does not export $name"
done
echo "exports" $exports

# --- Resource script ----------------------------------------------------------
step "Compile the resource scripts as CMake wrote them, with the MinGW resource compiler, and decode them"
# The version record (resources/varnock.rc.in) and the window's own script
# with its manifest, both with the project's version filled in.
build=build/mingw-i686
for script in "$build/resources/varnock.rc" "$build/window/windows/varnock.exe.manifest"; do
    [[ -f "$script" ]] || fail "$script was not written by CMake"
done
i686-w64-mingw32-windres -O coff -I resources -i "$build/resources/varnock.rc" \
    -o "$build/varnock-resources.o"
i686-w64-mingw32-windres -O coff -I . -I resources -I "$build/window/windows" \
    -i window/windows/form1.rc -o "$build/form1-resources.o"
python3 tests/resources/check_compiled_resources.py "$build/varnock-resources.o" \
    "$build/form1-resources.o"

step "The downloads: one zip for each architecture"
tools/windows-zip.sh

step "Windows leg passed"
