#!/usr/bin/env bash
# promtool's checks on what this project gives Prometheus.
#   promtool_check.sh metrics PROGRAM     PROGRAM's output passes `check metrics`
#   promtool_check.sh rules FILE...       `check rules`
#   promtool_check.sh test FILE...        `test rules` (unit tests of the rules)
# Exit status: promtool's (or the program's); 77 when promtool is missing,
# 1 then under VARNOCK_REQUIRE_LAB=1 (CI).
set -euo pipefail

if ! command -v promtool >/dev/null; then
    echo "promtool (Debian's prometheus) is not installed" >&2
    [[ "${VARNOCK_REQUIRE_LAB:-0}" == 1 ]] && exit 1
    exit 77
fi
mode=$1
shift
case $mode in
    metrics)
        text=$("$1")
        # `check metrics` lints: names, units, HELP, counters' _total.
        promtool check metrics <<<"$text"
        ;;
    rules) promtool check rules "$@" ;;
    test) promtool test rules "$@" ;;
    *) echo "usage: $0 metrics PROGRAM | rules FILE... | test FILE..." >&2; exit 2 ;;
esac
