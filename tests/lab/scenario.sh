# Sourced by the lab's scenario scripts (run-in-lab.sh --privileged): they
# change the lab as root, and run the program as an unprivileged process.
#   varnock-cli as nobody:   "${drop[@]}" "$cli" ...
#   a result:                check WHAT CONDITION...   (then `finish` at the end)

cli=$1
live=$VARNOCK_LAB_LIVE_HOST
live_mac=$VARNOCK_LAB_LIVE_MAC
host_ns=$VARNOCK_LAB_HOST_NAMESPACE
failures=0
passed=0

# Every capability dropped; as real root, nobody too.
drop=(setpriv --bounding-set=-all --inh-caps=-all --no-new-privs)
[[ -n "${VARNOCK_LAB_IN_USERNS:-}" ]] || drop+=(--reuid=65534 --regid=65534 --clear-groups)

# Said when a check fails; each script sets what helps to see why.
explain() { :; }

check() { # check WHAT CONDITION...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failures=$((failures + 1))
        echo "FAILED: $what" >&2
        explain >&2
    fi
}

# until_unconfirmed ADDRESS: waits (up to 10 s) until the client's entry
# holds an address the kernel has not heard from lately.
until_unconfirmed() {
    for _ in $(seq 1000); do
        ip neigh show "$1" dev c0 | grep -qE " (STALE|DELAY|PROBE)" && return 0
        sleep 0.01
    done
    echo "entry of $1 stayed confirmed: $(ip neigh show "$1" dev c0)" >&2
    return 1
}

# until_catches_stop PID: waits (up to 20 s) until the process catches
# SIGTERM, which a watch does once it has read its state and listens: a stop
# sent before that would end it unheard. Slow starts (a sanitizer build, a
# busy machine) then cost time, never a result.
until_catches_stop() {
    local caught
    for _ in $(seq 400); do
        caught=$(sed -n 's/^SigCgt:\s*//p' "/proc/$1/status" 2>/dev/null) || return 1
        [[ -n "$caught" ]] && (((16#$caught >> 14) & 1)) && return 0
        sleep 0.05
    done
    echo "process $1 never caught SIGTERM" >&2
    return 1
}

# watch_scenario NAME: for scripts that run a watch. $work is a folder every
# user may write, $events a file in it, $watcher the watch's pid while one
# runs; at the end a watch left running is ended, `more_cleanup` (which a
# script may define) runs, and the folder goes.
watch_scenario() {
    work=$(mktemp -d "/tmp/varnock-$1.XXXXXX")
    chmod 777 "$work"
    events=$work/events.txt
    watcher=""
    trap watch_cleanup EXIT
}
more_cleanup() { :; }
watch_cleanup() {
    if [[ -n "$watcher" ]]; then
        kill -CONT "$watcher" 2>/dev/null || true
        kill "$watcher" 2>/dev/null || true
    fi
    more_cleanup
    rm -rf "$work"
}

# stop_watch: stops the watch with SIGTERM; its exit status.
stop_watch() {
    kill -TERM "$watcher"
    local status=0
    wait "$watcher" || status=$?
    watcher=""
    return "$status"
}

finish() {
    echo "$passed passed, $failures failed"
    ((failures == 0))
}
