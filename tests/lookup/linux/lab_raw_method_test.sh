#!/usr/bin/env bash
# The raw method in the lab: it gives every capability up before it reads a
# target, fills no neighbour table, is chosen only where the capability is,
# answers only replies to what it asked on the interface it asked on, asks
# an unanswered address again, speaks IPv6 too, and gives up on an interface
# that will not send. Runs as root on the
# lab's client (run-in-lab.sh --privileged).
#   lab_raw_method_test.sh VARNOCK_CLI
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../lab/scenario.sh"

absent=$VARNOCK_LAB_ABSENT_HOST
live6=$VARNOCK_LAB_LIVE_HOST6
absent6=$VARNOCK_LAB_ABSENT_HOST6
prefix=$VARNOCK_LAB_PREFIX
rogue="$prefix-rogue"
scratch=$(mktemp -d /tmp/varnock-raw.XXXXXX)
chmod 755 "$scratch"
background=()
cleanup() {
    for pid in "${background[@]}"; do kill "$pid" 2>/dev/null || true; done
    tc qdisc del dev c0 root 2>/dev/null || true
    ip netns del "$rogue" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# run [COMMAND...]: sets $out, $status and $took (ms).
run() {
    local start
    start=$(now_ms)
    status=0
    out=$("$@" 2>&1) || status=$?
    took=$(($(now_ms) - start))
}
explain() { echo "  status $status, ${took} ms: $out"; }

# replies NS INTERFACE ADDRESS: ARP replies nobody asked for, "ADDRESS is
# at" the interface's own hardware address, broadcast every 10 ms for 5 s.
replies() {
    ip netns exec "$1" python3 - "$2" "$3" <<'PY'
import socket, struct, sys, time
interface, address = sys.argv[1], socket.inet_aton(sys.argv[2])
ours = bytes.fromhex(open(f"/sys/class/net/{interface}/address").read().strip().replace(":", ""))
frame = (b"\xff" * 6 + ours + b"\x08\x06" + struct.pack("!HHBBH", 1, 0x0800, 6, 4, 2)
         + ours + address + b"\xff" * 6 + address)
with socket.socket(socket.AF_PACKET, socket.SOCK_RAW) as s:
    s.bind((interface, 0))
    for _ in range(500):
        s.send(frame)
        time.sleep(0.01)
PY
}

fresh() { ip neigh flush dev c0 2>/dev/null || true; ip -6 neigh flush dev c0 2>/dev/null || true; }
no_entry() { test -z "$(ip neigh show "$1" dev c0)"; }

# capabilities_while_reading RUNNER...: starts the program through RUNNER
# on a FIFO of targets and, once it holds the FIFO open (it gives its
# privileges up before it reads any target), prints the capability lines of
# its status, then feeds it the targets and leaves its output in $out.
capabilities_while_reading() {
    local fifo=$scratch/targets pid
    rm -f "$fifo"
    mkfifo -m 666 "$fifo"
    exec 3<>"$fifo"  # read-write: nobody's open waits
    "$@" -f "$fifo" >"$scratch/out" 2>&1 3>&- &
    pid=$!
    background+=("$pid")
    for _ in $(seq 1000); do
        ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "$fifo" && break
        sleep 0.01
    done
    grep -E '^(Cap(Inh|Prm|Eff|Bnd|Amb)|NoNewPrivs):' "/proc/$pid/status" >"$scratch/caps" || true
    printf '%s\n%s\n' "$live" "$absent" >&3
    exec 3>&-
    status=0
    wait "$pid" || status=$?
    out=$(cat "$scratch/out")
}
# gave_up SETS...: those capability sets were empty while it read, and it
# could not gain privileges by running anything.
gave_up() {
    local set
    for set in "$@"; do grep -qE "^Cap$set:\s+0+$" "$scratch/caps" || return 1; done
    grep -qE '^NoNewPrivs:\s+1$' "$scratch/caps"
}
has_answers() {
    grep -qE "^$live +$live_mac" <<<"$out" && grep -qE "^$absent +no answer" <<<"$out"
}

# --- As root: the raw method, every capability gone before any target is read.
fresh
capabilities_while_reading "$cli" --method raw
check "raw as root: no capability left while it reads, bounding set included" \
    gave_up Inh Prm Eff Bnd Amb
check "raw as root: live host answers, absent one does not, exit 1" \
    eval 'has_answers && test "$status" -eq 1'
check "raw made no neighbour entries" eval 'no_entry "$live" && no_entry "$absent"'

# --- The same results, reasons and exit status as the kernel's method, for
# every kind of target the lab has (a dual-stack host's addresses are no
# proxy ARP).
same=("$live" "$absent" 192.0.2.11 198.51.100.2 203.0.113.130 203.0.113.5 192.0.2.255
    192.0.2.1 "$live6" "$absent6" "$VARNOCK_LAB_LIVE_LINK_LOCAL%c0" 2001:db8::1)
fresh
run "$cli" --method raw --json "${same[@]}"
raw_out=$out raw_status=$status
run "${drop[@]}" "$cli" --method kernel --json "${same[@]}"
check "raw and kernel give the same JSON and exit status" \
    eval 'test "$raw_out" = "$out" -a "$raw_status" = "$status"'

# --- As nobody: auto falls back to the kernel (which makes an entry), raw is refused.
fresh
run "${drop[@]}" "$cli" --method auto "$live"
check "auto as nobody answers" eval 'test "$status" -eq 0 && grep -q "$live_mac" <<<"$out"'
check "auto as nobody asked the kernel (an entry was made)" eval '! no_entry "$live"'
run "${drop[@]}" "$cli" --method raw "$live"
check "raw as nobody: exit 2, says how to grant the capability" \
    eval 'test "$status" -eq 2 && grep -q "setcap cap_net_raw+ep" <<<"$out"'

# --- A file capability, permitted but not effective: raised to open the
# sockets, then dropped with the rest. (A user namespace's root cannot give
# file capabilities that count outside it.)
if [[ -z "${VARNOCK_LAB_IN_USERNS:-}" ]] && command -v setcap >/dev/null; then
    cp "$cli" "$scratch/varnock-cli"
    setcap cap_net_raw+p "$scratch/varnock-cli"
    fresh
    capabilities_while_reading setpriv --reuid=65534 --regid=65534 --clear-groups \
        "$scratch/varnock-cli" --method raw
    check "file capability as nobody: raw answers" has_answers
    # Without CAP_SETPCAP the bounding set stays; no_new_privs keeps a
    # program it ran from gaining anything through it.
    check "file capability: no capability left while it reads" gave_up Inh Prm Eff Amb
    check "file capability: no neighbour entries" no_entry "$live"
fi

# --- Replies that must not count: the absent address answered on another
# interface of the client, and an address not asked answered on the right one.
ip netns add "$rogue"
ip link add c1 type veth peer name r0 netns "$rogue"
ip link set c1 up
ip -n "$rogue" addr add "$absent/24" dev r0
ip -n "$rogue" link set r0 up
replies "$rogue" r0 "$absent" 2>/dev/null &
background+=($!)
replies "$host_ns" h0 192.0.2.78 2>/dev/null &
background+=($!)
received_before=$(cat /sys/class/net/c1/statistics/rx_packets)
run "$cli" --method raw "$absent"
check "replies from another interface and for addresses not asked are ignored" \
    eval 'test "$status" -eq 1 && grep -qE "^$absent +no answer" <<<"$out"'
check "(the other interface did receive the replies meanwhile)" \
    test "$(cat /sys/class/net/c1/statistics/rx_packets)" -gt "$received_before"

# --- A host that drops the first request for it answers the second.
ip netns exec "$host_ns" nft -f - <<NFT
table arp raw_method_test {
    chain input {
        type filter hook input priority 0;
        arp operation request arp daddr ip $live numgen inc mod 2 0 counter drop
    }
}
NFT
run "$cli" --method raw "$live"
dropped=$(ip netns exec "$host_ns" nft list table arp raw_method_test | grep -oE 'packets [0-9]+')
ip netns exec "$host_ns" nft delete table arp raw_method_test
check "a host that answers only the second request is found" \
    eval 'test "$status" -eq 0 && grep -q "$live_mac" <<<"$out" && test "$dropped" = "packets 1"'

# --- Pace and retries, counted where the requests arrive: a host that
# answered is asked once, an address nobody holds twice, and the whole /24
# takes at least as long as its requests at the rate asked (less the
# sender's brief catch-up allowance).
ip netns exec "$host_ns" nft -f - <<NFT
table arp raw_method_count {
    chain input {
        type filter hook input priority 0;
        arp operation request arp daddr ip $live counter
        arp operation request arp daddr ip $absent counter
        arp operation request counter
    }
}
NFT
rate=200
run "$cli" --method raw --rate "$rate" 192.0.2.0/24
mapfile -t counted < <(ip netns exec "$host_ns" nft list table arp raw_method_count |
    grep -oE 'packets [0-9]+' | cut -d' ' -f2)
ip netns exec "$host_ns" nft delete table arp raw_method_count
explain() { echo "  status $status, ${took} ms, requests ${counted[*]}"; }
check "an address that answered is asked once, one that did not twice" \
    test "${counted[0]}" -eq 1 -a "${counted[1]}" -eq 2
check "the sweep kept to --rate $rate" test "$took" -ge $(((counted[2] - 30) * 1000 / rate))
explain() { echo "  status $status, ${took} ms: $out"; }

# --- IPv6: neighbour solicitations, advertisements matched by target.
fresh
run "$cli" --method raw "$live6" "$absent6"
check "raw IPv6: live host answers, absent one does not" \
    eval 'test "$status" -eq 1 && grep -qE "^$live6 +$live_mac" <<<"$out" && grep -qE "^$absent6 +no answer" <<<"$out"'
check "raw IPv6 made no neighbour entry" test -z "$(ip -6 neigh show "$live6" dev c0)"

# --- Proxy ARP: the gateway answers for addresses it routes elsewhere.
gateway_ns=${host_ns%-h}-gw
ip -n "$gateway_ns" route add 192.0.2.200/30 dev g1
echo 1 | ip netns exec "$gateway_ns" tee /proc/sys/net/ipv4/conf/g0/proxy_arp >/dev/null
echo 0 | ip netns exec "$gateway_ns" tee /proc/sys/net/ipv4/neigh/g0/proxy_delay >/dev/null
run "$cli" --method raw --json 192.0.2.201 192.0.2.202
check "proxy ARP is shown as such" grep -q '"also_answers_for": "192.0.2.201"' <<<"$out"

# --- A transmit queue that refuses every frame: each send fails with
# ENOBUFS. The lookup ends at its --timeout with the interface's reason and
# exit 1 (the command's own limit here is only a guard against a loop).
tc qdisc replace dev c0 root pfifo limit 0
run timeout 60 "$cli" --method raw --timeout 1000 "$live"
tc qdisc del dev c0 root
check "a queue that refuses every frame: exit 1 at the timeout, with the interface's reason" \
    eval 'test "$status" -eq 1 -a "$took" -lt 20000 &&
        grep -qE "^$live +the interface would not send: No buffer space available" <<<"$out"'

finish
