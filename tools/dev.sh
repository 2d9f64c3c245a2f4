#!/usr/bin/env bash
# One entry point for a fresh Debian or Ubuntu machine:
#   tools/dev.sh run    install what is missing, build, install under stage/, start the window
#   tools/dev.sh test   install what is missing, build, run every test
# The packages come from tools/packages/build.txt (and tests.txt).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
stage="$root/stage"

# run builds the programs alone (no test framework needed); test builds the
# developer preset, tests included.
build() {
    local preset=$1
    cmake --preset "$preset" -S "$root"
    cmake --build --preset "$preset"
    cmake --install "$root/build/$preset" --prefix "$stage" >/dev/null
}

case "${1:-}" in
    run)
        "$root/tools/install-packages.sh" build
        build program
        exec "$stage/bin/varnock"
        ;;
    test)
        "$root/tools/install-packages.sh" build tests
        preset=${VARNOCK_PRESET:-default}
        build "$preset"
        cd "$root"
        ctest --preset "$preset" --output-on-failure
        ;;
    *)
        echo "usage: $0 run|test" >&2
        exit 2
        ;;
esac
