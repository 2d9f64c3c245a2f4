#!/usr/bin/env bash
# Proves the release reproducible: tools/release.sh twice, each from its own
# clean clone of the commit checked out into a folder of its own (nothing is
# shared between the two), must give the same bytes in every file; then the
# manifests are read with a YAML and a JSON parser and checked against the
# zips (tests/release/check_manifests.py).
#
# Usage: tools/release-check.sh   (CI runs it after tools/package-check.sh,
# which installs the package's build dependencies)
set -euo pipefail

cd "$(dirname "$0")/.."
fail() { printf 'release-check: %s\n' "$*" >&2; exit 1; }

tools/install-packages.sh release windows
runs=build/release-check
rm -rf "$runs"
for run in first second; do
    printf '\n==> Release, %s run\n' "$run"
    tools/release.sh --out "$runs/$run"
done

printf '\n==> The two runs, file by file\n'
(cd "$runs/first" && find . -type f | LC_ALL=C sort) >"$runs/first.files"
(cd "$runs/second" && find . -type f | LC_ALL=C sort) >"$runs/second.files"
diff -u "$runs/first.files" "$runs/second.files" || fail "the runs made different files"
different=0
while read -r file; do
    if cmp -s "$runs/first/$file" "$runs/second/$file"; then
        echo "same: $file"
    else
        echo "DIFFERENT: $file" >&2
        different=$((different + 1))
    fi
done <"$runs/first.files"
((different == 0)) || fail "$different files differ between two runs of the same commit"
(cd "$runs/first" && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not match"

printf '\n==> The manifests\n'
python3 tests/release/check_manifests.py "$runs/first"
printf '\nrelease-check: passed\n'
