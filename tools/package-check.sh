#!/usr/bin/env bash
# Builds the Debian package from this tree and proves it the way a user gets
# it: lintian finds nothing to warn about, apt-get installs it and brings
# every dependency itself, the installed programs work (varnock-cli in the
# namespace lab as nobody, the window on Xvfb), the desktop metadata is
# valid, and a purge leaves none of its files behind.
#
# Usage (as root, after `apt-get update`; CI runs it): tools/package-check.sh
# The build runs in a temporary copy of the tree, so nothing lands outside
# it; the .deb files end in build/dist/, the build log and the window's
# screenshots in build/package-check/. Installs what it needs with apt-get.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

step() { printf '\n==> %s\n' "$*"; }
fail() { printf 'package-check: %s\n' "$*" >&2; exit 1; }

(($(id -u) == 0)) || fail "run as root: it installs and purges packages"
export DEBIAN_FRONTEND=noninteractive

work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

# --- Tools --------------------------------------------------------------------
"$root/tools/install-packages.sh" package

# --- Build ----------------------------------------------------------------------
# The tree as it would be committed: tracked files and new ones git does not
# ignore, without build/ and the other leftovers of a working copy.
version=$(sed -n 's/^ *VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt | head -n1)
[[ -n "$version" ]] || fail "no project VERSION in CMakeLists.txt"
source_dir=$work/varnock-$version
mkdir -p "$source_dir"
git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - | tar -xf - -C "$source_dir"

package_version=$(cd "$source_dir" && dpkg-parsechangelog -S Version)
[[ "${package_version%-*}" == "$version" ]] ||
    fail "debian/changelog has $package_version, but CMakeLists.txt says $version"

step "Build dependencies of varnock $package_version"
apt-get build-dep -y -q --no-install-recommends "$source_dir"

log=build/package-check/package-build.log
step "dpkg-buildpackage -us -uc -b (log: $log)"
mkdir -p build/dist build/package-check
rm -f build/dist/varnock_*.deb build/dist/varnock-dbgsym_*.deb
(cd "$source_dir" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" \
    nice -n 10 dpkg-buildpackage -us -uc -b) >"$log" 2>&1 ||
    { tail -n 40 "$log"; fail "dpkg-buildpackage failed"; }
cp "$work"/*.deb build/dist/
arch=$(dpkg --print-architecture)
deb=build/dist/varnock_${package_version}_${arch}.deb
[[ -f "$deb" ]] || fail "no $deb"
ls -l build/dist/*.deb

step "lintian (no errors, no warnings)"
# As nobody: lintian has no need for root.
chmod 755 "$work"
setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work" \
    lintian --info --fail-on error,warning "$work"/varnock_*.changes ||
    fail "lintian found errors or warnings"

# --- Install ------------------------------------------------------------------------
if dpkg-query -W -f='${Status}' varnock 2>/dev/null | grep -q "install ok installed"; then
    step "Purging the varnock installed before"
    apt-get purge -y -q varnock
fi
installed_packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" {print $2}' | sort
}
installed_packages >"$work/packages-before"
step "apt-get install ./$deb"
apt-get install -y -q "./$deb"
dpkg-query -W -f='${Status}' varnock | grep -q "install ok installed" || fail "varnock is not installed"
dpkg -L varnock >"$work/files"
: >"$work/kinds"
while read -r path; do
    # A folder reached through a link (/lib on a merged /usr) is a folder too.
    if [[ -d "$path" ]]; then echo "d $path"; else echo "f $path"; fi >>"$work/kinds"
done <"$work/files"

step "The installed files"
for path in /usr/bin/varnock /usr/bin/varnock-cli /usr/bin/varnock-web \
    /usr/share/applications/example.orbelund.Varnock.desktop \
    /usr/share/metainfo/example.orbelund.Varnock.metainfo.xml \
    /usr/share/icons/hicolor/16x16/apps/example.orbelund.Varnock.png \
    /usr/share/icons/hicolor/32x32/apps/example.orbelund.Varnock.png \
    /usr/share/man/man1/varnock.1.gz /usr/share/man/man1/varnock-cli.1.gz \
    /usr/share/man/man1/varnock-web.1.gz \
    /usr/share/bash-completion/completions/varnock-cli \
    /usr/share/varnock/prometheus/varnock.rules.yml \
    /usr/share/doc/varnock/copyright; do
    grep -qxF "$path" "$work/files" || fail "the package does not install $path"
done
! grep -q '^/usr/local' "$work/files" || fail "the package installs under /usr/local"
while read -r kind path; do
    [[ "$kind" == f && -f "$path" ]] || continue
    [[ ! -u "$path" && ! -g "$path" ]] || fail "$path is set-id"
    ! python3 -c 'import os, sys; os.getxattr(sys.argv[1], "security.capability")' "$path" \
        2>/dev/null || fail "$path carries file capabilities"
done <"$work/kinds"
echo "$(grep -c '^f' "$work/kinds") files; none set-id, none with capabilities, none in /usr/local"

step "The systemd units: systemd-analyze verify and security (exposure at most 2.0)"
for name in 'varnock-watch@.service' varnock-web.service varnock-web.socket; do
    unit=$(grep -E "/systemd/system/${name//./\\.}\$" "$work/files") ||
        fail "the package does not install $name"
    verify_output=$(systemd-analyze verify --man=no "$unit" 2>&1) ||
        fail "systemd-analyze verify $name: $verify_output"
    [[ -z "$verify_output" ]] || fail "systemd-analyze verify $name: $verify_output"
    [[ "$name" == *.service ]] || continue
    security=$(systemd-analyze security --offline=true --no-pager "$unit" 2>&1) ||
        fail "systemd-analyze security $name: $security"
    exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$security")
    [[ -n "$exposure" ]] || fail "systemd-analyze security gave no exposure level for $name: $security"
    echo "$name: exposure level $exposure"
    awk -v level="$exposure" 'BEGIN { exit !(level <= 2.0) }' ||
        fail "$name is too exposed ($exposure > 2.0): $security"
done
grep -qxF /usr/lib/sysusers.d/varnock.conf "$work/files" ||
    fail "the package does not install its group (sysusers.d/varnock.conf)"
getent group varnock-watch >/dev/null || fail "the install made no group varnock-watch"

step "/usr/bin/varnock-cli --version"
/usr/bin/varnock-cli --version

step "bash completion of varnock-cli"
bash -c 'source /usr/share/bash-completion/completions/varnock-cli 2>/dev/null; complete -p varnock-cli' ||
    fail "the completion does not register for varnock-cli"

step "/usr/bin/varnock-cli 192.0.2.2 in the namespace lab, as nobody"
answer=$(VARNOCK_REQUIRE_LAB=1 tests/lab/run-in-lab.sh /usr/bin/varnock-cli 192.0.2.2) ||
    fail "the lookup exited with status $? ($answer)"
echo "$answer"
[[ "$answer" == *"02:1A:2B:3C:4D:5E"* ]] || fail "the lab host's address is not in the answer"

step "desktop-file-validate and appstreamcli validate on the installed files"
desktop_output=$(desktop-file-validate /usr/share/applications/example.orbelund.Varnock.desktop 2>&1) ||
    fail "desktop-file-validate: $desktop_output"
[[ -z "$desktop_output" ]] || fail "desktop-file-validate: $desktop_output"
appstreamcli validate --no-net /usr/share/metainfo/example.orbelund.Varnock.metainfo.xml ||
    fail "appstreamcli validate failed"

step "The installed window on Xvfb (tests/desktop/desktop_test.sh)"
# With VARNOCK_PROGRAM set the test uses that program; its CMAKE and BUILD_DIR
# arguments only serve to install a build, which is not needed here.
# The places and colours it checks come from the window's description, written
# by the developer build (made here if this checkout has none).
points=build/default/tests/window/form_points.sh
if [[ ! -f "$points" ]]; then
    cmake --preset default >/dev/null
    cmake --build build/default --target form_points_file
fi
VARNOCK_PROGRAM=/usr/bin/varnock tests/desktop/desktop_test.sh cmake "$work/no-build" \
    build/package-check/desktop-artifacts "$points"

step "The units under a real systemd (tests/packaging/systemd_test.sh)"
# A Debian 12 root booted with systemd-nspawn, the package installed in it,
# a watch on a link with lab hosts behind it and the page served through
# the socket. The root is made once and kept in build/systemd-root/.
tests/packaging/systemd_test.sh "$deb" build/systemd-root build/package-check/systemd

# --- Purge -----------------------------------------------------------------------------
step "apt-get purge varnock"
apt-get purge -y -q varnock
left=()
while read -r kind path; do
    if [[ "$kind" == f ]]; then
        [[ -e "$path" || -L "$path" ]] && left+=("$path")
    elif [[ -d "$path" && -z "$(ls -A "$path")" ]] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
        left+=("$path/")  # an empty folder no other package owns
    fi
done <"$work/kinds"
((${#left[@]} == 0)) || fail "left after the purge: ${left[*]}"
echo "nothing of the package is left"

# What the install brought (ieee-data, the Wayland plugin, ...) goes too: a
# vendor list left behind would change what later runs of varnock-cli print.
mapfile -t brought < <(installed_packages | comm -13 "$work/packages-before" -)
if ((${#brought[@]})); then
    step "Purging what the install brought: ${brought[*]}"
    apt-get purge -y -q "${brought[@]}"
fi

step "Package check passed in $((SECONDS - started)) s: $deb"
