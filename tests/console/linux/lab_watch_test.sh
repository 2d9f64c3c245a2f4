#!/usr/bin/env bash
# varnock-cli --watch in the lab, watching and looking up as nobody: a host
# that starts answering is new once, a changed hardware address is one
# "changed" event with both, a host that leaves gives "stopped", a restart
# with the same state file reports nothing old as new, and a stop signal at
# any moment leaves a state file that reads. Runs as root on the lab's client
# (run-in-lab.sh --privileged) only to change the lab.
#   lab_watch_test.sh VARNOCK_CLI
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../lab/scenario.sh"

watch_scenario watch
state=$work/seen.json

explain() { echo "  events were:"; cat "$events"; }
count() { grep -cE "$1" "$events" || true; }
# seen PATTERN: the number of events that match, once one has come or 10 s
# have passed; the watch may be slow to tell on a busy machine.
seen() {
    for _ in $(seq 200); do
        (($(count "$1") > 0)) && break
        sleep 0.05
    done
    count "$1"
}

start_watch() {
    "${drop[@]}" env HOME="$work" "$cli" --watch --state "$state" "$@" >"$events" 2>&1 &
    watcher=$!
    until_catches_stop "$watcher" || true
}
lookup() { "${drop[@]}" "$cli" "$@" >/dev/null 2>&1 || true; }

echo 300 >/proc/sys/net/ipv4/neigh/c0/base_reachable_time_ms
echo 1 >/proc/sys/net/ipv4/neigh/c0/delay_first_probe_time
ip neigh flush dev c0

# --- New, once, however often it answers.
start_watch
lookup "$live"
lookup "$live"
check "a host that starts answering is new once" \
    test "$(seen "new +$live  $live_mac")" -eq 1
stopped=0
stop_watch || stopped=$?
check "a clean stop ends with status 0" test "$stopped" -eq 0

# --- A restart with the same record: nothing old is new.
start_watch
lookup "$live"
sleep 0.5
stop_watch
check "a restart reports nothing old as new" test "$(count "new ")" -eq 0

# --- A changed hardware address: one event with both.
new_mac=02:1A:2B:3C:4D:99
start_watch
ip -n "$host_ns" link set h0 address "$new_mac"
until_unconfirmed "$live"
lookup "$live"
check "a changed hardware address is one event with both" \
    test "$(seen "changed +$live  $live_mac -> $new_mac")" -eq 1

# --- A host that leaves: stopped, after the kernel's verdict.
ip -n "$host_ns" link set h0 down
until_unconfirmed "$live"
lookup "$live"
check "a host that left stopped answering" test "$(seen "stopped +$live  $new_mac")" -eq 1
stop_watch
ip -n "$host_ns" link set h0 address "$live_mac"
ip -n "$host_ns" link set h0 up

# --- The watch and its sweep share one subscription to the kernel's
# notifications, and the sweep's answers reach the watch through it.
# subscriptions PID: the route sockets of the process that listen to any
# group (/proc/net/netlink: protocol 0, groups not 0).
subscriptions() {
    local inodes
    inodes=$(find "/proc/$1/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null | tr -dc '0-9\n')
    awk -v inodes="$inodes" 'BEGIN { split(inodes, list, "\n"); for (i in list) own[list[i]] = 1 }
        NR > 1 && $2 == 0 && $4 != "00000000" && ($10 in own) { n++ } END { print n + 0 }' \
        /proc/net/netlink
}
ip neigh flush dev c0
start_watch --every 1s 192.0.2.0/28
most=0 fewest=99
for _ in $(seq 20); do
    now=$(subscriptions "$watcher")
    ((now > most)) && most=$now
    ((now < fewest)) && fewest=$now
    sleep 0.05
done
check "one subscription for the watch and its sweep (seen $fewest..$most)" \
    test "$most" -eq 1 -a "$fewest" -eq 1
check "the sweep's answers reach the watch" test "$(seen "new +192.0.2.11 ")" -eq 1
stop_watch || true

# --- A stop at any moment leaves a record that reads.
readable=0
for delay in 0.05 0.2 0.35 0.5 0.65 0.8; do
    start_watch 192.0.2.0/28
    sleep "$delay"
    stop_watch || true
    python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$state" && readable=$((readable + 1))
done
check "every stop left a readable state file" test "$readable" -eq 6

# --- A record that cannot be read is refused and left as it was.
echo "not json" >"$state"
status=0
"${drop[@]}" "$cli" --watch --state "$state" >"$events" 2>&1 || status=$?
check "an unreadable record: status 2, the file untouched" \
    test "$status" -eq 2 -a "$(cat "$state")" = "not json"

finish
