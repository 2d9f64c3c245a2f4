#!/usr/bin/env bash
# Sweeps of 10.0.0.0/8 networks in namespaces of its own: the raw method
# against arp-scan (as root, its defaults) in the same run, and the kernel's
# method beside them. The hosts are macvlan interfaces, each with its own
# hardware address, spread over the network swept. Nothing here reaches the
# machine's own network. Root only.
#   bench/raw_sweep.sh VARNOCK_CLI RESULTS.json [20|16|v6|stale]...   (default: 20)
# stale: a stale entry of a firewalled host, raw against the kernel's method.
# A /20 holds 100 live hosts, a /16 250, and v6 is 2001:db8::/120 (the
# largest IPv6 network the program sweeps) with 50 hosts, where the kernel's
# method is the peer (arp-scan speaks no IPv6); each is a row. On the /20 the
# raw method also runs at higher rates, to see what the link takes, and the
# kernel's method runs beside it unless VARNOCK_BENCH_KERNEL=0.
set -euo pipefail

cli=$1
results=$2
shift 2
sizes=("${@:-20}")
(($(id -u) == 0)) || { echo "raw_sweep: needs root (namespaces, arp-scan)" >&2; exit 77; }
for tool in ip arp-scan setpriv python3; do
    command -v "$tool" >/dev/null || { echo "raw_sweep: $tool is missing" >&2; exit 77; }
done

client="vkraw$$-c" hosts="vkraw$$-h"
teardown() { ip netns del "$client" 2>/dev/null || true; ip netns del "$hosts" 2>/dev/null || true; }
trap teardown EXIT
trap 'exit 130' INT TERM

in_client() { ip netns exec "$client" "$@"; }
knob() { printf '%s\n' "$3" | ip netns exec "$1" tee "/proc/sys/$2" >/dev/null; }

ip netns add "$client"
ip netns add "$hosts"
# IPv6 without duplicate address detection or router solicitations: the
# addresses work at once, and nothing else is on the link.
for ns in "$client" "$hosts"; do
    for conf in all default; do
        knob "$ns" "net/ipv6/conf/$conf/accept_dad" 0
        knob "$ns" "net/ipv6/conf/$conf/router_solicitations" 0
    done
    ip -n "$ns" link set lo up
done
ip -n "$client" link add c0 type veth peer name up0 netns "$hosts"
ip -n "$client" link set c0 address 02:00:0a:00:00:01
ip -n "$client" addr add 10.0.0.1/8 dev c0
ip -n "$client" addr add 2001:db8::1/64 dev c0 nodad
ip -n "$client" link set c0 up
ip -n "$hosts" link set up0 up
# Each host answers only for its own address, from its own hardware address.
knob "$hosts" net/ipv4/conf/all/arp_ignore 1
knob "$hosts" net/ipv4/conf/all/arp_announce 2

# network_of SIZE, hosts_for SIZE: the network swept and its live hosts'
# addresses with their prefix, spread evenly over it (never the client's).
network_of() { if [[ $1 == v6 ]]; then echo 2001:db8::/120; else echo "10.0.0.0/$1"; fi; }
hosts_for() {
    python3 - "$1" "$(network_of "$1")" <<'PY'
import ipaddress, sys
count = {"20": 100, "16": 250, "v6": 50}[sys.argv[1]]
net = ipaddress.ip_network(sys.argv[2])
step = (net.num_addresses - 4) // count
prefix = 64 if net.version == 6 else 8
for i in range(count):
    print(f"{net.network_address + 2 + i * step + (i % 3)}/{prefix}")
PY
}

made=0
# with_hosts PREFIX_LENGTH: macvlan hosts for that network, the old ones gone.
with_hosts() {
    for ((i = 0; i < made; i++)); do ip -n "$hosts" link del "mv$i"; done
    made=0
    while read -r address; do
        ip -n "$hosts" link add "mv$made" link up0 type macvlan mode bridge
        ip -n "$hosts" link set "mv$made" address "$(printf '02:00:0b:%02x:%02x:%02x' \
            $((made >> 16)) $(((made >> 8) & 255)) $((made & 255)))"
        ip -n "$hosts" addr add "$address" dev "mv$made" $([[ $address == *:* ]] && echo nodad)
        ip -n "$hosts" link set "mv$made" up
        made=$((made + 1))
    done < <(hosts_for "$1")
}

