#!/usr/bin/env bash
# Runs a command on a throwaway network built from namespaces, as an
# unprivileged process on the client. Only the documentation address ranges
# are used, and nothing is connected to the machine's own network.
#
#   lan (bridge br0) ── c0  client   192.0.2.1     (the command runs here)
#                    ── h0  host     192.0.2.2     02:1A:2B:3C:4D:5E
#                    ── g0  gateway  192.0.2.254 ── g1 198.51.100.254 ── far 198.51.100.2
#                    ── m1..m8  more hosts 192.0.2.11-18  02:1A:2B:00:00:11-18
#   192.0.2.77 is on the client's network but has no host.
#   The client's n0 (203.0.113.128/25) does not use ARP; 203.0.113.0/25 has no route.
#   The hosts on the bridge also have IPv6 addresses in 2001:db8::/64 (client ::1,
#   host ::2, gateway ::fe, more hosts ::11-::18; nobody at ::77) and their
#   link-local ones; the client's resolver knows "labhost" (192.0.2.2 and
#   2001:db8::2) from a hosts file of the lab's own, when the lab runs as root.
#
#   run-in-lab.sh [--privileged] COMMAND [ARGS...]
# --privileged keeps root on the client (benchmarks that flush the neighbour
# table or send raw ARP, and scenario tests that change the lab and then look
# up as nobody themselves).
#
# Exit status: the command's; 77 when the lab cannot be built here (or 1 if
# VARNOCK_REQUIRE_LAB=1 says it must be).
set -euo pipefail

cannot_build() {
    echo "lab: cannot build the namespace lab: $*" >&2
    if [[ "${VARNOCK_REQUIRE_LAB:-0}" == 1 ]]; then exit 1; fi
    exit 77
}

