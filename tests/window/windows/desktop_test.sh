#!/usr/bin/env bash
# The Win32 window under wine64 on a real X server (Xvfb) under a real window
# manager (openbox), driven from outside with xdotool and looked at in
# screenshots, as a person would use it. form_probe, a Windows program run in
# the same prefix, reads what the X server cannot tell: window classes, texts,
# the keyboard focus and the message box's parts.
#
#   desktop_test.sh VARNOCK_EXE FORM_PROBE_EXE ARTIFACT_DIR WINEPREFIX_DIR
#
# WINEPREFIX_DIR is this test's own prefix, made on the first run (~7 s,
# ~700 MB) and kept: its wineserver is bound to this run's display, so it is
# started here and stopped on exit. The screenshots stay in ARTIFACT_DIR. Get
# is pressed: under wine SendARP answers "not supported" at once and sends
# nothing. The maker link reaches a stand-in browser only. Every wait has a
# deadline. Exits 77 (skipped) when wine64, Xvfb, openbox or xdotool is
# missing.
set -euo pipefail

# shellcheck source=tests/desktop/x_desktop.sh
source "$(dirname "$(realpath "$0")")/../../desktop/x_desktop.sh"

readonly CONVERT=/usr/bin/convert  # another convert may come first on PATH
readonly IMPORT=/usr/bin/import
readonly MAKER_WEB_PAGE=https://www.orbelund.example
: "${WINE:=/usr/lib/wine/wine64}"
: "${WINESERVER:=/usr/lib/wine/wineserver}"

# Colours of the window, as a screenshot shows them (red,green,blue).
readonly NAVY=0,0,128
readonly LIGHT_GREEN=112,241,183
readonly WHITE=255,255,255
readonly LIGHT_BLUE=233,237,254
readonly FRAME_BLUE=192,192,255
readonly GREY=128,128,128

# Places on the window at 96 dpi, in pixels from its top left corner.
readonly TITLE_X=200 TITLE_Y=10          # on Label1, clear of the icon and the X
readonly CLOSE_X=358 CLOSE_Y=9           # the middle of Label3
readonly CLOSE_INSIDE_X=351 CLOSE_INSIDE_Y=3  # inside Label3's border, beside the X
readonly BARE_X=200 BARE_Y=27            # the bare surface below the title strip
readonly IP_X=229 IP_Y=48                # the middle of txtIp
readonly GET_X=342 GET_Y=46              # the middle of Command1
readonly LOGO_X=340 LOGO_Y=102           # on Picture1

# What the probe sees of the form and its child windows right after start.
readonly FORM_AT_START='window 0 0 372 232 client 372 232 popup visible'
readonly CONTROLS_AT_START='Edit 144 38 171 21 focus "0.0.0.0"
Edit 9 92 306 23 - ""
Button 326 34 33 24 - "Get"
VarnockPictureBox 323 88 36 30 - ""
VarnockPictureBox 55 170 20 29 - ""'
readonly TYPED_ADDRESS=192.0.2.1  # a documentation address
readonly BOX='owner VarnockForm1 "Varnock"
prompt "ERROR : Remote MAC Cannot be Harvested"
icon stop
button 1 "OK"'

note() { echo "-- $*"; }
skip() {
    echo "SKIP: $*"
    exit 77
}

for tool in "$WINE" "$WINESERVER" Xvfb openbox xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

