#!/usr/bin/env bash
# Scenarios that change the lab under a lookup: a host that left after its
# entry went stale, a host that changed its hardware address, a stale entry
# of a host that is still there, a firewall rule that drops the probe, and two
# interfaces on one network. Runs as root on the lab's client
# (run-in-lab.sh --privileged) to change the lab; every lookup runs as an
# unprivileged process, through varnock-cli.
#   lab_confirmation_test.sh VARNOCK_CLI
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../lab/scenario.sh"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# lookup ADDRESS: sets $out, $status and $took (ms) of one unprivileged run.
lookup() {
    local start
    start=$(now_ms)
    status=0
    out=$("${drop[@]}" "$cli" "$@" 2>&1) || status=$?
    took=$(($(now_ms) - start))
}

explain() { echo "  status $status, ${took} ms: $out"; }

fresh() { ip neigh flush dev c0 2>/dev/null || true; }

# Entries go stale within half a second, and the kernel's first unicast
# probe of a stale entry comes 3 s after it was used.
echo 300 >/proc/sys/net/ipv4/neigh/c0/base_reachable_time_ms
echo 3 >/proc/sys/net/ipv4/neigh/c0/delay_first_probe_time

# "At once" is well before the kernel's own confirmation could have decided:
# half its first probe's delay, room enough for a slow or busy machine.
at_once_ms=1500
# "Within the kernel's schedule": 3 s delay, 3 probes 100 ms apart, then
# resolution from scratch, 300 ms, each with the lookup's 250 ms margin; and
# as much again for a slow machine. Only a wait past the schedule breaks it.
bound_ms=$((2 * (3000 + 300 + 300 + 2 * 250)))

# --- A stale entry of a host that is still there.
fresh
lookup "$live"
until_unconfirmed "$live"
lookup "$live"
check "stale entry of a live host confirmed at once" \
    test "$status" -eq 0 -a "$took" -lt "$at_once_ms"
check "the confirmed answer is the host's address" grep -q "$live_mac" <<<"$out"

# --- --cached answers from the table as it stands, sends nothing, and marks
# what the kernel has not confirmed lately.
lookup --cached "$live"
check "--cached marks an unconfirmed entry" \
    grep -qE "$live_mac  \(locally administered\)  \(unconfirmed: (stale|delay|probe)(, last confirmed [0-9]+ s ago)?\)" <<<"$out"
lookup --cached --json "$live"
check "--cached says so in JSON too" grep -q '"from_cache": true, "confirmed": false, "state": ' <<<"$out"
lookup --cached "$VARNOCK_LAB_ABSENT_HOST"
check "--cached without an entry" grep -q "not in the neighbour table" <<<"$out"
check "--cached sent nothing" test -z "$(ip neigh show "$VARNOCK_LAB_ABSENT_HOST" dev c0)"

# --- A stale entry of a host whose firewall drops the datagram: the host
# never refuses it, and only the kernel's own probes, after their delay,
# can confirm the address.
fresh
lookup "$live"
until_unconfirmed "$live"
ip netns exec "$host_ns" nft add table ip varnock_host
ip netns exec "$host_ns" nft 'add chain ip varnock_host in { type filter hook input priority 0; }'
ip netns exec "$host_ns" nft add rule ip varnock_host in meta l4proto udp drop
lookup --jsonl --timeout 1500 "$live"
check "an address nobody confirmed within --timeout is not called absent" \
    grep -qE "\"reason\": \"not confirmed within 1.5 s; last known $live_mac, (stale|delay|probe)\"" <<<"$out"
check "and still exits 1" test "$status" -eq 1
check "JSON names the last known address" \
    grep -q "\"last_known_hardware_address\": \"$live_mac\"" <<<"$out"
# The kernel's probe confirms the entry meanwhile; wait until it is stale
# again.
sleep 4
until_unconfirmed "$live"
lookup "$live"
check "without --timeout the kernel's own probes confirm it" \
    test "$status" -eq 0 -a "$took" -lt "$bound_ms"