privileged=0
if [[ "${1:-}" == --privileged ]]; then privileged=1; shift; fi
(($# > 0)) || { echo "usage: $0 [--privileged] COMMAND [ARGS...]" >&2; exit 2; }

# An ordinary user can still be root over namespaces of its own.
if (($(id -u) != 0)); then
    unshare -rnm true 2>/dev/null || cannot_build "no root and no user namespaces"
    exec unshare -rnm --propagation private \
        sh -c 'mount -t tmpfs tmpfs /run && exec env VARNOCK_LAB_IN_USERNS=1 "$0" "$@"' "$0" "$@"
fi
command -v ip >/dev/null || cannot_build "ip (iproute2) is not installed"
command -v setpriv >/dev/null || cannot_build "setpriv (util-linux) is not installed"

prefix="vk$$"
lan="$prefix-lan" client="$prefix-cl" host="$prefix-h" gateway="$prefix-gw" far="$prefix-far"
many="$prefix-m"
namespaces=("$lan" "$client" "$host" "$gateway" "$far" "$many")
# IPv6 only on the hosts of the bridge, with no duplicate address detection
# (addresses usable at once) and no router solicitations.
ipv6_hosts=("$client" "$host" "$gateway" "$many")
workdir=""
names=""

teardown() {
    for ns in "${namespaces[@]}"; do ip netns del "$ns" 2>/dev/null || true; done
    # An if, not `[[ ]] &&`: a false test would be the trap's status and
    # replace the exit status the script chose (77 for a skip).
    if [[ -n "$workdir" ]]; then rm -rf "$workdir"; fi
    if [[ -n "$names" ]]; then rm -rf "$names"; fi
}
trap teardown EXIT
trap 'exit 130' INT TERM

in_ns() { local ns=$1; shift; ip netns exec "$ns" "$@"; }
# set_knob NS KEY VALUE: writes /proc/sys/KEY inside NS, with no shell
# between (nothing here is pasted into a command line).
set_knob() { printf '%s\n' "$3" | in_ns "$1" tee "/proc/sys/$2" >/dev/null; }

build() {
    for ns in "${namespaces[@]}"; do
        ip netns add "$ns"
        if [[ " ${ipv6_hosts[*]} " == *" $ns "* ]]; then
            for conf in default all; do
                set_knob "$ns" "net/ipv6/conf/$conf/accept_dad" 0
                set_knob "$ns" "net/ipv6/conf/$conf/router_solicitations" 0
            done
        else
            set_knob "$ns" net/ipv6/conf/default/disable_ipv6 1
            set_knob "$ns" net/ipv6/conf/all/disable_ipv6 1
        fi
        # A host's "port unreachable" confirms an entry the client has not
        # heard from lately. Linux sends about six a second to one
        # destination; the eight hosts that share one namespace here would
        # share that allowance, which no real hosts do.
        set_knob "$ns" net/ipv4/icmp_ratelimit 0
        ip -n "$ns" link set lo up
    done
    # No multicast snooping: without a querier it would hold back neighbour
    # solicitations.
    ip -n "$lan" link add br0 type bridge mcast_snooping 0
    ip -n "$lan" link set br0 up

    # attach NS IFNAME ADDRESS/LEN MAC IPV6/LEN: a port of the bridge in
    # namespace NS.
    attach() {
        ip -n "$lan" link add "$2" type veth peer name "p-$2"
        ip -n "$lan" link set "$2" netns "$1"
        ip -n "$lan" link set "p-$2" master br0 up
        ip -n "$1" link set "$2" address "$4"
        ip -n "$1" addr add "$3" dev "$2"
        ip -n "$1" addr add "$5" dev "$2" nodad
        ip -n "$1" link set "$2" up
    }
    attach "$client" c0 192.0.2.1/24 02:00:00:c0:02:01 2001:db8::1/64
    attach "$host" h0 192.0.2.2/24 02:1a:2b:3c:4d:5e 2001:db8::2/64
    attach "$gateway" g0 192.0.2.254/24 02:00:00:c0:02:fe 2001:db8::fe/64
    # Eight hosts with addresses of their own in one namespace: each
    # interface answers ARP only for its own address.
    set_knob "$many" net/ipv4/conf/all/arp_ignore 1
    # Replies from all eight leave through one interface; when it asks for
    # the client it must not name another interface's address as its own,
    # or the client would learn that address with the wrong hardware address.
    set_knob "$many" net/ipv4/conf/all/arp_announce 2
    for i in 1 2 3 4 5 6 7 8; do
        attach "$many" "m$i" "192.0.2.1$i/24" "02:1a:2b:00:00:1$i" "2001:db8::1$i/64"
    done

    ip -n "$gateway" link add g1 type veth peer name f0
    ip -n "$gateway" link set f0 netns "$far"
    ip -n "$gateway" addr add 198.51.100.254/24 dev g1
    ip -n "$gateway" link set g1 up
    ip -n "$far" addr add 198.51.100.2/24 dev f0
    ip -n "$far" link set f0 up
    ip -n "$far" route add default via 198.51.100.254
    set_knob "$gateway" net/ipv4/ip_forward 1
    ip -n "$client" route add 198.51.100.0/24 via 192.0.2.254

    # A link on the client that does not use ARP (203.0.113.128/25); the
    # rest of 203.0.113.0/24 has no route at all.
    ip -n "$client" link add n0 type veth peer name n0p
    ip -n "$client" link set n0 arp off
    ip -n "$client" addr add 203.0.113.129/25 dev n0
    ip -n "$client" link set n0p up
    ip -n "$client" link set n0 up

    # An absent host then fails after 3 x 100 ms instead of 3 s.
    for family in ipv4 ipv6; do
        set_knob "$client" "net/$family/neigh/c0/retrans_time_ms" 100
        set_knob "$client" "net/$family/neigh/c0/mcast_solicit" 3
        set_knob "$client" "net/$family/neigh/c0/app_solicit" 0
    done

    # The client's own resolver: `ip netns exec` lays /etc/netns/NAME/ over
    # /etc, so names never reach the machine's resolver.
    if [[ -z "${VARNOCK_LAB_IN_USERNS:-}" ]]; then
        names="/etc/netns/$client"
        mkdir -p "$names"
        printf '127.0.0.1 localhost\n::1 localhost\n192.0.2.2 labhost\n2001:db8::2 labhost\n' \
            >"$names/hosts"
        printf 'hosts: files\n' >"$names/nsswitch.conf"
        : >"$names/resolv.conf"
    fi
}
# Not as `build || ...`: bash turns set -e off inside a function called
# that way, and a half-built lab would go unnoticed. The ERR trap (inherited
# by functions under set -E) names the command that failed instead.
set -E
trap 'cannot_build "setting up failed at: $BASH_COMMAND"' ERR
build
trap - ERR
set +E

# The command runs with no capability at all; as real root it also becomes
# nobody, so nothing it proves can come from privilege.
workdir=$(mktemp -d)
drop=(setpriv --bounding-set=-all --inh-caps=-all --no-new-privs)
if ((privileged)); then
    drop=()
elif [[ -z "${VARNOCK_LAB_IN_USERNS:-}" ]]; then
    chown 65534:65534 "$workdir"
    drop+=(--reuid=65534 --regid=65534 --clear-groups)
fi

set +e
in_ns "$client" "${drop[@]}" env \
    HOME="$workdir" TMPDIR="$workdir" XDG_RUNTIME_DIR="$workdir" \
    VARNOCK_LAB=1 \
    `# No vendor registries unless the caller names some: results do not` \
    `# depend on whether ieee-data is installed.` \
    VARNOCK_VENDOR_LISTS="${VARNOCK_VENDOR_LISTS-}" \
    VARNOCK_LAB_PREFIX="$prefix" VARNOCK_LAB_HOST_NAMESPACE="$host" \
    VARNOCK_LAB_BRIDGE_NAMESPACE="$lan" \
    VARNOCK_LAB_INTERFACE=c0 \
    VARNOCK_LAB_CLIENT=192.0.2.1 VARNOCK_LAB_CLIENT_MAC=02:00:00:C0:02:01 \
    VARNOCK_LAB_LIVE_HOST=192.0.2.2 VARNOCK_LAB_LIVE_MAC=02:1A:2B:3C:4D:5E \
    VARNOCK_LAB_ABSENT_HOST=192.0.2.77 \
    VARNOCK_LAB_MORE_HOSTS="192.0.2.11 192.0.2.12 192.0.2.13 192.0.2.14 192.0.2.15 192.0.2.16 192.0.2.17 192.0.2.18" \
    VARNOCK_LAB_GATEWAY=192.0.2.254 VARNOCK_LAB_FAR_HOST=198.51.100.2 \
    VARNOCK_LAB_GIVE_UP_MS=300 \
    VARNOCK_LAB_LIVE_HOST6=2001:db8::2 VARNOCK_LAB_ABSENT_HOST6=2001:db8::77 \
    VARNOCK_LAB_LIVE_LINK_LOCAL=fe80::1a:2bff:fe3c:4d5e \
    VARNOCK_LAB_HOST_NAME="${names:+labhost}" \
    "$@"
status=$?
set -e
exit "$status"
