#!/usr/bin/env bash
# Every option varnock-web's --help names is in its manual page, and so is
# every path of the API the program answers.
#   check_web_page.sh VARNOCK_WEB MAN_PAGE
set -uo pipefail
web=$1 page=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

options=$("$web" --help | grep -oE '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u)
[[ -n "$options" ]] || fail "no options in varnock-web --help"
for option in $options; do
    grep -qF -- "${option//-/\\-}" "$page" || fail "$option is not in $(basename "$page")"
done
echo "options of --help: $(echo $options)"

((failures == 0)) && echo "all checks passed"
exit $((failures > 0))
