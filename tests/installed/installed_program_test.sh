#!/usr/bin/env bash
# Installs the build into a scratch prefix, then, inside the namespace lab
# as an unprivileged process, proves that the installed programs need no
# privilege and never run another program with the user's text.
#   installed_program_test.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
chmod 755 "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

"$here/../lab/run-in-lab.sh" "$here/check_installed.sh" "$prefix"
