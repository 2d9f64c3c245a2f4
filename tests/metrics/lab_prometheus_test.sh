#!/usr/bin/env bash
# The metrics end to end with the real servers, in the lab: a watch as
# nobody keeps a record, two varnock-web serve it as two machines would
# (127.0.0.1 and 127.0.0.2), Debian's prometheus scrapes both with the
# shipped rules (their `for:` shortened) and the configuration of
# packaging/prometheus, and prometheus-alertmanager sends to a webhook
# receiver of the test's own. Every server runs as nobody on the lab
# client's loopback; the namespace is the test's, so the ports are free.
# Runs as root on the lab's client (run-in-lab.sh --privileged) only to
# change the lab.
#   lab_prometheus_test.sh VARNOCK_CLI VARNOCK_WEB
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lab/scenario.sh"
web=$2
packaging=$here/../../packaging/prometheus
helper=("/usr/bin/python3" "$here/prometheus_lab.py")

missing=()
for tool in prometheus prometheus-alertmanager /usr/bin/python3; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import yaml' 2>/dev/null || missing+=(python3-yaml)
if ((${#missing[@]} > 0)); then
    echo "not installed: ${missing[*]}" >&2
    [[ "${VARNOCK_REQUIRE_LAB:-0}" == 1 ]] && exit 1
    exit 77
fi

watch_scenario prometheus
state=$work/c0.json
webhook=$work/webhook.jsonl
prometheus_url=http://127.0.0.1:19090
many_ns=$VARNOCK_LAB_PREFIX-m
servers=()
more_cleanup() {
    for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${servers[@]}"; do wait "$pid" 2>/dev/null || true; done
    ip -n "$many_ns" link set m1 up 2>/dev/null || true
    ip -n "$many_ns" link set m8 up 2>/dev/null || true
    ip -n "$host_ns" link set h0 up 2>/dev/null || true
}
explain() {
    echo "  alerts received:"
    "${helper[@]}" alerts "$webhook" | sed 's/^/    /'
    echo "  the logs' last lines:"
    tail -n 5 "$work"/*.log | sed 's/^/    /'
}
# in_background NAME COMMAND...: a server as nobody, its output in NAME.log.
in_background() {
    local name=$1
    shift
    "${drop[@]}" "$@" >"$work/$name.log" 2>&1 &
    servers+=($!)
}
query() { "${helper[@]}" query "$prometheus_url" "$1" 2>/dev/null || true; }
alerts() { "${helper[@]}" alerts "$webhook"; }
# within SECONDS COMMAND...: whether COMMAND succeeds within SECONDS.
within() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}
# results_are N PROMQL: the query has N results.
results_are() { (($(query "$2" | grep -c .) == $1)); }
received() { alerts | grep -qE "$1"; }

# Stale entries within a second and a quick verdict on a host that left.
echo 300 >/proc/sys/net/ipv4/neigh/c0/base_reachable_time_ms
echo 1 >/proc/sys/net/ipv4/neigh/c0/delay_first_probe_time
ip neigh flush dev c0
# m8 stays away until an unknown device is to appear; the live host and
# m1..m7 are named.
ip -n "$many_ns" link set m8 down
names=$work/names
{
    echo "$live_mac printer"
    for i in 1 2 3 4 5 6 7; do echo "02:1A:2B:00:00:1$i m$i"; done
} >"$names"

"${drop[@]}" env HOME="$work" "$cli" --watch --state "$state" --every 1s 192.0.2.0/27 \
    >"$work/watch.log" 2>&1 &
watcher=$!
until_catches_stop "$watcher" || true

# Two machines: each serves the record on its own address.
for instance in 127.0.0.1 127.0.0.2; do
    in_background "web-$instance" "$web" --state "$state" --names "$names" \
        --listen "$instance:8841"
done
in_background webhook "${helper[@]}" receive 127.0.0.1 19095 "$webhook"

# The shipped rules, with `for: 10m` made 15 s; the example configurations
# with the test's addresses and 1 s intervals.
sed 's/for: 10m/for: 15s/' "$packaging/varnock.rules.yml" >"$work/varnock.rules.yml"
"${helper[@]}" configure alertmanager "$packaging/alertmanager.yml" \
    wait=1s webhook=http://127.0.0.1:19095/varnock >"$work/alertmanager.yml"
"${helper[@]}" configure prometheus "$packaging/prometheus.yml" interval=1s \
    rules="$work/varnock.rules.yml" alertmanager=127.0.0.1:19093 \
    targets=127.0.0.1:8841,127.0.0.2:8841 >"$work/prometheus.yml"
in_background alertmanager prometheus-alertmanager --config.file="$work/alertmanager.yml" \
    --storage.path="$work/alertmanager" --web.listen-address=127.0.0.1:19093 \
    --cluster.listen-address=
in_background prometheus prometheus --config.file="$work/prometheus.yml" \
    --storage.tsdb.path="$work/prometheus" --web.listen-address=127.0.0.1:19090

# --- Two machines scraped, told apart by the scrape's own label.
check "Prometheus scrapes both machines" within 60 results_are 2 'up{job="varnock"} == 1'
check "the named devices are in Prometheus, once per machine" \
    within 60 results_are 2 'varnock_devices{interface="c0",known="true"} == 8'
check "no unknown device, no alert for one" \
    test "$(query 'varnock_devices{known="false"} > 0')$(alerts | grep -c UnknownDevice)" = 0

# --- An unknown host appears: counted, never a series of its own, and
# its alert reaches the webhook from each machine.
ip -n "$many_ns" link set m8 up
check "the unknown device is counted" \
    within 60 results_are 2 'varnock_devices{interface="c0",known="false"} == 1'
check "the unknown device's alert reaches the webhook from both machines" \
    within 60 eval '(($(alerts | grep -cE "^firing UnknownDeviceAppeared instance=127\.0\.0\.[12]:8841 interface=c0 ") == 2))'
check "the unknown device has no series of its own" \
    test -z "$(query '{hardware_address="02:1A:2B:00:00:18"}')"
check "the watch's events are counted from its record" \
    within 60 results_are 2 'varnock_events_total{interface="c0",type="new"} >= 9'

# --- A named host misses answers for a moment: seen down, then up again
# well within `for:`.
m1='hardware_address="02:1A:2B:00:00:11"'
ip -n "$many_ns" link set m1 down
check "m1's miss is seen in Prometheus" within 60 results_are 2 "varnock_device_up{$m1} == 0"
ip -n "$many_ns" link set m1 up
check "m1 is up again" within 60 results_are 2 "varnock_device_up{$m1} == 1"

# --- The printer goes down and stays down: its alert, with its name, after
# `for:`.
ip -n "$host_ns" link set h0 down
check "the printer's fall is seen in Prometheus" \
    within 60 results_are 2 'varnock_device_up{hardware_address="02:1A:2B:3C:4D:5E"} == 0'
down_seen=$SECONDS
printer_down='^firing KnownDeviceDown hardware_address=02:1A:2B:3C:4D:5E instance=127\.0\.0\.[12]:8841 interface=c0 job=varnock name=printer '
check "the printer's alert reaches the webhook from both machines" \
    within 90 eval '(($(alerts | grep -cE "$printer_down") == 2))'
check "not before its for: had passed (seen $((SECONDS - down_seen)) s after the fall)" \
    test $((SECONDS - down_seen)) -ge 13
check "m1's moment away raised no alert" eval '! received "KnownDeviceDown.*02:1A:2B:00:00:11"'

stop_watch || true
finish