ip netns exec "$host_ns" nft delete table ip varnock_host

# --- A host that changed its hardware address.
new_mac=02:1A:2B:3C:4D:99
fresh
lookup "$live"
ip -n "$host_ns" link set h0 address "$new_mac"
until_unconfirmed "$live"
lookup "$live"
check "a host's new hardware address, by the same lookup" \
    test "$status" -eq 0 -a "$took" -lt "$bound_ms"
check "never its old one" grep -q "$new_mac" <<<"$out"
ip -n "$host_ns" link set h0 address "$live_mac"

# --- A host that left after its entry went stale.
fresh
lookup "$live"
until_unconfirmed "$live"
ip -n "$host_ns" link set h0 down
lookup "$live"
check "a host that left gives no answer, within the kernel's schedule" \
    test "$status" -eq 1 -a "$took" -lt "$bound_ms"
check "and says so" grep -q "no answer" <<<"$out"
ip -n "$host_ns" link set h0 up

# --- A firewall rule that drops the probe.
fresh
nft add table ip varnock_lab
nft 'add chain ip varnock_lab out { type filter hook output priority 0; }'
nft add rule ip varnock_lab out meta l4proto udp drop
lookup "$live"
nft delete table ip varnock_lab
check "a dropped probe is refused at once" test "$status" -eq 1 -a "$took" -lt "$at_once_ms"
check "with its own reason" grep -q "blocked by a firewall rule" <<<"$out"

# --- An interface without a carrier: its peer on the bridge is down.
fresh
ip -n "$VARNOCK_LAB_BRIDGE_NAMESPACE" link set p-c0 down
lookup "$live"
ip -n "$VARNOCK_LAB_BRIDGE_NAMESPACE" link set p-c0 up
check "no carrier is told at once, with its own reason" \
    grep -q "the interface is down or has no carrier" <<<"$out"
for _ in $(seq 100); do ip link show c0 | grep -q "LOWER_UP" && break; sleep 0.02; done

# --- Two interfaces on the same network, a host with the same address and
# another hardware address on each: the answer follows the route.
lan2="$VARNOCK_LAB_PREFIX-lan2" twin="$VARNOCK_LAB_PREFIX-twin"
trap 'ip netns del "$lan2" 2>/dev/null || true; ip netns del "$twin" 2>/dev/null || true' EXIT
twin_mac=02:1A:2B:3C:4D:77
ip netns add "$lan2"
ip netns add "$twin"
ip -n "$lan2" link add br1 type bridge
ip -n "$lan2" link set br1 up
ip link add c1 type veth peer name p-c1 netns "$lan2"
ip -n "$lan2" link add t0 type veth peer name p-t0
ip -n "$lan2" link set t0 netns "$twin"
for port in p-c1 p-t0; do ip -n "$lan2" link set "$port" master br1 up; done
ip -n "$twin" link set t0 address "$twin_mac"
ip -n "$twin" addr add "$live/24" dev t0
ip -n "$twin" link set t0 up
ip link set c1 up
ip addr add 192.0.2.101/24 dev c1 metric 50
fresh
lookup "$live"
check "the lower metric's interface answers" grep -q "$live_mac" <<<"$out"
# Swap the metrics: c0's network route now comes second.
ip route del 192.0.2.0/24 dev c0
ip route add 192.0.2.0/24 dev c0 metric 100 src 192.0.2.1
lookup "$live"
check "swapped metrics swap the answer; c0's cached entry does not leak" \
    grep -q "$twin_mac" <<<"$out"
ip route del 192.0.2.0/24 dev c0 metric 100
ip route add 192.0.2.0/24 dev c0 src 192.0.2.1

if ip link add varnock-vrf type vrf table 10 2>/dev/null; then
    ip link del varnock-vrf
    echo "VRF support present, but no VRF case is written yet" >&2
else
    echo "skipped: this kernel has no VRF support, so the bound-socket case cannot run here"
fi

finish
