#!/usr/bin/env bash
# The package's units under a real systemd: a Debian 12 root made with
# mmdebstrap boots under systemd-nspawn, in a network namespace of this
# test's own whose link leads to a lab namespace with two live hosts on
# 192.0.2.0/24. The built package is installed there, a watch is enabled on
# that link and the inventory page behind its socket, and the test proves:
#   - both units start, the watch's record names the lab's hosts and the page
#     and the API, fetched through the socket on 127.0.0.1 and ::1, show them;
#   - the web service runs as a dynamic user with no capability, in the
#     watches' group, with nothing of /var/lib but the records, read-only;
#   - the record is the watch's, group-readable, and neither the web
#     service's own namespace nor its user outside it can write it.
#
#   systemd_test.sh DEB ROOT_CACHE ARTIFACTS
# DEB: the built varnock_*.deb. ROOT_CACHE: a folder where the root is kept
# between runs (one root per set of packages; made in about 100 s).
# ARTIFACTS: the journal and the fetched page are left there.
#
# As root. Exit status 0 passed, 1 failed, 77 cannot run here (1 when
# VARNOCK_REQUIRE_LAB=1 says it must).
set -euo pipefail

cannot_run() {
    echo "systemd test: cannot run here: $*" >&2
    if [[ "${VARNOCK_REQUIRE_LAB:-0}" == 1 ]]; then exit 1; fi
    exit 77
}
(($# == 3)) || { echo "usage: $0 DEB ROOT_CACHE ARTIFACTS" >&2; exit 2; }
deb=$(realpath "$1") cache=$2 artifacts=$3
[[ -f "$deb" ]] || { echo "systemd test: no package $deb" >&2; exit 1; }
(($(id -u) == 0)) || cannot_run "not root"
for tool in mmdebstrap systemd-nspawn nsenter ip dpkg-deb; do
    command -v "$tool" >/dev/null || cannot_run "$tool is not installed"
done
started=$SECONDS
mkdir -p "$cache" "$artifacts"
cache=$(realpath "$cache")

# --- The root, made once per set of packages ---------------------------------------
# What the package depends on is installed with the system, so that dpkg -i
# needs no network inside; curl fetches the page.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' |
    sed -e 's/|.*//' -e 's/(.*)//' -e 's/^ *//' -e 's/ *$//' | grep -v '^$' | sort -u)
include=$(printf '%s\n' systemd systemd-sysv dbus iproute2 curl $depends | sort -u | paste -sd,)
key=$(printf '%s' "$include" | sha256sum | cut -c1-16)
root=$cache/bookworm-$key
if [[ ! -d "$root" ]]; then
    echo "Making the root in $root (mmdebstrap, $include)"
    rm -rf "$root.new"
    # The machine's own Debian sources; stdin closed, where mmdebstrap would
    # otherwise look for sources too.
    sources=/etc/apt/sources.list.d/debian.sources
    [[ -f "$sources" ]] || sources=/etc/apt/sources.list
    timeout 300 mmdebstrap --quiet --variant=minbase --include="$include" bookworm \
        "$root.new" "$sources" </dev/null || cannot_run "mmdebstrap could not make the root"
    mv "$root.new" "$root"
    # Roots made for other package sets are not needed again.
    find "$cache" -mindepth 1 -maxdepth 1 -name 'bookworm-*' ! -name "bookworm-$key" \
        -exec rm -rf {} +
fi
echo "root ready after $((SECONDS - started)) s"

# --- The network: container -- lab0 ~ l0 -- lab hosts --------------------------------
prefix="vks$$"
container_ns="$prefix-ct" lab_ns="$prefix-lab"
nspawn_pid="" init_pid="" debs=""
failures=0

teardown() {
    if [[ -n "$init_pid" ]] && kill -0 "$init_pid" 2>/dev/null; then
        nsenter -t "$init_pid" -a journalctl --no-pager -o short-monotonic \
            >"$artifacts/journal.txt" 2>&1 || true
        nsenter -t "$init_pid" -a systemctl poweroff 2>/dev/null || true
    fi
    if [[ -n "$nspawn_pid" ]]; then
        for _ in $(seq 100); do kill -0 "$nspawn_pid" 2>/dev/null || break; sleep 0.2; done
        if kill -0 "$nspawn_pid" 2>/dev/null; then kill -KILL "$nspawn_pid" 2>/dev/null || true; fi
        wait "$nspawn_pid" 2>/dev/null || true
    fi
    ip netns del "$container_ns" 2>/dev/null || true
    ip netns del "$lab_ns" 2>/dev/null || true
    if [[ -n "$debs" ]]; then rm -rf "$debs"; fi
}
trap teardown EXIT
trap 'exit 130' INT TERM

ip netns add "$container_ns"
ip netns add "$lab_ns"
ip -n "$container_ns" link add lab0 type veth peer name l0 netns "$lab_ns"
ip -n "$container_ns" addr add 192.0.2.1/24 dev lab0
ip -n "$container_ns" link set lab0 up
# Two hosts: the link's far end and a macvlan beside it, each answering only
# for its own address (arp_ignore=1).
printf '1\n' | ip netns exec "$lab_ns" tee /proc/sys/net/ipv4/conf/all/arp_ignore >/dev/null
ip -n "$lab_ns" link set l0 address 02:1a:2b:3c:4d:5e
ip -n "$lab_ns" addr add 192.0.2.2/24 dev l0
ip -n "$lab_ns" link set l0 up
ip -n "$lab_ns" link add m11 link l0 type macvlan mode bridge
ip -n "$lab_ns" link set m11 address 02:1a:2b:00:00:11
ip -n "$lab_ns" addr add 192.0.2.11/24 dev m11
ip -n "$lab_ns" link set m11 up
for ns in "$container_ns" "$lab_ns"; do ip -n "$ns" link set lo up; done

# --- Boot -----------------------------------------------------------------------------------
# --volatile=overlay: the kept root stays as mmdebstrap made it; what the
# run installs lives in memory. The package comes in through a read-only
# bind. --register=no --keep-unit: the machine's PID 1 is not systemd.
debs=$(mktemp -d)
cp "$deb" "$debs/varnock.deb"
chmod -R a+rX "$debs"
systemd-nspawn -D "$root" -b --register=no --keep-unit --volatile=overlay \
    --network-namespace-path="/run/netns/$container_ns" --console=passive --resolv-conf=off \
    --machine="$prefix" --bind-ro="$debs:/mnt/debs" >"$artifacts/nspawn.txt" 2>&1 &
nspawn_pid=$!
# nspawn forks a helper first, which starts the container's init and ends:
# the init is the child named systemd.
for _ in $(seq 300); do
    init_pid=$( (ps -o pid=,comm= --ppid "$nspawn_pid" || true) | awk '$2 == "systemd" {print $1}')
    [[ -n "$init_pid" ]] && break
    sleep 0.1
done
[[ -n "$init_pid" ]] || { cat "$artifacts/nspawn.txt"; echo "FAILED: the container did not start" >&2; exit 1; }
inside() { nsenter -t "$init_pid" -a "$@"; }

check() { # check WHAT COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}

# Until its bus is up systemctl cannot ask; then "starting" until boot ends.
state=""
for _ in $(seq 240); do
    state=$(timeout 10 nsenter -t "$init_pid" -a systemctl is-system-running 2>/dev/null) || true
    [[ "$state" == running || "$state" == degraded || "$state" == maintenance ]] && break
    sleep 0.5
done
echo "container: $state after $((SECONDS - started)) s"
if [[ "$state" != running ]]; then
    inside systemctl --failed --no-pager >&2 || true
    echo "FAILED: the container did not reach running" >&2
    exit 1
fi

# --- Install and enable ------------------------------------------------------------------
check "dpkg -i varnock.deb inside" inside env DEBIAN_FRONTEND=noninteractive \
    dpkg -i /mnt/debs/varnock.deb >"$artifacts/dpkg.txt"
# The watch looks the lab's hosts up at start, so its record holds them
# without waiting for traffic.
inside mkdir -p /etc/systemd/system/varnock-watch@lab0.service.d
printf '[Service]\nEnvironment="VARNOCK_WATCH_OPTIONS=--every 1m 192.0.2.2 192.0.2.11"\n' |
    inside tee /etc/systemd/system/varnock-watch@lab0.service.d/lab.conf >/dev/null
inside systemctl daemon-reload
check "systemctl enable --now varnock-watch@lab0 varnock-web.socket" \
    timeout 60 nsenter -t "$init_pid" -a systemctl enable --now varnock-watch@lab0 varnock-web.socket

record=/var/lib/private/varnock-watch/lab0.json
holds_both() {
    inside grep -q '"02:1A:2B:3C:4D:5E"' "$record" 2>/dev/null &&
        inside grep -q '"02:1A:2B:00:00:11"' "$record" 2>/dev/null
}
until_record() { for _ in $(seq 60); do holds_both && return 0; sleep 0.5; done; return 1; }
check "the watch's record holds both lab hosts" until_record

fetch() { inside curl -fsS --max-time 20 "$@"; }
fetch http://127.0.0.1:8841/api/v1/devices >"$artifacts/devices.json" || true
fetch http://127.0.0.1:8841/ >"$artifacts/page.html" || true
fetch -g 'http://[::1]:8841/api/v1/records' >"$artifacts/records.json" || true
check "the API on 127.0.0.1:8841 lists both lab hosts" \
    grep -q '"hardware_address": *"02:1A:2B:00:00:11"' "$artifacts/devices.json"
check "the API names the lab hosts' addresses" \
    grep -q '"192.0.2.2"' "$artifacts/devices.json"
check "the page shows the device table with both hosts" \
    grep -q 'data-device="lab0/02:1A:2B:3C:4D:5E"' "$artifacts/page.html"
check "the API on [::1]:8841 reads the record, readable" \
    grep -q '"readable": *true' "$artifacts/records.json"
check "the link's own address 192.0.2.1 is not listened on (127.0.0.1 is)" \
    bash -c "nsenter -t $init_pid -a curl -sS --max-time 5 -o /dev/null http://127.0.0.1:8841/ &&
        ! nsenter -t $init_pid -a curl -sS --max-time 5 -o /dev/null http://192.0.2.1:8841/ 2>/dev/null"

# --- The web service's identity and sandbox ----------------------------------------------------
web_pid=$(inside systemctl show -p MainPID --value varnock-web.service)
web_uid=$(inside systemctl show -p UID --value varnock-web.service)
check "varnock-web.service runs (pid $web_pid)" test "${web_pid:-0}" -gt 0
check "as a dynamic user (uid $web_uid in 61184-65519)" \
    test "${web_uid:-0}" -ge 61184 -a "${web_uid:-0}" -le 65519
status=$(inside cat "/proc/$web_pid/status" 2>/dev/null || true)
field() { sed -n "s/^$1:\s*//p" <<<"$status"; }
check "with no capability (CapEff, CapPrm, CapBnd all 0)" test \
    "$(field CapEff)$(field CapPrm)$(field CapBnd)" = 000000000000000000000000000000000000000000000000
check "and no new privileges" test "$(field NoNewPrivs)" = 1
group=$(inside getent group varnock-watch | cut -d: -f3)
check "in the group varnock-watch (gid $group), as a supplementary group" \
    bash -c "[[ -n '$group' && ' $(field Groups) ' == *' $group '* ]]"
web_ns() { inside nsenter -t "$web_pid" -m -- "$@"; }
check "it sees only the watches' folder in /var/lib" \
    test "$(web_ns ls -A /var/lib | tr '\n' ' ')" = "varnock-watch "
check "mounted read-only there" \
    bash -c "nsenter -t $init_pid -a nsenter -t $web_pid -m -- findmnt -no OPTIONS /var/lib/varnock-watch | grep -qE '(^|,)ro(,|$)'"

# --- Nobody but the watch writes the record -------------------------------------------------
check "the record is the watch's, readable by its group only (640, varnock-watch's)" \
    test "$(inside stat -c '%a %U %G' "$record")" = "640 varnock-watch varnock-watch"
check "its folder lets the group read, not write (750)" \
    test "$(inside stat -c '%a %U %G' /var/lib/private/varnock-watch)" = "750 varnock-watch varnock-watch"
# As the web service's own user and groups, with no capability: inside its
# namespace, and in the container's (where only the file's mode stops it).
as_web=(setpriv "--reuid=$web_uid" "--regid=$web_uid" "--groups=$group"
    --bounding-set=-all --inh-caps=-all --no-new-privs)
# Each attempt first proves it runs where and as whom it should (the record
# is readable there), so that a wrong context cannot pass for a refusal.
records=/var/lib/varnock-watch
as_web_in_its_namespace() {
    web_ns "${as_web[@]}" sh -c "test -r $records/lab0.json && $1"
}
check "as the web service, in its namespace, the record is read" \
    as_web_in_its_namespace "grep -q 02:1A:2B:3C:4D:5E $records/lab0.json"
check "as the web service, in its namespace, the record cannot be written" \
    as_web_in_its_namespace "! (echo x >>$records/lab0.json) 2>/dev/null"
check "nor a file made beside it" \
    as_web_in_its_namespace "! (: >$records/new.json) 2>/dev/null"
# Outside it, the folder bound writable where the web's user may reach it:
# now only the modes the watch gave stop the write, and let the read.
as_web_outside() {
    inside unshare -m sh -c 'mkdir -p /run/records && mount --bind "$0" /run/records &&
        exec "$@"' /var/lib/private/varnock-watch "${as_web[@]}" \
        sh -c "test -r /run/records/lab0.json && $1"
}
check "as the web's user outside its namespace, the record is read (group)" \
    as_web_outside 'grep -q 02:1A:2B:3C:4D:5E /run/records/lab0.json'
check "but cannot be written" as_web_outside '! (echo x >>/run/records/lab0.json) 2>/dev/null'
check "nor replaced" as_web_outside '! (: >/run/records/lab0.json.new) 2>/dev/null'
check "and the record is still the watch's JSON" \
    bash -c "nsenter -t $init_pid -a tail -c 3 $record | grep -q '}'"

check "no unit failed" test -z "$(inside systemctl --failed --no-legend --plain)"
echo "systemd test took $((SECONDS - started)) s; $failures failed"
((failures == 0))
