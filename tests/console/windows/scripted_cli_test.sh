#!/usr/bin/env bash
# varnock-cli.exe under wine64 with the scripted IP Helper beside it
# (WINEDLLOVERRIDES=iphlpapi=n): one address, a sweep, --jsonl, vendor
# names (a list of the user's, and the form shipped beside the program),
# -I, --localnet, --cached and --watch on a changing table, each checked for
# its output, its exit status and what IP Helper was asked; and --exec.
#
#   scripted_cli_test.sh VARNOCK_CLI_EXE IP_HELPER_DLL MAKE_VENDOR_FILE_EXE HEARTBEAT_EXE LAUNCHER...
#
# LAUNCHER is the build's emulator (cmake/toolchains/wine-run.sh and its
# prefix).
set -uo pipefail
(($# >= 5)) || { echo "usage: $0 VARNOCK_CLI_EXE IP_HELPER_DLL MAKE_VENDOR_FILE_EXE HEARTBEAT_EXE LAUNCHER..." >&2; exit 2; }
program=$1 ip_helper=$2 make_vendor_file=$3 heartbeat=$4
shift 4
wine_run=("$@")
work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-scripted-cli.XXXXXX")
watch_pid=''
cleanup() {
    if [[ -n "$watch_pid" ]]; then kill "$watch_pid" 2>/dev/null || true; wait "$watch_pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
cp "$program" "$work/varnock-cli.exe"
cp "$ip_helper" "$work/iphlpapi.dll"
cd "$work" || exit 2
export WINEDLLOVERRIDES="iphlpapi=n;mscoree,mshtml="
export VARNOCK_IP_HELPER_SCRIPT=$work/script VARNOCK_IP_HELPER_RECORD=$work/record
# No vendor list but the one a case names: wine would find the build
# machine's own through its Z: drive.
export VARNOCK_VENDOR_LISTS=
printf '001A2B\tExample Maker\n' >vendors.txt

# Two adapters besides loopback: Ethernet (index 7) is up, Wi-Fi is down.
cat >script <<'SCRIPT'
arp 192.0.2.2 02:1a:2b:3c:4d:5e
arp 192.0.2.3 00:1a:2b:3c:4d:5e delay=200
arp 192.0.2.4 - error=31
adapter 7 Ethernet up ethernet 02:00:00:00:00:01 192.0.2.1/29
adapter 1 Loopback_Pseudo-Interface_1 up loopback - 127.0.0.1/8
adapter 11 Wi-Fi down ethernet 02:00:00:00:00:02 198.51.100.1/24
table
neighbour 7 192.0.2.2 02:1a:2b:3c:4d:5e 5
neighbour 7 192.0.2.3 00:1a:2b:3c:4d:5e 4
neighbour 7 192.0.2.5 - 0
SCRIPT

failures=0
# check NAME STATUS EXPECTED_OUTPUT EXPECTED_SENDARP -- ARGS...: the exit
# status, standard output and error together, and the SendARP calls (sorted:
# a sweep asks in parallel).
check() {
    local name=$1 status=$2 wanted=$3 asked=$4 seen got
    shift 5
    : >record
    seen=$(timeout 120 "${wine_run[@]}" ./varnock-cli.exe "$@" 2>&1 | tr -d '\r')
    got=${PIPESTATUS[0]}
    local calls
    calls=$(grep '^SendARP' record | LC_ALL=C sort)
    if [[ "$got" != "$status" || "$seen" != "$wanted" || "$calls" != "$asked" ]]; then
        printf 'FAIL: %s (varnock-cli %s)\n--- status %s, wanted %s\n--- seen\n%s\n--- wanted\n%s\n--- SendARP\n%s\n--- wanted\n%s\n' \
            "$name" "$*" "$got" "$status" "$seen" "$wanted" "$calls" "$asked" >&2
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
}
sendarp() { for address; do echo "SendARP $address"; done | LC_ALL=C sort; }

check "one address" 0 \
    '192.0.2.2        02:1A:2B:3C:4D:5E  (locally administered)' \
    "$(sendarp '192.0.2.2 0.0.0.0 6')" -- 192.0.2.2
check "a sweep" 1 \
    '192.0.2.1        no answer
192.0.2.2        02:1A:2B:3C:4D:5E  (locally administered)
192.0.2.3        00:1A:2B:3C:4D:5E
192.0.2.4        lookup failed
192.0.2.5        no answer
192.0.2.6        no answer' \
    "$(sendarp '192.0.2.'{1..6}' 0.0.0.0 6')" -- 192.0.2.0/29
check "JSON lines" 1 \
    '{"target": "192.0.2.3", "address": "192.0.2.3", "hardware_address": "00:1A:2B:3C:4D:5E", "vendor": "Example Maker", "locally_administered": false, "reason": null, "interface": "Ethernet", "from_cache": false, "confirmed": true, "state": null, "seconds_since_confirmed": null, "last_known_hardware_address": null, "also_answers_for": null}
{"target": "192.0.2.6", "address": "192.0.2.6", "hardware_address": null, "vendor": null, "locally_administered": null, "reason": "no answer", "interface": null, "from_cache": null, "confirmed": null, "state": null, "seconds_since_confirmed": null, "last_known_hardware_address": null, "also_answers_for": null}' \
    "$(sendarp '192.0.2.3 0.0.0.0 6' '192.0.2.6 0.0.0.0 6')" -- --jsonl --vendor-file vendors.txt 192.0.2.3 192.0.2.6
check "a vendor name" 0 \
    '192.0.2.3        00:1A:2B:3C:4D:5E  Example Maker' \
    "$(sendarp '192.0.2.3 0.0.0.0 6')" -- --vendor-file vendors.txt 192.0.2.3
# -I sends from the adapter's own address on the network: that picks it.
for name in Ethernet ethernet 7; do
    check "-I $name" 0 \
        '192.0.2.2        02:1A:2B:3C:4D:5E  (locally administered)' \
        "$(sendarp '192.0.2.2 192.0.2.1 6')" -- -I "$name" 192.0.2.2
done
check "-I of another network" 1 '198.51.100.5     not reachable through that interface' '' \
    -- -I Ethernet 198.51.100.5
check "-I of an adapter that is down" 1 '198.51.100.5     the interface is down or has no carrier' '' \
    -- -I Wi-Fi 198.51.100.5
check "-I unknown" 2 'varnock-cli: -I "Bluetooth": no such interface' '' -- -I Bluetooth 192.0.2.2
check "--localnet: Ethernet's network only" 1 \
    '192.0.2.1        no answer
192.0.2.2        02:1A:2B:3C:4D:5E  (locally administered)
192.0.2.3        00:1A:2B:3C:4D:5E
192.0.2.4        lookup failed
192.0.2.5        no answer
192.0.2.6        no answer' \
    "$(sendarp '192.0.2.'{1..6}' 0.0.0.0 6')" -- --localnet
check "--localnet on an adapter that is down" 2 \
    'varnock-cli: --localnet: no directly attached IPv4 network on an interface that uses ARP' '' \
    -- -I Wi-Fi --localnet
check "--cached" 1 \
    '192.0.2.2        02:1A:2B:3C:4D:5E  (locally administered)
192.0.2.3        00:1A:2B:3C:4D:5E  (unconfirmed: stale)
192.0.2.5        not in the neighbour table
192.0.2.6        not in the neighbour table' '' -- --cached 192.0.2.2 192.0.2.3 192.0.2.5 192.0.2.6
check "--cached names the interface" 0 \
    'target,address,hardware_address,vendor,locally_administered,reason,interface,from_cache,confirmed,state,seconds_since_confirmed,last_known_hardware_address,also_answers_for
192.0.2.2,192.0.2.2,02:1A:2B:3C:4D:5E,,true,,Ethernet,true,true,reachable,,,' '' \
    -- --cached --csv 192.0.2.2

# --watch on a table that changes from reading to reading: each table
# answers two readings, the last one from then on.
cat >script <<'SCRIPT'
adapter 7 Ethernet up ethernet 02:00:00:00:00:01 192.0.2.1/29
table calls=2
neighbour 7 192.0.2.2 02:1a:2b:3c:4d:5e 5
table calls=2
neighbour 7 192.0.2.2 02:1a:2b:3c:4d:5e 5
neighbour 7 192.0.2.3 00:1a:2b:3c:4d:5e 5
table calls=2
neighbour 7 192.0.2.2 02:1a:2b:3c:4d:99 5
neighbour 7 192.0.2.3 00:1a:2b:3c:4d:5e 5
table
neighbour 7 192.0.2.2 02:1a:2b:3c:4d:99 5
neighbour 7 192.0.2.3 00:1a:2b:3c:4d:5e 0
SCRIPT
: >record
"${wine_run[@]}" ./varnock-cli.exe --watch --vendor-file vendors.txt >watch.out 2>&1 &
watch_pid=$!
deadline=$((SECONDS + 90))
until grep -q ' stopped ' watch.out || ((SECONDS >= deadline)); do sleep 0.2; done
kill "$watch_pid" 2>/dev/null
wait "$watch_pid" 2>/dev/null
watch_pid=''
events=$(tr -d '\r' <watch.out | sed 's/^[0-9TZ:-]*  //')
wanted='new     192.0.2.2  02:1A:2B:3C:4D:5E  (locally administered)  on Ethernet
new     192.0.2.3  00:1A:2B:3C:4D:5E  Example Maker  on Ethernet
changed 192.0.2.2  02:1A:2B:3C:4D:5E -> 02:1A:2B:3C:4D:99  (locally administered)  on Ethernet
stopped 192.0.2.3  00:1A:2B:3C:4D:5E  Example Maker  on Ethernet'
if [[ "$events" != "$wanted" ]] || grep -q '^SendARP' record; then
    printf 'FAIL: --watch\n--- seen\n%s\n--- wanted\n%s\n' "$events" "$wanted" >&2
    failures=$((failures + 1))
else
    echo "ok: --watch: new, changed and stopped from a changing table, nothing sent"
fi

# --exec: a batch file found on PATH (in a folder whose name cmd.exe would
# split or act on, were it not quoted) gets the event on its standard input
# and in its environment; a run that overstays its limit (10 s) is ended
# with everything it started, and so is a run still going when the watch is
# killed. heartbeat.exe rewrites its file ten times a second while it runs.
cp "$heartbeat" heartbeat.exe
mkdir "hooks & co"
printf '%s\r\n' '@echo off' 'set /p line=' '>event.txt echo %line%' \
    '>environment.txt echo %VARNOCK_EVENT_TYPE% %VARNOCK_ADDRESS% %VARNOCK_INTERFACE% %VARNOCK_HARDWARE_ADDRESS% [%VARNOCK_IP_HELPER_SCRIPT%]' \
    '>>environment.txt echo %VARNOCK_EVENT%' 'exit /b 3' >'hooks & co/tell.cmd'
printf '%s\r\n' '@echo off' 'start /b "" heartbeat.exe child-%VARNOCK_ADDRESS%.beat' \
    'heartbeat.exe hook-%VARNOCK_ADDRESS%.beat' >overstay.cmd
# start_watch PATTERN ARGS...: a watch in the background, until its
# standard error matches PATTERN (at most 90 s).
start_watch() {
    local pattern=$1 deadline=$((SECONDS + 90))
    shift
    : >watch.out
    : >watch.err
    "${wine_run[@]}" ./varnock-cli.exe --watch "$@" >>watch.out 2>>watch.err &
    watch_pid=$!
    until grep -q -- "$pattern" watch.err || ((SECONDS >= deadline)); do sleep 0.2; done
}
# stop_watch SIGNAL: INT is Ctrl+C under wine (the watch ends as it
# chooses), TERM ends the process at once.
stop_watch() {
    local deadline=$((SECONDS + 30))
    kill "-$1" "$watch_pid" 2>/dev/null
    while kill -0 "$watch_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.2; done
    kill -KILL "$watch_pid" 2>/dev/null
    wait "$watch_pid" 2>/dev/null
    watch_pid=''
}
# A heartbeat's count; empty when it never ran (read again if caught
# between truncation and writing).
beat() {
    local count=''
    for _ in 1 2 3 4 5; do
        count=$({ tr -dc 0-9 <"$1"; } 2>/dev/null) && [[ -n "$count" ]] && break
        sleep 0.05
    done
    echo "$count"
}
# still_beating FILE...: the names of those whose count moves in 2 s, or
# that never beat at all.
still_beating() {
    local file before=()
    for file; do before+=("$(beat "$file")"); done
    sleep 2
    local i=0
    for file; do
        [[ -z "${before[i]}" || "$(beat "$file")" != "${before[i]}" ]] && echo "$file"
        i=$((i + 1))
    done
}

printf 'adapter 7 Ethernet up ethernet 02:00:00:00:00:01 192.0.2.1/29\ntable\nneighbour 7 192.0.2.2 02:1a:2b:3c:4d:5e 5\n' >script
WINEPATH="$(cd 'hooks & co' && pwd -P | sed 's|/|\\|g; s|^|Z:|')" \
    start_watch 'ended with status' --jsonl --exec tell
stop_watch INT
event=$(tr -d '\r' <watch.out)
hook_saw=$(tr -d '\r' <event.txt 2>/dev/null)
environment=$(tr -d '\r' <environment.txt 2>/dev/null)
wanted_environment="new 192.0.2.2 Ethernet 02:1A:2B:3C:4D:5E []
$event"
if [[ "$(tr -d '\r' <watch.err)" != 'varnock-cli: --exec tell: ended with status 3' ||
    "$event" != '{"type": "new", '* || "$hook_saw" != "$event" ||
    "$environment" != "$wanted_environment" ]]; then
    printf 'FAIL: --exec tell\n--- event\n%s\n--- the hook read\n%s\n--- its environment\n%s\n--- wanted\n%s\n--- standard error\n%s\n' \
        "$event" "$hook_saw" "$environment" "$wanted_environment" "$(cat watch.err)" >&2
    failures=$((failures + 1))
else
    echo "ok: --exec: a batch file on PATH reads the event and its environment; its status is told"
fi

# A bare name is looked for on PATH only, never in the current folder.
printf '%s\r\n' '@echo off' 'echo ran>ran.txt' >missing.cmd
start_watch 'cannot be started' --exec missing
stop_watch INT
if [[ "$(tr -d '\r' <watch.err)" != 'varnock-cli: --exec missing: cannot be started: No such file or directory' ||
    -e ran.txt ]]; then
    printf 'FAIL: --exec missing (ran from the current folder: %s)\n%s\n' \
        "$([[ -e ran.txt ]] && echo yes || echo no)" "$(cat watch.err)" >&2
    failures=$((failures + 1))
else
    echo "ok: --exec of a command that is not on PATH is told, and not taken from the current folder"
fi

# A second neighbour comes while the first run goes: its run starts when
# the first is stopped, and is the one going when the watch is killed.
printf 'adapter 7 Ethernet up ethernet 02:00:00:00:00:01 192.0.2.1/29\ntable calls=3\nneighbour 7 192.0.2.2 02:1a:2b:3c:4d:5e 5\ntable\nneighbour 7 192.0.2.2 02:1a:2b:3c:4d:5e 5\nneighbour 7 192.0.2.3 00:1a:2b:3c:4d:5e 5\n' >script
start_watch 'took longer than' --exec ./overstay.cmd
first=$(still_beating {hook,child}-192.0.2.2.beat)
deadline=$((SECONDS + 30))
until [[ -n "$(beat hook-192.0.2.3.beat)" && -n "$(beat child-192.0.2.3.beat)" ]] ||
    ((SECONDS >= deadline)); do sleep 0.2; done
stop_watch TERM
second=$(still_beating {hook,child}-192.0.2.3.beat)
if [[ "$(tr -d '\r' <watch.err)" != 'varnock-cli: --exec ./overstay.cmd: took longer than 10 s and was stopped' ||
    -n "$first" || -n "$second" ]]; then
    printf 'FAIL: --exec of a hook that overstays\n--- standard output\n%s\n--- standard error\n%s\n--- still running (or never ran) after its limit\n%s\n--- after the watch was killed\n%s\n' \
        "$(cat watch.out)" "$(cat watch.err)" "$first" "$second" >&2
    failures=$((failures + 1))
else
    echo "ok: --exec: a run past its limit ends with what it started; the watch's end ends the next"
fi

# The vendor form shipped beside the program serves when the system has no
# list, and --version says what it was made from.
printf '001A2B\tShipped Maker\n' >shipped.txt
printf 'arp 192.0.2.3 00:1a:2b:3c:4d:5e\n' >script
"${wine_run[@]}" "$make_vendor_file" varnock-vendors.bin shipped.txt </dev/null
check "the shipped vendor form" 0 '192.0.2.3        00:1A:2B:3C:4D:5E  Shipped Maker' \
    "$(sendarp '192.0.2.3 0.0.0.0 6')" -- 192.0.2.3
version=$("${wine_run[@]}" ./varnock-cli.exe --version 2>&1 | tr -d '\r')
if ! grep -qE '^  .*\\varnock-vendors\.bin, made from:$' <<<"$version" ||
    ! grep -qE '^    shipped\.txt \([0-9]{4}-[0-9]{2}-[0-9]{2}\)$' <<<"$version"; then
    printf 'FAIL: --version does not name the shipped form:\n%s\n' "$version" >&2
    failures=$((failures + 1))
else
    echo "ok: --version names the shipped form and what it was made from"
fi

((failures == 0)) && echo "PASS"
exit $((failures > 0))
