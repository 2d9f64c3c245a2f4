#!/usr/bin/env bash
# Makes the Windows downloads from the MinGW-w64 cross-builds (build them
# first: cmake --preset mingw-i686 && cmake --build --preset mingw-i686, the
# same for mingw-x86_64; tools/windows-leg.sh does both):
#
#   build/dist/varnock-VERSION-windows-i686.zip
#   build/dist/varnock-VERSION-windows-x86_64.zip
#
# Each holds one folder of the same name with varnock.exe (the window) and
# varnock-cli.exe (stripped copies: the builds keep their debug
# information), varnock-vendors.bin (the compact vendor form made from this
# machine's IEEE registries, Debian's ieee-data, by the x86_64 build's
# make_vendor_file.exe under wine64), README.txt, LICENSE.txt and
# LICENSE-windows-runtime.txt (the runtime libraries linked into the
# program), all texts with Windows line ends. VERSION is the project's, as
# CMake recorded it in each build.
#
# Usage: tools/windows-zip.sh   (installs zip with apt-get when missing)
set -euo pipefail

cd "$(dirname "$0")/.."
root=$PWD

fail() { printf 'windows-zip: %s\n' "$*" >&2; exit 1; }

as_root() {
    if (($(id -u) == 0)); then "$@"; else sudo "$@"; fi
}
if ! command -v zip >/dev/null; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends zip
fi

# The compiler packages' versions, for the runtime licences' header.
toolchain_of() {
    local arch=$1 gcc mingw
    gcc=$(dpkg-query -W -f='${Version}' "gcc-mingw-w64-$arch-posix-runtime" 2>/dev/null) || gcc=unknown
    mingw=$(dpkg-query -W -f='${Version}' "mingw-w64-$arch-dev" 2>/dev/null) || mingw=unknown
    echo "gcc-mingw-w64 $gcc, mingw-w64 $mingw"
}

# LF to CRLF, whatever the input ends with.
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }

# The source's last commit dates the program's header and the zip entries,
# so that the same tree gives the same zip.
epoch=$(git log -1 --format=%ct 2>/dev/null || date +%s)
stamp=$(date -u -d "@$epoch" +%Y%m%d%H%M.%S)

work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-zip.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p build/dist

# The vendor names, the same for both: the registries in the order the
# program reads Debian's (the first that names a prefix wins).
registries=/usr/share/ieee-data
vendor_lists=()
for list in oui36.txt iab.txt mam.txt oui.txt; do
    [[ -f "$registries/$list" ]] || fail "$registries/$list is missing (Debian's ieee-data)"
    vendor_lists+=("Z:$registries/$list")
done
make_vendor_file=build/mingw-x86_64/console/make_vendor_file.exe
[[ -f "$make_vendor_file" ]] || fail "$make_vendor_file is missing: build the mingw-x86_64 preset"
WINEPREFIX=${WINEPREFIX:-$root/build/mingw-x86_64/wineprefix} \
    cmake/toolchains/wine-run.sh "$make_vendor_file" "Z:$work/varnock-vendors.bin" "${vendor_lists[@]}" \
    </dev/null || fail "make_vendor_file.exe failed"

for arch in i686 x86_64; do
    build=build/mingw-$arch
    programs=("$build/window/windows/varnock.exe" "$build/console/varnock-cli.exe")
    for exe in "${programs[@]}"; do
        [[ -f "$exe" ]] || fail "$exe is missing: cmake --preset mingw-$arch && cmake --build --preset mingw-$arch"
    done
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    [[ -n "$version" ]] || fail "no CMAKE_PROJECT_VERSION in $build/CMakeCache.txt"

    case $arch in
        i686) triplet=i686-w64-mingw32 format=pei-i386 deb_arch=i686 ;;
        x86_64) triplet=x86_64-w64-mingw32 format=pei-x86-64 deb_arch=x86-64 ;;
    esac
    name=varnock-$version-windows-$arch
    folder=$work/$name
    mkdir -p "$folder"
    for exe in "${programs[@]}"; do
        "$triplet-objdump" -f "$exe" | grep -q "file format $format" ||
            fail "$exe is not a $format program"
        SOURCE_DATE_EPOCH=$epoch "$triplet-strip" -o "$folder/$(basename "$exe")" "$exe"
    done
    cp "$work/varnock-vendors.bin" "$folder/varnock-vendors.bin"
    sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" packaging/windows/README.txt >"$work/README.txt"
    crlf "$work/README.txt" >"$folder/README.txt"
    crlf LICENSE >"$folder/LICENSE.txt"
    sed "s/@TOOLCHAIN@/$(toolchain_of "$deb_arch")/" packaging/windows/LICENSE-windows-runtime.txt \
        >"$work/runtime.txt"
    crlf "$work/runtime.txt" >"$folder/LICENSE-windows-runtime.txt"

    zip_file=$root/build/dist/$name.zip
    rm -f "$zip_file"
    # The same bytes from the same tree: fixed times and modes, and the
    # entries in sorted order rather than as the file system lists them.
    find "$folder" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
    chmod 755 "$folder"/*.exe
    TZ=UTC find "$folder" -exec touch -t "$stamp" {} +
    (cd "$work" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -D "$zip_file" -@)
    echo "build/dist/$name.zip:"
    unzip -l "$zip_file" | sed -n '4,$p' | sed '/^-----/,$d'
done
