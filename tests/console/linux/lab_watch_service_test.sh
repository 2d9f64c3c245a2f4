#!/usr/bin/env bash
# varnock-cli --watch left running, in the lab, watching as nobody: nothing
# lost without status 2 (a record it cannot read, a save that fails, events
# it cannot write, a reader that went away), a loss of notifications
# reconciled, "back" after "stopped", an old record forgotten, a flood told
# as one burst, --exec run once per event, and --state through a link.
# Runs as root on the lab's client (run-in-lab.sh --privileged) to change
# the lab; the churn of the neighbour table holds the lock on it.
#   lab_watch_service_test.sh VARNOCK_CLI
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../lab/scenario.sh"

watch_scenario service
more_cleanup() { ip neigh flush dev c0 nud permanent 2>/dev/null || true; }
state=$work/seen.json
errors=$work/errors.txt

explain() {
    echo "  events were:"
    cat "$events"
    echo "  errors were:"
    cat "$errors"
}
count() { grep -cE "$1" "$events" || true; }
# Run straight, never through a function: a function in the background is
# a subshell, and a signal meant for the watch would end only the subshell.
as_nobody=("${drop[@]}" env HOME="$work" "$cli")
as_nobody() { "${as_nobody[@]}" "$@"; }

# start_watch [OPTION...]: the watch in the background, standard output in
# $events, standard error in $errors.
start_watch() {
    "${as_nobody[@]}" --watch "$@" >"$events" 2>"$errors" &
    watcher=$!
    until_catches_stop "$watcher" || true
}
lookup() { as_nobody "$@" >/dev/null 2>&1 || true; }
# until_in FILE PATTERN: waits (up to 20 s) until FILE holds a line matching.
until_in() {
    for _ in $(seq 200); do
        grep -qE "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

echo 300 >/proc/sys/net/ipv4/neigh/c0/base_reachable_time_ms
echo 1 >/proc/sys/net/ipv4/neigh/c0/delay_first_probe_time
ip neigh flush dev c0

# --- A record that cannot be read is refused, and left as it was.
echo '{"version": 1, "neighbours": []}' >"$state"
chmod 000 "$state"
status=0
as_nobody --watch --state "$state" >"$events" 2>"$errors" || status=$?
check "an unreadable record: status 2, the reason told, the file as it was" \
    test "$status" -eq 2 -a "$(stat -c %a "$state")" = 0 -a "$(cat "$state")" = \
    '{"version": 1, "neighbours": []}'
grep -q "Permission denied" "$errors" || check "the reason is told" false
rm -f "$state" "$state.lock"

# --- A save that fails is tried again, and what it held reaches the file.
mkdir "$work/kept"
chmod 555 "$work/kept"
touch "$work/kept/seen.json.lock" && chmod 666 "$work/kept/seen.json.lock"
start_watch --state "$work/kept/seen.json"
lookup "$live"
until_in "$errors" "cannot be saved" || true
chmod 777 "$work/kept"
until_in "$errors" "saved again" || true
status=0
stop_watch || status=$?
check "a save that failed, then worked: status 0 and the host in the file" \
    grep -q "\"$live\"" "$work/kept/seen.json"
check "... and the watch said both" grep -q "saved again" "$errors"

# --- Events that cannot be written end the watch with status 2.
for target in stdout log; do
    ip neigh flush dev c0
    if [[ $target == stdout ]]; then
        "${as_nobody[@]}" --watch >/dev/full 2>"$errors" &
    else
        "${as_nobody[@]}" --watch --log /dev/full >"$events" 2>"$errors" &
    fi
    watcher=$!
    until_catches_stop "$watcher" || true
    lookup "$live"
    status=0
    for _ in $(seq 100); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.1; done
    kill "$watcher" 2>/dev/null || true
    wait "$watcher" || status=$?
    watcher=""
    check "/dev/full as $target ends the watch with status 2" test "$status" -eq 2
done

# --- A reader that went away ends the watch, even with nothing to write.
ip neigh flush dev c0
"${as_nobody[@]}" --watch 2>"$errors" | head -c 10 >/dev/null &
reader=$!
sleep 0.5
lookup "$live"
for _ in $(seq 100); do kill -0 "$reader" 2>/dev/null || break; sleep 0.1; done
until_in "$errors" "closed by its reader" || true
check "the watch ends once its reader went away" grep -q "closed by its reader" "$errors"
kill "$reader" 2>/dev/null || true

# --- Notifications lost while the watch was stopped: the table compared
# with the record. One host fails, another's entry is deleted, thousands of
# entries come and go past the socket's buffer.
ip neigh flush dev c0
rm -f "$state" "$state.lock"
start_watch --state "$state"
lookup "$live"
lookup 192.0.2.11
until_in "$events" "new +192.0.2.11" || true
kill -STOP "$watcher"
ip -n "$host_ns" link set h0 down
until_unconfirmed "$live"
lookup "$live"                # fails now: the kernel gives up on it
ip neigh del 192.0.2.11 dev c0
for round in 1 2; do
    for i in $(seq 0 2999); do
        echo "neigh replace 10.99.$((i / 250)).$((i % 250 + 1)) lladdr 02:99:00:00:00:01 nud permanent dev c0"
    done >"$work/churn"
    ip -batch "$work/churn"
    ip neigh flush dev c0 nud permanent
done
kill -CONT "$watcher"
until_in "$events" "stopped +$live" || true
sleep 1
stop_watch || true
check "after the loss: the failed host stopped" test "$(count "stopped +$live ")" -eq 1
check "... the deleted entry was asked again, and answers: nothing told of it" \
    test "$(count "192.0.2.11 ")" -eq 1 -a -n "$(ip neigh show 192.0.2.11 dev c0)"
check "... and nothing of the churn, gone by then, is told" test "$(count "10\.99\.")" -eq 0

# --- Back, after stopped.
ip -n "$host_ns" link set h0 up
start_watch --state "$state"
lookup "$live"
until_in "$events" "back +$live" || true
stop_watch || true
check "an address that stopped and answers again is back" \
    test "$(count "back +$live  $live_mac")" -eq 1

# --- Forgotten: a record older than --forget-after is dropped.
python3 - "$state" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
for neighbour in data["neighbours"]:
    neighbour["last_seen"] = "2020-01-01T00:00:00Z"
json.dump(data, open(sys.argv[1], "w"))
PY
ip neigh flush dev c0
start_watch --state "$state" --forget-after 1h
stop_watch || true
check "what was not seen for --forget-after is forgotten" \
    test "$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["neighbours"]))' \
        "$state")" -eq 0

# --- A flood of new addresses is one burst.
start_watch --jsonl
for i in $(seq 1 100); do
    echo "neigh replace 10.98.0.$i lladdr 02:98:00:00:00:01 nud permanent dev c0"
done >"$work/flood"
ip -batch "$work/flood"
until_in "$events" '"type": "burst"' || true
stop_watch || true
ip neigh flush dev c0 nud permanent
check "a flood from one hardware address is a few events and one burst" \
    test "$(count '"type": "new"')" -lt 20 -a "$(count '"type": "burst"')" -eq 1

# The journal filter (docs/watch.md) gives these events back as they were, each with
# its host, from entries as `journalctl -o json` writes them.
filter=$(dirname "${BASH_SOURCE[0]}")/../../../packaging/journal/varnock-events.jq
jq -R -c '{MESSAGE: ., SYSLOG_IDENTIFIER: "varnock-watch", _HOSTNAME: "lab",
           _SYSTEMD_UNIT: "varnock-watch@c0.service"}' "$events" |
    jq -c -f "$filter" | jq -c 'del(.host)' >"$work/from-journal"
