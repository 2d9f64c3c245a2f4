#!/usr/bin/env bash
# The manual pages format without a warning and name the program's version,
# and every option varnock-cli's --help names is in its manual page and its
# bash completion.
#
#   check_pages.sh VARNOCK_CLI MAN_DIR COMPLETION
set -uo pipefail
cli=$1 man_dir=$2 completion=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for page in "$man_dir"/*.1; do
    warnings=$(groff -man -ww -z "$page" 2>&1)
    [[ -z "$warnings" ]] && echo "ok: $(basename "$page") formats cleanly" ||
        fail "$(basename "$page"): $warnings"
    header=$(head -n1 "$page")
    [[ "$header" =~ \"Varnock\ [0-9]+\.[0-9]+\.[0-9]+\" ]] ||
        fail "$(basename "$page"): no version in its header: $header"
done

options=$("$cli" --help | grep -oE '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u)
[[ -n "$options" ]] || fail "no options in varnock-cli --help"
for option in $options; do
    grep -qF -- "${option//-/\\-}" "$man_dir/varnock-cli.1" || fail "$option is not in varnock-cli.1"
    grep -qE -- "(^|[ '])$option( |$|')" "$completion" || fail "$option is not in the completion"
done
echo "options of --help: $(echo $options)"

((failures == 0)) && echo "all checks passed"
exit $((failures > 0))