found() { grep -cE '^[0-9a-f.:]+\s+[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}' || true; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# timed NAME EXPECTED_STATUS COMMAND...: records NAME_ms and NAME_found.
declare -A measured
timed() {
    local name=$1 expected=$2 start status=0 out
    shift 2
    ip -n "$client" neigh flush dev c0
    ip -n "$client" -6 neigh flush dev c0
    start=$(now_ms)
    out=$(in_client "$@" 2>/dev/null) || status=$?
    measured[${name}_ms]=$(($(now_ms) - start))
    measured[${name}_found]=$(found <<<"$out")
    if ((status != expected)); then
        echo "raw_sweep: $* exited $status, expected $expected" >&2
        exit 1
    fi
    echo "  $name: ${measured[${name}_ms]} ms, ${measured[${name}_found]} found" >&2
}

nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all --bounding-set=-all)
for length in "${sizes[@]}"; do
    [[ $length != stale ]] || continue
    with_hosts "$length"
    network=$(network_of "$length")
    echo "raw_sweep: $network, $made live hosts" >&2
    timed "raw$length" 1 "$cli" --method raw "$network"
    if [[ $length == v6 ]]; then
        timed "kernel$length" 1 "${nobody[@]}" "$cli" --method kernel "$network"
        measured[hosts$length]=$made
        continue
    fi
    timed "arpscan$length" 0 arp-scan -q -I c0 "$network"
    # The kernel's method takes minutes on a /16 (about 42 addresses a
    # second, bound by the neighbour table): measured on the /20 only.
    if ((length == 20)); then
        for rate in 2400 4800 9600; do
            timed "raw${length}_rate$rate" 1 "$cli" --method raw --rate "$rate" "$network"
        done
        if [[ "${VARNOCK_BENCH_KERNEL:-1}" == 1 ]]; then
            timed "kernel$length" 1 "${nobody[@]}" "$cli" --method kernel "$network"
        fi
    fi
    measured[hosts$length]=$made
done

# A stale entry of a host whose firewall drops the kernel method's datagram:
# the kernel waits delay_first_probe_time (5 s) before its own probe, where
# one ARP request is answered at once. Whole processes, one run each.
until_stale() {
    for _ in $(seq 500); do
        ip -n "$client" neigh show "$1" dev c0 | grep -qE " (STALE|DELAY|PROBE)" && return 0
        sleep 0.01
    done
    echo "raw_sweep: the entry of $1 never went stale" >&2
    exit 1
}
stale_case() {
    local name=$1 target=$2
    shift 2
    in_client "${nobody[@]}" "$cli" --method kernel "$target" >/dev/null
    until_stale "$target"
    local start status=0
    start=$(date +%s%N)
    in_client "$@" "$target" >/dev/null || status=$?
    measured[${name}_us]=$((($(date +%s%N) - start) / 1000))
    ((status == 0)) || { echo "raw_sweep: $name exited $status" >&2; exit 1; }
    echo "  $name: ${measured[${name}_us]} us" >&2
}
if [[ " ${sizes[*]} " == *" stale "* ]]; then
    firewalled=$(hosts_for 20 | sed -n 1p)
    firewalled=${firewalled%/*}
    with_hosts 20
    ip netns exec "$hosts" nft -f - <<'NFT'
table inet raw_sweep {
    chain input {
        type filter hook input priority 0;
        meta l4proto udp drop
    }
}
NFT
    knob "$client" net/ipv4/neigh/c0/base_reachable_time_ms 300
    ip -n "$client" neigh flush dev c0
    stale_case stale_kernel "$firewalled" "${nobody[@]}" "$cli" --method kernel
    stale_case stale_raw "$firewalled" "$cli" --method raw
fi

python3 - "$results" "${!measured[@]}" -- "${measured[@]}" <<'PY'
import json, sys
path = sys.argv[1]
split = sys.argv.index("--")
keys, values = sys.argv[2:split], sys.argv[split + 1:]
try:
    with open(path) as f:
        results = json.load(f)
except FileNotFoundError:
    results = {}
for key, value in zip(keys, values):
    results[f"raw_sweep_{key}"] = int(value)
with open(path, "w") as f:
    json.dump(results, f, indent=2)
PY
