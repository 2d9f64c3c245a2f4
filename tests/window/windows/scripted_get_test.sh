#!/usr/bin/env bash
# The Win32 window's Get under wine64 with the scripted IP Helper beside the
# program (WINEDLLOVERRIDES=iphlpapi=n), on Xvfb under openbox: an address
# typed into txtIp, Get clicked, and what the window made of each scripted
# SendARP answer read back with form_probe: the address in txtMAC with its
# bytes in order, or the failure box and an empty txtMAC, for every row of
# the window's failure table.
#
#   scripted_get_test.sh VARNOCK_EXE FORM_PROBE_EXE WRITE_FORM_POINTS_EXE IP_HELPER_DLL WINEPREFIX_DIR
#
# Shares desktop_test.sh's prefix (ctest keeps them apart with a lock), and
# its setup (wine_desktop.sh). Exits 77 (skipped) when wine64, Xvfb, openbox
# or xdotool is missing.
set -euo pipefail

# shellcheck source=tests/window/windows/wine_desktop.sh
source "$(dirname "$(realpath "$0")")/wine_desktop.sh"

# What SendARP answers for each address (tests/support/windows/
# scripted_ip_helper.cpp reads it); every other address gets error 67.
readonly SCRIPT='arp 192.0.2.2 02:1a:2b:3c:4d:5e
arp 192.0.2.3 00:00:00:00:4d:5e
arp 192.0.2.4 02:1a:2b:3c:4d:5e length=0
arp 192.0.2.5 02:1a:2b:3c length=4
arp 192.0.2.6 - error=67
arp 192.0.2.7 - error=31
arp 192.0.2.8 - error=50
arp 192.0.2.9 02:1a:2b:3c:4d:5e:6f:70 length=8
arp 192.0.2.10 02:1a:2b:3c:4d:5e length=9
arp 192.0.2.11 fe:dc:ba:98:76:54 delay=300'

# typed text | what SendARP was asked (-: nothing) | txtMAC after Get, or
# "box". Every failure follows an address shown, so an emptied txtMAC shows.
readonly CASES='192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
192.0.2.3|SendARP 192.0.2.3 0.0.0.0 6|box
192.0.2.11|SendARP 192.0.2.11 0.0.0.0 6|FE:DC:BA:98:76:54
192.0.2.5|SendARP 192.0.2.5 0.0.0.0 6|
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
192.0.2.4|SendARP 192.0.2.4 0.0.0.0 6|box
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
192.0.2.6|SendARP 192.0.2.6 0.0.0.0 6|box
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
192.0.2.7|SendARP 192.0.2.7 0.0.0.0 6|box
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
192.0.2.8|SendARP 192.0.2.8 0.0.0.0 6|box
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
192.0.2.9|SendARP 192.0.2.9 0.0.0.0 6|box
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
192.0.2.10|SendARP 192.0.2.10 0.0.0.0 6|box
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
0.0.0.0|-|box
192.0.2.2|SendARP 192.0.2.2 0.0.0.0 6|02:1A:2B:3C:4D:5E
abc|SendARP 255.255.255.255 0.0.0.0 6|box'

(($# == 5)) || {
    echo "usage: $0 VARNOCK_EXE FORM_PROBE_EXE WRITE_FORM_POINTS_EXE IP_HELPER_DLL WINEPREFIX_DIR" >&2
    exit 2
}
probe_exe=$2
points_exe=$3
export WINEPREFIX=$5
work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-scripted-get.XXXXXX")
trap wine_desktop_cleanup EXIT

# The program with the stand-in beside it, where wine looks first.
mkdir -p "$work/program"
cp "$1" "$work/program/varnock.exe"
cp "$4" "$work/program/iphlpapi.dll"
printf '%s\n' "$SCRIPT" >"$work/script"
export VARNOCK_IP_HELPER_SCRIPT=$work/script VARNOCK_IP_HELPER_RECORD=$work/record
: >"$work/record"

start_x_desktop
stop_wine  # bound to an earlier display
start_wine
read_form_points 96

# Only the program gets the stand-in: the probe and wineboot keep wine's own.
WINEDLLOVERRIDES="iphlpapi=n;$WINEDLLOVERRIDES" start_program "$work/program/varnock.exe"

failures=0
while IFS='|' read -r typed asked shown; do
    : >"$work/record"
    type_address "$typed"
    hover "$GET_X" "$GET_Y"
    xdotool click 1
    if [[ "$shown" == box ]]; then
        probe box 10
        seen_box=$probed
        probe close-box
    else
        # The answer is in when txtMAC holds it, or after a second of an
        # empty txtMAC and no box.
        deadline=$((SECONDS + 15))
        while probe controls && ! grep -qxF "Edit $MAC_BOX - \"$shown\"" <<<"$probed"; do
            ((SECONDS < deadline)) || break
            sleep 0.1
        done
        [[ -n "$shown" ]] || sleep 1
        probe popups
        seen_box=$([[ "$probed" == 'VarnockForm1 "Varnock"' ]] || echo "$probed")
    fi
    probe controls
    mac=$(sed -n "s/^Edit $MAC_BOX [^ ]* \"\\(.*\\)\"\$/\\1/p" <<<"$probed")
    record=$(grep "^SendARP" "$work/record" || true)
    problems=()
    if [[ "$shown" == box ]]; then
        [[ "$seen_box" == "$BOX" ]] || problems+=("no failure box: $seen_box")
        [[ -z "$mac" ]] || problems+=("txtMAC reads \"$mac\" after a failure")
    else
        [[ -z "$seen_box" ]] || problems+=("a window besides the form: $seen_box")
        [[ "$mac" == "$shown" ]] || problems+=("txtMAC reads \"$mac\", not \"$shown\"")
    fi
    [[ "$record" == "${asked/#-/}" ]] || problems+=("SendARP was asked: ${record:-nothing}")
    if ((${#problems[@]} > 0)); then
        printf 'FAIL: %s: %s\n' "$typed" "${problems[@]}" >&2
        failures=$((failures + 1))
    else
        echo "ok: $typed -> ${shown:-(empty)}"
    fi
done <<<"$CASES"

kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
((failures == 0)) || fail "$failures of the cases"
echo "PASS"
