#!/usr/bin/env bash
# One entry point for a fresh Debian or Ubuntu machine:
#   tools/dev.sh run    install what is missing, build, install under stage/, start the window
#   tools/dev.sh test   install what is missing, build, run every test
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${VARNOCK_PRESET:-default}
stage="$root/stage"

as_root() {
    if (($(id -u) == 0)); then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
    local wanted missing=()
    mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$root/tools/packages.txt")
    for package in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    if ((${#missing[@]} > 0)); then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

build() {
    cmake --preset "$preset" -S "$root"
    cmake --build --preset "$preset"
    cmake --install "$root/build/$preset" --prefix "$stage" >/dev/null
}

case "${1:-}" in
    run)
        install_missing_packages
        build
        if [[ -x "$stage/bin/varnock" ]]; then
            exec "$stage/bin/varnock"
        fi
        echo "Built the lookup core; the window program is not part of this build yet."
        ;;
    test)
        install_missing_packages
        build
        cd "$root"
        ctest --preset "$preset" --output-on-failure
        ;;
    *)
        echo "usage: $0 run|test" >&2
        exit 2
        ;;
esac
