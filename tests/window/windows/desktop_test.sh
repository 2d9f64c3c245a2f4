#!/usr/bin/env bash
# The Win32 window under wine64 on a real X server (Xvfb) under a real window
# manager (openbox), driven from outside with xdotool and looked at in
# screenshots, as a person would use it. form_probe, a Windows program run in
# the same prefix, reads what the X server cannot tell: window classes, texts,
# the keyboard focus and the message box's parts.
#
#   desktop_test.sh VARNOCK_EXE FORM_PROBE_EXE WRITE_FORM_POINTS_EXE ARTIFACT_DIR WINEPREFIX_DIR
#
# WINEPREFIX_DIR is this test's own prefix, made on the first run (~7 s,
# ~700 MB) and kept: its wineserver is bound to this run's display, so it is
# started here and stopped on exit. The window's places and colours come
# from its description, through write_form_points. The screenshots stay in
# ARTIFACT_DIR. Get is pressed: under wine SendARP answers "not supported" at
# once and sends nothing. The maker link reaches a stand-in browser only.
# Every wait has a deadline. Exits 77 (skipped) when wine64, Xvfb, openbox or
# xdotool is missing.
set -euo pipefail

# shellcheck source=tests/window/windows/wine_desktop.sh
source "$(dirname "$(realpath "$0")")/wine_desktop.sh"

readonly MAKER_WEB_PAGE=https://www.orbelund.example
readonly TYPED_ADDRESS=192.0.2.1  # a documentation address

