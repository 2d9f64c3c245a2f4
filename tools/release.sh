#!/usr/bin/env bash
# Makes the release of the commit checked out, from a clean clone of it, so
# that nothing of this working copy (changes, build folders) gets in:
#
#   OUT/varnock-VERSION.tar.gz                  the source (git archive)
#   OUT/varnock_VERSION-REVISION_ARCH.deb       the Debian package
#   OUT/varnock-VERSION-windows-i686.zip        the Windows downloads
#   OUT/varnock-VERSION-windows-x86_64.zip
#   OUT/SHA256SUMS                              the checksums of those four
#   OUT/manifests/winget/Orbelund.Varnock*.yaml a winget multi-file manifest
#   OUT/manifests/scoop/varnock.json            a Scoop manifest
#
# Two runs on the same commit give the same bytes in every file: the times
# come from the commit (SOURCE_DATE_EPOCH), archives list their entries in
# a fixed order with fixed modes, the build folder's path is mapped away
# (-ffile-prefix-map) and the Windows programs carry no link time. Only the
# programs are built, without their tests (CI tests them elsewhere).
#
# Usage: tools/release.sh [--out DIR] [--base-url URL]
#   --out DIR       where the files go (default build/dist; the files named
#                   above are replaced, others left alone)
#   --base-url URL  where the zips will be downloaded from, for the
#                   manifests (default https://www.orbelund.example/varnock/VERSION)
# Needs the Debian package's build dependencies (tools/package-check.sh
# installs them), the Windows leg's tools (tools/packages/windows.txt) and
# Debian's ieee-data for the vendor names.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$PWD
out=$root/build/dist
base_url=''
while (($# > 0)); do
    case $1 in
        --out) out=$(realpath -m "$2"); shift 2 ;;
        --base-url) base_url=$2; shift 2 ;;
        *) echo "usage: tools/release.sh [--out DIR] [--base-url URL]" >&2; exit 2 ;;
    esac
done

step() { printf '\n==> %s\n' "$*"; }
fail() { printf 'release: %s\n' "$*" >&2; exit 1; }

commit=$(git rev-parse --verify HEAD)
[[ -z "$(git status --porcelain --untracked-files=no)" ]] ||
    echo "release: the working copy has changes; they are left out: this is $commit" >&2
work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-release.XXXXXX")
stop_wine() {
    if [[ -d "$work/src/build/mingw-x86_64/wineprefix" ]]; then
        WINEPREFIX=$work/src/build/mingw-x86_64/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    fi
}
trap 'stop_wine; rm -rf "$work"' EXIT

step "A clean clone of $commit"
src=$work/src
git clone -q --no-local --no-checkout "$root" "$src"
git -C "$src" checkout -q --detach "$commit"
cd "$src"
version=$(sed -n 's/^ *VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt | head -n1)
[[ -n "$version" ]] || fail "no project VERSION in CMakeLists.txt"
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8
: "${base_url:=https://www.orbelund.example/varnock/$version}"
mkdir -p "$work/dist"

step "Source archive"
source_archive=varnock-$version.tar.gz
git archive --format=tar --prefix="varnock-$version/" "$commit" | gzip -n -9 >"$work/dist/$source_archive"

step "Windows programs (the presets' compilers, no tests)"
for arch in i686 x86_64; do
    cmake --preset "mingw-$arch" -DVARNOCK_BUILD_TESTS=OFF \
        "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$src=." >"$work/configure-$arch.log" ||
        { cat "$work/configure-$arch.log"; fail "configuring mingw-$arch failed"; }
    targets=(varnock varnock-cli)
    [[ $arch == x86_64 ]] && targets+=(make_vendor_file)
    cmake --build "build/mingw-$arch" -j2 --target "${targets[@]}" >"$work/build-$arch.log" ||
        { tail -n 40 "$work/build-$arch.log"; fail "building mingw-$arch failed"; }
done
step "Windows zips"
tools/windows-zip.sh
stop_wine
cp build/dist/varnock-"$version"-windows-*.zip "$work/dist/"

step "Debian package (dpkg-buildpackage -b; its log: $work/package.log)"
dpkg-checkbuilddeps || fail "the package's build dependencies are missing: run tools/package-check.sh"
DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b >"$work/package.log" 2>&1 ||
    { tail -n 40 "$work/package.log"; fail "dpkg-buildpackage failed"; }
package_version=$(dpkg-parsechangelog -S Version)
deb=varnock_${package_version}_$(dpkg --print-architecture).deb
cp "$work/$deb" "$work/dist/"

step "Checksums and manifests"
cd "$work/dist"
sha256sum "$source_archive" "$deb" varnock-"$version"-windows-i686.zip \
    varnock-"$version"-windows-x86_64.zip >SHA256SUMS
python3 "$src/tools/release_manifests.py" --version "$version" --base-url "$base_url" \
    --out manifests varnock-"$version"-windows-i686.zip varnock-"$version"-windows-x86_64.zip

mkdir -p "$out"
rm -rf "$out/manifests"
cp -r "$work/dist/." "$out/"
step "Release of $commit in $out"
cat SHA256SUMS
find manifests -type f | LC_ALL=C sort
