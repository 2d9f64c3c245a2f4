#!/usr/bin/env bash
# Installs whichever packages of the named lists (tools/packages/LIST.txt)
# are missing, through sudo when not root. The package lists are read again
# only when something is missing.
#   tools/install-packages.sh LIST [LIST...]      e.g. build tests
set -euo pipefail

lists=$(cd "$(dirname "${BASH_SOURCE[0]}")/packages" && pwd)
(($# > 0)) || { echo "usage: $0 LIST [LIST...] (from $lists)" >&2; exit 2; }

wanted=()
for list in "$@"; do
    [[ -f "$lists/$list.txt" ]] || { echo "install-packages: no list $lists/$list.txt" >&2; exit 2; }
    mapfile -t -O "${#wanted[@]}" wanted < <(grep -vE '^\s*(#|$)' "$lists/$list.txt")
done

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
((${#missing[@]} > 0)) || exit 0

as_root() { if (($(id -u) == 0)); then "$@"; else sudo "$@"; fi; }
echo "Installing: ${missing[*]}"
as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
