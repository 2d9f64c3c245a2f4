#!/usr/bin/env bash
# The installed program on a real X server (Xvfb) under a real window manager
# (openbox), driven from outside with xdotool and looked at in screenshots, as
# a person would use it: the window, its title strip, the drag, the close
# label's light, the maker link and the close label's click.
#
#   desktop_test.sh CMAKE BUILD_DIR ARTIFACT_DIR FORM_POINTS
#
# Installs BUILD_DIR into a temporary prefix and tests that program
# (VARNOCK_PROGRAM=/path/to/varnock tests that one instead). The screenshots
# stay in ARTIFACT_DIR. The window's places and colours come from
# FORM_POINTS, the file write_form_points made of its description. The maker link reaches a stand-in browser only, and
# the Get button is never pressed. Every wait has a deadline: a display or
# window manager that does not come up fails the test rather than hanging it.
set -euo pipefail

# shellcheck source=tests/desktop/x_desktop.sh
source "$(dirname "$(realpath "$0")")/x_desktop.sh"

readonly CONVERT=/usr/bin/convert  # another convert may come first on PATH
readonly IMPORT=/usr/bin/import
readonly MAKER_WEB_PAGE=https://www.orbelund.example

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
note() { echo "-- $*"; }

(($# == 4)) || fail "usage: $0 CMAKE BUILD_DIR ARTIFACT_DIR FORM_POINTS"
cmake_command=$1
build_dir=$2
artifacts=$3
# shellcheck source=/dev/null
source "$4" || fail "cannot read the window's points from $4"

for tool in Xvfb openbox xdotool xdpyinfo xprop xwininfo timeout "$IMPORT" "$CONVERT"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/dev.sh installs it)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-desktop.XXXXXX")
xvfb_pid='' wm_pid='' program_pid=''
cleanup() {
    stop_processes "$program_pid" "$wm_pid" "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT

# --- the program under test ------------------------------------------------

if [[ -n "${VARNOCK_PROGRAM:-}" ]]; then
    program=$VARNOCK_PROGRAM
else
    timeout 60 "$cmake_command" --install "$build_dir" --prefix "$work/prefix" >/dev/null ||
        fail "cmake --install $build_dir failed"
    program=$work/prefix/bin/varnock
fi
[[ -x "$program" ]] || fail "no program at $program"
note "program: $program"

# --- display and window manager ----------------------------------------------

start_x_desktop
note "display $DISPLAY"

# --- start the program with a stand-in browser ------------------------------

make_stand_in_browser

# The pointer starts away from where the window may appear.
xdotool mousemove 1000 740

# In a sanitizer build a leak report would change the exit status; the
# suppressions cover what the system's libraries keep.
lsan_options="suppressions=$(dirname "$(realpath "$0")")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
PATH="$work/bin:$PATH" BROWSER="$work/bin/xdg-open" QT_QPA_PLATFORM=xcb \
    XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY='' LSAN_OPTIONS="$lsan_options" \
    "$program" >"$work/program.log" 2>&1 &
program_pid=$!

no_window() {
    local state=ended
    kill -0 "$program_pid" 2>/dev/null && state=running
    fail "no window named Varnock within 10s (program $state): $(cat "$work/program.log")
$(xwininfo -root -tree 2>&1 | head -n 30)"
}
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Varnock$') || no_window
window=${window%%$'\n'*}
note "window $window"


# --- look at it ----------------------------------------------------------------

mkdir -p "$artifacts"
# The first paint can follow the map by a moment.
expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip"

read -r width height < <(window_size)
size="$WINDOW_WIDTH x $WINDOW_HEIGHT"
[[ "$width x $height" == "$size" ]] || fail "window is $width x $height, not $size"
extents=$(xprop -id "$window" _NET_FRAME_EXTENTS)
[[ "$extents" == *"= 0, 0, 0, 0" ]] || fail "window has a frame: $extents"
note "borderless, $width x $height"

"$IMPORT" -silent -window root "$artifacts/window.png"
note "screenshot: $artifacts/window.png"
expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip"
expect_pixel "$TITLE_END_X" "$TITLE_END_Y" "$TITLE_COLOUR" "title strip at the right edge"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_COLOUR" "close label at rest"
expect_pixel "$BARE_X" "$BARE_Y" "$BACKGROUND" "background"
expect_pixel "$BOTTOM_LINE_X" "$BOTTOM_LINE_Y" "$BOTTOM_LINE_COLOUR" "bottom frame line"

# --- drag it by its title --------------------------------------------------

# The window manager moves the window by exactly what the pointer moved.
drag_window_from "$TITLE_X" "$TITLE_Y"
note "dragged by (-100, -80) to $(window_origin)"
expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip after the drag"

# --- the close label lights up under the mouse -------------------------------

hover "$CLOSE_X" "$CLOSE_Y"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_LIT_COLOUR" "close label under the mouse"
"$IMPORT" -silent -window root "$artifacts/close-label-lit.png"
note "screenshot: $artifacts/close-label-lit.png"
hover "$TITLE_X" "$TITLE_Y"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_COLOUR" "close label after a move onto the title"

# --- the maker link ------------------------------------------------------------

hover "$LOGO_X" "$LOGO_Y"
xdotool click 1
wait_for 15 "request to the stand-in browser" test -s "$work/browser-requests"
sleep 0.2  # a second, unwanted request would show up by now
# Exactly one request, with the address as its only argument.
printf '%s\n\n' "$MAKER_WEB_PAGE" | cmp -s - "$work/browser-requests" ||
    fail "the browser was asked for: $(cat -A "$work/browser-requests")"
visible=$(xdotool search --onlyvisible --pid "$program_pid" | wc -l)
((visible == 1)) || fail "the link click left $visible visible windows (a message?)"
note "the logo asked the browser for $MAKER_WEB_PAGE"

# --- the close label ends the program ------------------------------------------

kill -0 "$program_pid" 2>/dev/null || fail "the program ended early: $(cat "$work/program.log")"
hover "$CLOSE_X" "$CLOSE_Y"
clicked=$(date +%s%N)
xdotool click 1
while kill -0 "$program_pid" 2>/dev/null; do
    (($(date +%s%N) - clicked < 10000000000)) || fail "the program still runs 10s after the close click"
    sleep 0.01
done
ended=$(date +%s%N)
status=0
wait "$program_pid" || status=$?
program_pid=''
((status == 0)) || fail "the program ended with status $status: $(cat "$work/program.log")"
note "the close label ended the program with status 0 after $(((ended - clicked) / 1000000)) ms"
echo "PASS"