(($# == 5)) || {
    echo "usage: $0 VARNOCK_EXE FORM_PROBE_EXE WRITE_FORM_POINTS_EXE ARTIFACT_DIR WINEPREFIX_DIR" >&2
    exit 2
}
program=$1
probe_exe=$2
points_exe=$3
artifacts=$4
export WINEPREFIX=$5

mkdir -p "$artifacts"
rm -f "$artifacts/failure.png"  # from an earlier run
work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-win32-desktop.XXXXXX")
dpi_changed=''
for file in "$program" "$probe_exe" "$points_exe"; do
    [[ -f "$file" ]] || fail "no program at $file"
done

cleanup() {
    # A run stopped half way must not leave the next one at 144 dpi.
    if [[ -n "$wine_started" && -n "$dpi_changed" ]]; then
        timeout 20 "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
            /t REG_DWORD /d 96 /f </dev/null >/dev/null 2>&1 || true
    fi
    wine_desktop_cleanup
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
read_form_points 96

# What the probe sees of the form and its child windows right after start.
form_at_start="window 0 0 $WINDOW_WIDTH $WINDOW_HEIGHT client $WINDOW_WIDTH $WINDOW_HEIGHT popup visible"
controls_at_start="Edit $IP_BOX focus \"0.0.0.0\"
Edit $MAC_BOX - \"\"
Button $GET_BOX - \"Get\"
VarnockPictureBox $LOGO_BOX - \"\"
VarnockPictureBox $RIBBON_BOX - \"\""

# --- start the program -----------------------------------------------------------

# The pointer starts away from where the window will appear.
xdotool mousemove 1000 740

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

start_program "$program"
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
expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip"
read -r width height < <(window_size)
size="$WINDOW_WIDTH x $WINDOW_HEIGHT"
[[ "$width x $height" == "$size" ]] || fail "window is $width x $height, not $size"
extents=$(xprop -id "$window" _NET_FRAME_EXTENTS)
[[ "$extents" == *"= 0, 0, 0, 0" ]] || fail "window has a frame: $extents"
expect_origin 0 0 "at start (the system's default place)"
probe window
expect_text "$probed" "$form_at_start" "the form as Windows sees it"
note "borderless, $width x $height at $(window_origin)"

screenshot window.png
expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip"
expect_pixel "$TITLE_END_X" "$TITLE_END_Y" "$TITLE_COLOUR" "title strip at the right edge"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_COLOUR" "close label at rest"
expect_pixel "$BARE_X" "$BARE_Y" "$BACKGROUND" "background"
expect_pixel "$LEFT_LINE_X" "$LEFT_LINE_Y" "$LEFT_LINE_COLOUR" "left frame line"
expect_pixel "$RIGHT_LINE_X" "$RIGHT_LINE_Y" "$RIGHT_LINE_COLOUR" "right frame line"
expect_pixel "$BOTTOM_LINE_X" "$BOTTOM_LINE_Y" "$BOTTOM_LINE_COLOUR" "bottom frame line"
expect_pixel "$SEPARATOR_X" "$SEPARATOR_Y" "$SEPARATOR_COLOUR" "separator"
expect_pixel "$GET_FACE_X" "$GET_FACE_Y" "$GET_FACE_COLOUR" "face of the Get button"
note "title, close label, background, frame lines, separator and Get button in their colours"

probe controls
# In any z-order.
expect_text "$(LC_ALL=C sort <<<"$probed")" "$(LC_ALL=C sort <<<"$controls_at_start")" \
    "child windows at start (class, x y w h, focus, text)"
note "child windows, start-up texts and focus as expected"

# --- Get ---------------------------------------------------------------------------

# A real address in place of 0.0.0.0.
type_address "$TYPED_ADDRESS"
hover "$GET_X" "$GET_Y"
xdotool click 1
probe box 10
expect_text "$probed" "$BOX" "the message box after Get"
screenshot message-box.png
probe close-box
probe popups
expect_text "$probed" 'VarnockForm1 "Varnock"' "visible windows after the message box"
probe controls
grep -qxF "Edit $MAC_BOX - \"\"" <<<"$probed" || fail "txtMAC is not empty after a failed lookup:
$probed"
note "Get on $TYPED_ADDRESS: the Orbelund box with its stop icon and OK, closed; txtMAC empty"

# --- drag it by its title ----------------------------------------------------------

# The window manager moves the window by exactly what the pointer moved.
drag_window_from "$TITLE_X" "$TITLE_Y"
left=400 top=300
# And Windows learns where it went.
moved="window $((left - 100)) $((top - 80)) $WINDOW_WIDTH $WINDOW_HEIGHT client $WINDOW_WIDTH $WINDOW_HEIGHT popup visible"
deadline=$((SECONDS + 15))
while probe window && [[ "$probed" != "$moved" ]]; do
    ((SECONDS < deadline)) || fail "after the drag Windows has the window at: $probed"
    sleep 0.1
done
note "dragged by (-100, -80) to $(window_origin)"
expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip after the drag"

# --- the close label lights up under the mouse -------------------------------

hover "$CLOSE_X" "$CLOSE_Y"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_LIT_COLOUR" "close label under the mouse"
screenshot close-label-lit.png
hover "$GET_X" "$GET_Y"
expect_pixel_stays "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_LIT_COLOUR" "close label with the mouse on Get"
hover "$BARE_X" "$BARE_Y"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_COLOUR" "close label after a move onto the bare window"
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
read_form_points 144
start_program "$program"
expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip at 144 dpi"
read -r width height < <(window_size)
size="$WINDOW_WIDTH x $WINDOW_HEIGHT"
[[ "$width x $height" == "$size" ]] || fail "at 144 dpi the window is $width x $height, not $size"
probe window
expect_text "$probed" "window 0 0 $WINDOW_WIDTH $WINDOW_HEIGHT client $WINDOW_WIDTH $WINDOW_HEIGHT popup visible" \
    "the form at 144 dpi as Windows sees it"
screenshot window-144dpi.png
note "at 144 dpi: $width x $height, title strip in its colour"
hover "$CLOSE_X" "$CLOSE_Y"
clicked=$(date +%s%N)
xdotool click 1
expect_clean_end "the close label's click at 144 dpi" "$clicked"
set_dpi 96
dpi_changed=''
probe dpi
expect_text "$probed" "dpi 96 96" "dots per inch after going back to 96"

echo "PASS"
