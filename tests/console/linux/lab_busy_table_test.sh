#!/usr/bin/env bash
# A sweep while another namespace holds hundreds of permanent neighbour
# entries, as a router or a container host does: the machine's count of
# entries then looks full to every namespace, though the kernel never counts
# those entries against its limits. The sweep must go at its own pace, not a
# few lookups at a time; and with more of them than the soft limit, when no
# room shows at all, it must still end. Runs as root on the lab's client
# (run-in-lab.sh --privileged); the sweep runs as nobody.
#   lab_busy_table_test.sh VARNOCK_CLI
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../lab/scenario.sh"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

router="busy$$"
cleanup() {
    # Deleting the namespace takes its entries with it; flushed first all the
    # same, since permanent entries are the machine's to count until they go.
    ip -n "$router" neigh flush dev r0 nud permanent 2>/dev/null || true
    ip netns del "$router" 2>/dev/null || true
}
trap cleanup EXIT

ip netns add "$router"
ip -n "$router" link add r0 type veth peer name r1
ip -n "$router" link set r0 up
ip -n "$router" addr add 10.200.0.1/16 dev r0
# hold FROM TO: permanent entries FROM..TO in the router's namespace.
hold() {
    for i in $(seq "$1" "$2"); do
        printf 'neigh add 10.200.%d.%d lladdr 02:00:00:00:%02x:%02x dev r0 nud permanent\n' \
            $((i / 200)) $((i % 200 + 2)) $((i / 256)) $((i % 256))
    done | ip -n "$router" -batch -
}
hold 0 469

counted=$(ip -s ntable show name arp_cache | sed -n 's/.* entries \([0-9]*\).*/\1/p' | head -1)
soft=$(ip ntable show name arp_cache | sed -n 's/.*thresh2 \([0-9]*\).*/\1/p' | head -1)
echo "the machine counts $counted entries against a soft limit of $soft"

# Three probes 1 s apart: each address without a host holds its entry 3 s.
echo 1000 >/proc/sys/net/ipv4/neigh/c0/retrans_time_ms
give_up_ms=3000

# The kernel pauses 5 s after it last collected by force (an earlier test's
# full table, say), and then nothing proves room: wait that out.
for _ in $(seq 100); do
    flushed=$(ip -s ntable show name arp_cache | sed -n 's/.*last_flush \([0-9-]* [0-9:]*\).*/\1/p' |
        head -1)
    (($(date +%s) - $(date -d "$flushed" +%s) > 6)) && break
    sleep 0.1
done

ip neigh flush dev c0
start=$(now_ms)
status=0
out=$("${drop[@]}" "$cli" 192.0.2.0/27) || status=$?
took=$(($(now_ms) - start))
explain() { echo "  status $status, $took ms:"; echo "$out"; }

# 30 addresses, 9 of them live: four at a time the 21 absent ones would
# take six give-up times; at the sweep's own pace, about one.
check "every live host found" test "$(grep -c ' 02:1A:2B:' <<<"$out")" -eq 9
check "every address answered" test "$(wc -l <<<"$out")" -eq 30
check "a busy table does not slow the sweep to a crawl" test "$took" -lt $((3 * give_up_ms))

# --- 600 permanent entries: past the soft limit itself, so the count shows no
# room at all and only an entry made can prove some. A /26 on the client's
# network where nobody answers must still end, each address with its answer.
hold 470 599
ip neigh flush dev c0
start=$(now_ms)
status=0
out=$(timeout 120 "${drop[@]}" "$cli" 192.0.2.64/26) || status=$?
took=$(($(now_ms) - start))
check "600 entries elsewhere: a /26 sweep ends, exit 1, every address without an answer" \
    eval 'test "$status" -eq 1 -a "$(grep -cE " no answer$" <<<"$out")" -eq 62'
check "600 entries elsewhere: it does not wait for room that cannot show" test "$took" -lt 60000

finish
