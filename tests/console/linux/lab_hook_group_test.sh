#!/usr/bin/env bash
# --exec's time limit ends what the hook started too: a hook that starts a
# sleep in the background and then overstays its limit (10 s) leaves
# nothing of itself running, once stopped and once the watch has ended.
# Runs as root on the lab's client (run-in-lab.sh --privileged) only to
# change the lab and to see every process.
#   lab_hook_group_test.sh VARNOCK_CLI
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../lab/scenario.sh"

watch_scenario hook_group
errors=$work/errors.txt
# A copy of sleep under a name of this run's own: its processes are the
# ones whose program is this file, whoever else runs a sleep meanwhile.
sleeper=$work/varnock-hook-sleep-$$
install -m 755 "$(command -v sleep)" "$sleeper"
cat >"$work/hook" <<HOOK
#!/bin/sh
"$sleeper" 1000 &
"$sleeper" 1001
HOOK
chmod 755 "$work/hook"

# The processes running $sleeper now (a zombie has no program left).
running() { find /proc/[0-9]*/exe -maxdepth 0 -lname "$sleeper" 2>/dev/null | wc -l; }
# until_running N: waits (up to 30 s) until N of them run.
until_running() {
    for _ in $(seq 300); do
        (($(running) == $1)) && return 0
        sleep 0.1
    done
    return 1
}
explain() {
    echo "  running: $(running); standard error was:"
    cat "$errors"
}
more_cleanup() {
    local exe
    for exe in $(find /proc/[0-9]*/exe -maxdepth 0 -lname "$sleeper" 2>/dev/null); do
        exe=${exe#/proc/}
        kill -9 "${exe%/exe}" 2>/dev/null || true
    done
}

ip neigh flush dev c0
"${drop[@]}" env HOME="$work" "$cli" --watch --exec "$work/hook" >"$events" 2>"$errors" &
watcher=$!
until_catches_stop "$watcher" || true
"${drop[@]}" "$cli" "$live" >/dev/null 2>&1 || true

check "the hook runs with the sleep it started" until_running 2
# Loosely bounded: the limit is 10 s; a busy machine gets 30 s more.
for _ in $(seq 800); do
    grep -q "took longer than 10 s and was stopped" "$errors" && break
    sleep 0.05
done
check "the hook overstayed its limit and was stopped" \
    grep -q "took longer than 10 s and was stopped" "$errors"
check "nothing it started runs on" until_running 0

# At the watch's end: a stop during a run waits for it, then ends it by its
# limit with all it started.
stop_watch || true
: >"$errors"
ip neigh flush dev c0
"${drop[@]}" env HOME="$work" "$cli" --watch --exec "$work/hook" >"$events" 2>"$errors" &
watcher=$!
until_catches_stop "$watcher" || true
"${drop[@]}" "$cli" "$live" >/dev/null 2>&1 || true
check "the hook runs again with its sleep" until_running 2
status=0
stop_watch || status=$?
check "a stop during a run still ends cleanly" test "$status" -eq 0
check "after the watch, nothing of the hook runs" test "$(running)" -eq 0

finish
