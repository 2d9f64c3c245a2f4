#!/usr/bin/env bash
# Readies what the browser test needs outside the lab (axe-core from the npm
# registry, once, into a folder of the build), then runs
# browser_test.py on the lab's client.
#   browser_test.sh VARNOCK_CLI VARNOCK_WEB NODE_FOLDER ARTIFACTS
# Exit status: the test's; 77 when it cannot run here (1 under
# VARNOCK_REQUIRE_LAB=1, as CI sets).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli=$(realpath "$1") web=$(realpath "$2") node=$(realpath -m "$3") artifacts=$(realpath -m "$4")

cannot_run() {
    echo "browser test: cannot run here: $*" >&2
    if [[ "${VARNOCK_REQUIRE_LAB:-0}" == 1 ]]; then exit 1; fi
    exit 77
}
axe=$node/node_modules/axe-core/axe.min.js
if [[ ! -f "$axe" ]]; then
    command -v npm >/dev/null || cannot_run "npm is not installed (for axe-core)"
    mkdir -p "$node"
    timeout 120 npm install --prefix "$node" --no-save --no-audit --no-fund --loglevel=error \
        axe-core@4 >&2 || cannot_run "npm could not install axe-core"
fi
mkdir -p "$artifacts"
exec "$here/../../lab/run-in-lab.sh" --privileged /usr/bin/python3 "$here/browser_test.py" \
    --cli "$cli" --web "$web" --axe "$axe" --artifacts "$artifacts"