(($# == 4)) || { echo "usage: $0 VARNOCK_EXE FORM_PROBE_EXE ARTIFACT_DIR WINEPREFIX_DIR" >&2; exit 2; }
program=$1
probe=$2
artifacts=$3
export WINEPREFIX=$4
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$artifacts"
rm -f "$artifacts/failure.png"  # from an earlier run
work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-win32-desktop.XXXXXX")
xvfb_pid='' wm_pid='' program_pid='' wine_started='' dpi_changed=''

fail() {
    echo "FAIL: $*" >&2
    # What the screen showed at the failure, while there is one.
    if [[ -n "$xvfb_pid" ]]; then
        "$IMPORT" -silent -window root "$artifacts/failure.png" 2>/dev/null &&
            echo "screenshot: $artifacts/failure.png" >&2
    fi
    exit 1
}

for tool in xdpyinfo xprop xwininfo timeout "$IMPORT" "$CONVERT"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/dev.sh installs it)"
done
[[ -f "$program" ]] || fail "no program at $program"
[[ -f "$probe" ]] || fail "no probe at $probe"

cleanup() {
    local pid
    if [[ -n "$program_pid" ]]; then kill "$program_pid" 2>/dev/null || true; fi
    if [[ -n "$wine_started" ]]; then
        # A run stopped half way must not leave the next one at 144 dpi.
        if [[ -n "$dpi_changed" ]]; then
            timeout 20 "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
                /t REG_DWORD /d 96 /f </dev/null >/dev/null 2>&1 || true
        fi
        stop_wine
    fi
    for pid in "$wm_pid" "$xvfb_pid"; do
        if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
    done
    for pid in "$program_pid" "$wm_pid" "$xvfb_pid"; do
        if [[ -n "$pid" ]]; then wait "$pid" 2>/dev/null || true; fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

note "program: $program"

# --- display and window manager ----------------------------------------------

start_x_desktop
note "display $DISPLAY"

# --- wine on this display, with a stand-in browser -----------------------------

# wine's browser goes by PATH, and every wine process here inherits this one.
make_stand_in_browser
export PATH="$work/bin:$PATH"

# A server left over from an earlier run is bound to a display that is gone.
stop_wine() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    timeout 10 "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
}
# A persistent server, and the prefix's services booted with nothing
# inherited: started by a program whose output the script reads, they would
# hold that pipe open for as long as they run.
start_wine() {
    local start=$SECONDS
    wine_started=yes
    mkdir -p "$WINEPREFIX"  # the server needs it; wineboot fills it on the first run
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 || fail "wineserver does not start"
    timeout 60 "$WINE" wineboot </dev/null >"$work/wineboot.log" 2>&1 ||
        fail "wineboot failed: $(cat "$work/wineboot.log")"
    # The desktop process starts with the first window; not from the probe.
    timeout 20 "$WINE" "$probe" dpi </dev/null >"$work/first-probe.log" 2>&1 ||
        fail "the probe does not run: $(cat "$work/first-probe.log")"
    note "wine ready in $((SECONDS - start)) s"
}

# Runs the probe and keeps what it printed in `probed`. Not in a command
# substitution, where a failure would end only the subshell; and through a
# file, so that nothing the probe starts can hold a pipe of this script.
probed=''
probe() {
    if ! timeout 30 "$WINE" "$probe" "$@" </dev/null >"$work/probe.out" 2>"$work/probe.err"; then
        fail "form_probe $*: $(cat "$work/probe.err" "$work/probe.out")"
    fi
    probed=$(cat "$work/probe.out")
}

# Fails unless `seen` is `wanted`, showing both.
expect_text() {
    local seen=$1 wanted=$2 what=$3
    [[ "$seen" == "$wanted" ]] || fail "$what:
--- seen
$seen
--- wanted
$wanted"
}

# Sets the dots per inch of the prefix; the next server takes them.
set_dpi() {
    timeout 20 "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        </dev/null >"$work/reg.log" 2>&1 || fail "cannot set LogPixels: $(cat "$work/reg.log")"
    stop_wine
    start_wine
}

note "prefix $WINEPREFIX"
stop_wine
start_wine
probe dpi
if [[ "$probed" != "dpi 96 96" ]]; then
    note "the prefix was left at $probed; back to 96"
    dpi_changed=yes
    set_dpi 96
    probe dpi
    expect_text "$probed" "dpi 96 96" "dots per inch after setting 96"
    dpi_changed=''
fi

# --- start the program -----------------------------------------------------------

# The pointer starts away from where the window will appear.
xdotool mousemove 1000 740

start_program() {
    "$WINE" "$program" </dev/null >"$work/program.log" 2>&1 &
    program_pid=$!
    window=$(timeout 15 xdotool search --sync --onlyvisible --name '^Varnock$') || {
        local state=ended
        kill -0 "$program_pid" 2>/dev/null && state=running
        fail "no window named Varnock within 15s (program $state): $(cat "$work/program.log")
$(xwininfo -root -tree 2>&1 | head -n 30)"
    }
    window=${window%%$'\n'*}
}

# Waits up to 15 s for the program to end; fails unless it ended with status 0.
expect_clean_end() {
    local what=$1 since=$2 status=0
    while kill -0 "$program_pid" 2>/dev/null; do
        (($(date +%s%N) - since < 15000000000)) || fail "the program still runs 15s after $what"
        sleep 0.01
    done
    local ended
    ended=$(date +%s%N)
    wait "$program_pid" || status=$?
    program_pid=''
    ((status == 0)) || fail "the program ended with status $status after $what: $(cat "$work/program.log")"
    note "$what ended the program with status 0 after $(((ended - since) / 1000000)) ms"
}

start_program
note "window $window"

# Fails if the pixel (x, y) of the window shows anything but `colour` during
# the next half second.
expect_pixel_stays() {
    local x=$1 y=$2 colour=$3 what=$4 until_ns seen left top
    read -r left top < <(window_origin)
    until_ns=$(($(date +%s%N) + 500000000))
    while (($(date +%s%N) < until_ns)); do
        seen=$(screen_pixel $((left + x)) $((top + y)))
        [[ "$seen" == "$colour" ]] || fail "$what: pixel ($x, $y) of the window is $seen, not $colour"
        sleep 0.05
    done
}

screenshot() {
    "$IMPORT" -silent -window root "$artifacts/$1"
    note "screenshot: $artifacts/$1"
}

# --- look at it ----------------------------------------------------------------

# The first paint can follow the map by a moment.
expect_pixel "$TITLE_X" 3 "$NAVY" "title strip"
read -r width height < <(window_size)
[[ "$width x $height" == "372 x 232" ]] || fail "window is $width x $height, not 372 x 232"
extents=$(xprop -id "$window" _NET_FRAME_EXTENTS)
[[ "$extents" == *"= 0, 0, 0, 0" ]] || fail "window has a frame: $extents"
expect_origin 0 0 "at start (the system's default place)"
probe window
expect_text "$probed" "$FORM_AT_START" "the form as Windows sees it"
note "borderless, $width x $height at $(window_origin)"

screenshot window.png
expect_pixel "$TITLE_X" 3 "$NAVY" "title strip"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$LIGHT_GREEN" "close label at rest"
expect_pixel "$BARE_X" "$BARE_Y" "$LIGHT_BLUE" "background"
expect_pixel 1 100 "$FRAME_BLUE" "left frame line"
expect_pixel 370 100 "$FRAME_BLUE" "right frame line"
expect_pixel 186 229 "$FRAME_BLUE" "bottom frame line"
expect_pixel 100 158 "$GREY" "separator"
expect_pixel 328 37 "$WHITE" "face of the Get button"
note "title, close label, background, frame lines, separator and Get button in their colours"

probe controls
# In any z-order.
expect_text "$(LC_ALL=C sort <<<"$probed")" "$(LC_ALL=C sort <<<"$CONTROLS_AT_START")" \
    "child windows at start (class, x y w h, focus, text)"
note "child windows, start-up texts and focus as expected"

# --- Get ---------------------------------------------------------------------------

# A real address in place of 0.0.0.0, typed as a person would.
hover "$IP_X" "$IP_Y"
xdotool click 1 sleep 0.1 key End shift+Home sleep 0.1 type --delay 20 "$TYPED_ADDRESS"
deadline=$((SECONDS + 15))
while probe controls && ! grep -qx "Edit 144 38 171 21 focus \"$TYPED_ADDRESS\"" <<<"$probed"; do
    ((SECONDS < deadline)) || fail "txtIp does not read $TYPED_ADDRESS after typing:
$probed"
    sleep 0.1
done
hover "$GET_X" "$GET_Y"
xdotool click 1
probe box 10
expect_text "$probed" "$BOX" "the message box after Get"
screenshot message-box.png
probe close-box
probe popups
expect_text "$probed" 'VarnockForm1 "Varnock"' "visible windows after the message box"
probe controls
grep -qx 'Edit 9 92 306 23 - ""' <<<"$probed" || fail "txtMAC is not empty after a failed lookup:
$probed"
note "Get on $TYPED_ADDRESS: the Orbelund box with its stop icon and OK, closed; txtMAC empty"

# --- drag it by its title ----------------------------------------------------------

# The window manager moves the window by exactly what the pointer moved.
drag_window_from "$TITLE_X" "$TITLE_Y"
left=400 top=300
# And Windows learns where it went.
moved="window $((left - 100)) $((top - 80)) 372 232 client 372 232 popup visible"
deadline=$((SECONDS + 15))
while probe window && [[ "$probed" != "$moved" ]]; do
    ((SECONDS < deadline)) || fail "after the drag Windows has the window at: $probed"
    sleep 0.1
done
note "dragged by (-100, -80) to $(window_origin)"
expect_pixel "$TITLE_X" 3 "$NAVY" "title strip after the drag"

# --- the close label lights up under the mouse -------------------------------

hover "$CLOSE_X" "$CLOSE_Y"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$WHITE" "close label under the mouse"
screenshot close-label-lit.png
hover "$GET_X" "$GET_Y"
expect_pixel_stays "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$WHITE" "close label with the mouse on Get"
hover "$BARE_X" "$BARE_Y"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$LIGHT_GREEN" "close label after a move onto the bare window"
note "the close label lights under the mouse, stays lit over Get, goes out over the bare window"

# --- the maker link ------------------------------------------------------------

hover "$LOGO_X" "$LOGO_Y"
probe tip 5
expect_text "$probed" "tip \"Visit Developer's Website\"" "the logo's tooltip"
xdotool click 1
wait_for 15 "request to the stand-in browser" test -s "$work/browser-requests"
sleep 1  # a second, unwanted request would show up by now
# Exactly one request, with the address as its only argument; wine adds a
# slash to an address that has no path.
requests=$(cat "$work/browser-requests")
[[ "$requests" == "$MAKER_WEB_PAGE/" || "$requests" == "$MAKER_WEB_PAGE" ]] ||
    fail "the browser was asked for: $(cat -A "$work/browser-requests")"
probe popups
expect_text "$probed" 'VarnockForm1 "Varnock"' "visible windows after the logo click"
note "the logo asked the browser for $requests"

# --- the close label ends the program ------------------------------------------

kill -0 "$program_pid" 2>/dev/null || fail "the program ended early: $(cat "$work/program.log")"
hover "$CLOSE_X" "$CLOSE_Y"
clicked=$(date +%s%N)
xdotool click 1
expect_clean_end "the close label's click" "$clicked"

# --- again at 144 dpi ---------------------------------------------------------------

dpi_changed=yes
set_dpi 144
probe dpi
expect_text "$probed" "dpi 144 144" "dots per inch after setting 144"
start_program
expect_pixel 300 4 "$NAVY" "title strip at 144 dpi"
read -r width height < <(window_size)
[[ "$width x $height" == "558 x 348" ]] || fail "at 144 dpi the window is $width x $height, not 558 x 348"
probe window
expect_text "$probed" "window 0 0 558 348 client 558 348 popup visible" \
    "the form at 144 dpi as Windows sees it"
screenshot window-144dpi.png
note "at 144 dpi: $width x $height, title strip navy"
hover $((CLOSE_X * 3 / 2)) $((CLOSE_Y * 3 / 2))
clicked=$(date +%s%N)
xdotool click 1
expect_clean_end "the close label's click at 144 dpi" "$clicked"
set_dpi 96
dpi_changed=''
probe dpi
expect_text "$probed" "dpi 96 96" "dots per inch after going back to 96"

echo "PASS"