check "the journal filter gives the events back" \
    test "$(jq -c . "$events" | sort)" = "$(sort "$work/from-journal")" -a -s "$events"

# --- --exec: one run per event, the event on its standard input; a failing
# command is told and the watch goes on.
cat >"$work/hook" <<HOOK
#!/bin/sh
cat >"$work/run.\$\$"
echo "\$VARNOCK_EVENT_TYPE \$VARNOCK_ADDRESS" >>"$work/run.\$\$"
exit 3
HOOK
chmod 755 "$work/hook"
ip neigh flush dev c0
start_watch --exec "$work/hook"
lookup "$live"
lookup 192.0.2.12
until_in "$errors" "status 3" || true
sleep 1
status=0
stop_watch || status=$?
runs=("$work"/run.*)
check "--exec ran once per event, each given its one event" \
    test "${#runs[@]}" -eq "$(wc -l <"$events")" -a "$(cat "${runs[@]}" | grep -c '^{')" -eq "${#runs[@]}"
check "... with the event in its environment" grep -q "^new $live\$" "${runs[@]}"
check "... and its failure told, not fatal" test "$status" -eq 0 -a "$(grep -c "status 3" "$errors")" -ge 1

# --- --state through a link: the target is kept and locked, the link stays.
mkdir "$work/real" && chmod 777 "$work/real"
ln -s "$work/real/seen.json" "$work/link.json"
start_watch --state "$work/link.json"
lookup "$live"
status=0
timeout 20 "${as_nobody[@]}" --watch --state "$work/real/seen.json" >/dev/null 2>"$work/second" ||
    status=$?
stop_watch || true
check "a link to the state file: the target is written, the link stays" \
    test -L "$work/link.json" -a -f "$work/real/seen.json"
check "... and a second watch naming the target is kept out" \
    test "$status" -eq 2 -a "$(grep -c "another watch uses it" "$work/second")" -eq 1

finish
