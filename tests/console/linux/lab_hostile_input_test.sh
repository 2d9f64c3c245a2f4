#!/usr/bin/env bash
# The real program on what careless hands and hostile files give it, as
# nobody in the lab: a vendor cache cut to nothing under a running watch, a
# stop signal in the middle of a JSON array, output into a full device,
# target files that are no list. Runs as root on the lab's client
# (run-in-lab.sh --privileged) only to flush its neighbour table.
#   lab_hostile_input_test.sh VARNOCK_CLI
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../lab/scenario.sh"

watch_scenario hostile

# A system list that names the lab's hosts, and a cache of its own.
printf '02-1A-2B   (hex)\t\tLab Bridge Works\n021A2B     (base 16)\t\tLab Bridge Works\n' \
    >"$work/oui.txt"
as_user=("${drop[@]}" env HOME="$work" XDG_CACHE_HOME="$work/cache"
    VARNOCK_VENDOR_LISTS="$work/oui.txt")
cache=$work/cache/varnock/vendors
status_of() { local status=0; "$@" >/dev/null 2>&1 || status=$?; echo "$status"; }
into_full() { local status=0; "$@" >/dev/full 2>/dev/null || status=$?; echo "$status"; }

# --- A cache cut to nothing while a watch reads it: no crash, names stay.
"${as_user[@]}" "$cli" "$live" >/dev/null
check "the first run made the cache" test -s "$cache"
ip neigh flush dev c0
"${as_user[@]}" "$cli" --watch >"$events" 2>&1 &
watcher=$!
until_catches_stop "$watcher" || true
"${as_user[@]}" "$cli" "$live" >/dev/null
sleep 0.5
truncate -s 0 "$cache"
"${as_user[@]}" "$cli" 192.0.2.11 >/dev/null
for _ in $(seq 200); do grep -qE "new +192\.0\.2\.11 " "$events" && break; sleep 0.05; done
explain() { echo "  events were:"; cat "$events"; }
check "the watch still runs after its cache was cut" kill -0 "$watcher"
watch_status=0
stop_watch || watch_status=$?
check "and ends with status 0" test "$watch_status" -eq 0
check "both hosts were named after the cut" \
    test "$(grep -cE "new +($live|192\.0\.2\.11) .*Lab Bridge Works" "$events")" -eq 2

# --- A stop signal in the middle of --json: the array is closed, 130.
explain() { echo "  output was:"; cat "$work/out.json"; }
# 2048 addresses with nobody behind them, 256 at a time: the run lasts
# seconds.
networks=()
for n in 1 2 3 4 5 6 7 8; do networks+=("2001:db8::$n:0/120"); done
"${drop[@]}" "$cli" --json "${networks[@]}" >"$work/out.json" 2>"$work/err.txt" &
run=$!
sleep 1
kill -INT "$run"
run_status=0
wait "$run" || run_status=$?
check "a stopped run exits 130" test "$run_status" -eq 130
check "its JSON array is whole" python3 -c '
import json, sys
rows = json.load(open(sys.argv[1]))
assert len(rows) < 2048, len(rows)' "$work/out.json"

# --- Output that cannot be written: status 2, whatever was asked.
explain() { :; }
for words in --help --version "--json $live"; do
    # shellcheck disable=SC2086 # the words are split on purpose
    check "$words into /dev/full exits 2" \
        test "$(into_full "${drop[@]}" "$cli" $words)" -eq 2
done

# --- Target files that are no list: "cannot be read", status 2.
check "-f of a directory cannot be read" \
    test "$("${drop[@]}" "$cli" -f "$work" 2>&1 >/dev/null)" = \
    "varnock-cli: -f \"$work\": cannot be read (Is a directory)"
check "-f - with standard input closed cannot be read" \
    test "$(status_of "${drop[@]}" "$cli" -f - <&-)" -eq 2

finish
