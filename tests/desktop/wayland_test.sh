#!/usr/bin/env bash
# The installed program on Wayland: headless sway inside the namespace lab,
# driven as a person would, through a virtual pointer (virtual_pointer, built
# beside this test) and wtype, looked at in grim's screenshots and through
# AT-SPI as a screen reader sees it.
#
#   wayland_test.sh CMAKE BUILD_DIR ARTIFACT_DIR VIRTUAL_POINTER FORM_POINTS
#
# FORM_POINTS is the file write_form_points made of the window's description:
# its places (in logical pixels) and colours.
# Outside the lab it installs BUILD_DIR into a temporary prefix and runs
# itself again inside tests/lab/run-in-lab.sh, where it is nobody (sway
# refuses root) and only the lab's documentation addresses exist: there Get
# looks up the lab's live host and its absent one. Three runs of the program:
#   1. the default theme: the window, its colours, the Get button's face and
#      focus, what AT-SPI tells, the drag, the close label, the maker link,
#      lookups of 192.0.2.2 and 192.0.2.77, the close label's click;
#   2. a dark theme (Adwaita-Dark): the texts' contrast on screen;
#   3. the output at scale 2: the window at twice the device pixels, its
#      lines and a picture.
# Exit status 77 (skipped) when the lab cannot be built, or when the lab is
# in a user namespace, where the test would be root and sway will not run.
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
note() { echo "-- $*"; }

(($# == 5)) || fail "usage: $0 CMAKE BUILD_DIR ARTIFACT_DIR VIRTUAL_POINTER FORM_POINTS"
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
# Debian's own: python3-pyatspi is installed for it, not for another python3 on PATH.
readonly PYTHON=/usr/bin/python3

for tool in sway swaymsg grim wtype wl-copy wl-paste dbus-daemon "$PYTHON" /usr/bin/convert; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/dev.sh installs it)"
done
"$PYTHON" -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is missing (tools/dev.sh installs it)"

# --- outside the lab: install, then run again inside it ----------------------

if [[ -z "${VARNOCK_LAB:-}" ]]; then
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/varnock-wayland.XXXXXX")
    trap 'rm -rf "$prefix"' EXIT
    timeout 60 "$1" --install "$2" --prefix "$prefix" >/dev/null || fail "cmake --install $2 failed"
    # Inside the lab the test is nobody: it reads the program, writes the
    # screenshots.
    chmod -R a+rX "$prefix"
    mkdir -p "$3"
    if (($(id -u) == 0)); then chown 65534:65534 "$3"; fi
    status=0
    VARNOCK_WAYLAND_PROGRAM=$prefix/bin/varnock "$root/tests/lab/run-in-lab.sh" "$0" "$@" ||
        status=$?
    exit "$status"
fi

# --- inside the lab ------------------------------------------------------------

if (($(id -u) == 0)); then
    echo "SKIP: the lab runs in a user namespace here, as root, and sway refuses root" >&2
    exit 77
fi
artifacts=$3
pointer=$4
program=${VARNOCK_WAYLAND_PROGRAM:?}
work=$XDG_RUNTIME_DIR  # the lab's own folder: private, mode 700, ours
[[ -O "$work" ]] || fail "XDG_RUNTIME_DIR $work is not ours"

# shellcheck source=/dev/null
source "$5" || fail "cannot read the window's points from $5"
readonly MAKER_WEB_PAGE=https://www.orbelund.example
readonly BLACK=0,0,0  # a flat control's border, the toolkit's own

sway_pid='' bus_pid='' program_pid=''
cleanup() {
    local pid
    for pid in "$program_pid" "$bus_pid" "$sway_pid"; do
        if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
    done
    for pid in "$program_pid" "$bus_pid" "$sway_pid"; do
        if [[ -n "$pid" ]]; then wait "$pid" 2>/dev/null || true; fi
    done
}
trap cleanup EXIT

wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || fail "no $what within ${seconds}s${program_pid:+ (program: $(cat "$work/program.log"))}"
        sleep 0.05
    done
}

# --- compositor and session bus -------------------------------------------------

cat >"$work/sway.config" <<EOF
output HEADLESS-1 resolution 1024x768
default_border none
EOF
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.config" >"$work/sway.log" 2>&1 &
sway_pid=$!
compositor_ready() { compgen -G "$work/wayland-*.lock" && compgen -G "$work/sway-ipc.*.sock"; }
wait_for 10 "Wayland display from sway ($(cat "$work/sway.log" 2>/dev/null | tail -n 3))" \
    compositor_ready
WAYLAND_DISPLAY=$(basename "$(compgen -G "$work/wayland-*.lock" | head -n1)" .lock)
SWAYSOCK=$(compgen -G "$work/sway-ipc.*.sock" | head -n1)
export WAYLAND_DISPLAY SWAYSOCK
unset DISPLAY
note "sway on $WAYLAND_DISPLAY"

# A session bus of our own, for AT-SPI (its bus launcher starts on demand).
dbus-daemon --session --nofork --print-address=3 3>"$work/bus-address" >/dev/null 2>&1 &
bus_pid=$!
wait_for 10 "session bus" test -s "$work/bus-address"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus-address")
export DBUS_SESSION_BUS_ADDRESS

# The stand-in browser writes down what it is asked to open.
mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$@" "" >>"$work/browser-requests"
EOF
chmod +x "$work/bin/xdg-open"

# --- helpers --------------------------------------------------------------------

# The output's size in logical pixels ("W H"): the extent of absolute moves.
screen_size=(1024 768)
point() { "$pointer" "${screen_size[@]}" "$@"; }

# Prints "X Y W H" of each window of the program, one line each.
program_windows() {
    swaymsg -t get_tree | "$PYTHON" -c '
import json, sys
def walk(node):
    if node.get("pid") == int(sys.argv[1]):
        r = node["rect"]
        print(r["x"], r["y"], r["width"], r["height"], node.get("border"), node.get("name"))
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))' "$program_pid"
}
left=0 top=0
locate() { read -r left top _ < <(program_windows | head -n1); }

# Asks a question (screen_region.py) about a region X Y W H of the window.
region() {
    local x=$1 y=$2 w=$3 h=$4
    shift 4
    grim -t ppm -g "$((left + x)),$((top + y)) ${w}x${h}" - | "$PYTHON" "$here/screen_region.py" "$@"
}
pixel() { region "$1" "$2" 1 1 colour; }

expect_pixel() {
    local x=$1 y=$2 colour=$3 what=$4 deadline=$((SECONDS + 15)) seen
    while true; do
        seen=$(pixel "$x" "$y")
        [[ "$seen" == "$colour" ]] && return 0
        ((SECONDS < deadline)) || fail "$what: pixel ($x, $y) of the window is $seen, not $colour"
        sleep 0.05
    done
}

# Moves onto (x, y) of the window in small steps, as a hand does.
approach() { echo to $((left + $1 - 2)) $((top + $2)) wait 50 by 1 0 wait 50 by 1 0; }
hover() { point $(approach "$1" "$2"); }
# hover_lights X Y COLOUR WHAT: moves onto (X, Y) until the close label shows
# COLOUR. A busy machine may lose a virtual pointer's moves as its client
# goes: a person would move the mouse again, and so does this, a few times.
hover_lights() {
    local x=$1 y=$2 colour=$3 what=$4 seen deadline
    for _ in 1 2 3 4; do
        hover "$x" "$y"
        deadline=$((SECONDS + 4))
        while ((SECONDS < deadline)); do
            seen=$(pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y")
            [[ "$seen" == "$colour" ]] && return 0
            sleep 0.05
        done
    done
    fail "$what: pixel ($CLOSE_INSIDE_X, $CLOSE_INSIDE_Y) of the window is $seen, not $colour"
}
# One virtual pointer for the approach and the click: a click from a virtual
# pointer created just for it reached no window here (measured with sway 1.7).
click_at() { point $(approach "$1" "$2") wait 50 click; }
centre_of() { echo $(($1 + $3 / 2)) $(($2 + $4 / 2)); }
# wtype drops the first key of a call that does not begin with a pause.
type_keys() { wtype -s 300 "$@"; }

# In a sanitizer build a leak report would change the exit status; the
# suppressions cover what the system's libraries keep.
# Full stacks (slow unwinding): the platform plugin's frames must show for the
# suppressions to find them.
lsan_options="suppressions=$here/lsan.supp:fast_unwind_on_malloc=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
start_program() {
    : >"$work/program.log"
    PATH="$work/bin:$PATH" BROWSER="$work/bin/xdg-open" QT_QPA_PLATFORM=wayland \
        QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LSAN_OPTIONS="$lsan_options" \
        "$@" "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    local deadline=$((SECONDS + 10))
    until [[ -n "$(program_windows)" ]]; do
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
        ((SECONDS < deadline)) || fail "no window within 10s: $(cat "$work/program.log")"
        sleep 0.05
    done
    locate
    # The first paint can follow the map by a moment.
    expect_pixel "$TITLE_X" "$TITLE_Y" "$TITLE_COLOUR" "title strip"
}

close_program() {
    click_at "$CLOSE_X" "$CLOSE_Y"
    local clicked=$SECONDS status=0
    while kill -0 "$program_pid" 2>/dev/null; do
        ((SECONDS - clicked <= 10)) || fail "the program still runs 10s after the close click"
        sleep 0.01
    done
    wait "$program_pid" || status=$?
    program_pid=''
    ((status == 0)) || fail "the program ended with status $status: $(cat "$work/program.log")"
}

# Reads a text box back the way a user would: select all, copy, paste.
box_text() {
    wl-copy --clear
    read -r x y < <(centre_of $1)
    click_at "$x" "$y"
    type_keys -M ctrl a c -m ctrl
    sleep 0.2
    wl-paste -n 2>/dev/null || true
}

# Types `text` into the address box in place of what it held, presses Get.
look_up() {
    read -r x y < <(centre_of $IP_BOX)
    click_at "$x" "$y"
    type_keys -M ctrl a -m ctrl "$1"
    read -r x y < <(centre_of $GET_BOX)
    click_at "$x" "$y"
}

# --- 1. the window as it appears -------------------------------------------------

point to 1023 767  # grim draws the pointer: keep it out of the way
start_program
read -r _ _ width height border _ < <(program_windows)
size="$WINDOW_WIDTH x $WINDOW_HEIGHT"
[[ "$width x $height" == "$size" ]] || fail "the window is $width x $height, not $size"
# sway draws nothing around a window that draws its own frame ("csd").
[[ "$border" == csd || "$border" == none ]] || fail "sway gave the window a border: $border"
# sway has no placement of its own for a new window: it centres a floating
# one on the output, where the user's eyes are, and it must be wholly there.
centred="$(((1024 - WINDOW_WIDTH) / 2)) $(((768 - WINDOW_HEIGHT) / 2))"
[[ "$left $top" == "$centred" ]] ||
    fail "the window appeared at ($left, $top), not centred at (${centred/ /, })"
note "borderless, $size, centred at ($left, $top)"

grim "$artifacts/wayland-window.png"
note "screenshot: $artifacts/wayland-window.png"
expect_pixel "$TITLE_END_X" "$TITLE_END_Y" "$TITLE_COLOUR" "title strip at the right edge"
expect_pixel "$CLOSE_INSIDE_X" "$CLOSE_INSIDE_Y" "$CLOSE_COLOUR" "close label at rest"
expect_pixel "$BARE_X" "$BARE_Y" "$BACKGROUND" "background"
expect_pixel "$BOTTOM_LINE_X" "$BOTTOM_LINE_Y" "$BOTTOM_LINE_COLOUR" "bottom frame line"
# The Get button: flat and square, its own face inside a black line.
read -r gx gy gw gh <<<"$GET_BOX"
expect_pixel "$GET_FACE_X" "$GET_FACE_Y" "$GET_FACE_COLOUR" "Get button's face"
expect_pixel "$gx" "$gy" "$BLACK" "Get button's top left corner"
expect_pixel $((gx + gw - 1)) $((gy + gh - 1)) "$BLACK" "Get button's bottom right corner"
unfocused=$(region $((gx + 3)) $((gy + 3)) $((gw - 6)) 1 contrast)
note "Get button: flat, white, square corners"

# --- what a screen reader learns ---------------------------------------------------

timeout 30 "$PYTHON" "$here/accessible_tree.py" Varnock 20 >"$artifacts/accessible-tree.txt" ||
    fail "AT-SPI: $(cat "$artifacts/accessible-tree.txt")"
tab=$'\t'
for expected in \
    "text${tab}Remote Ip Address${tab}" \
    "text${tab}Remote MAC Address${tab}" \
    "push button${tab}Get${tab}" \
    "link${tab}Orbelund website${tab}Visit Developer's Website" \
    "push button${tab}Close${tab}" \
    "image${tab}Red ribbon${tab}Care For AIDS Victims"; do
    grep -qxF "$expected" "$artifacts/accessible-tree.txt" ||
        fail "AT-SPI has no '${expected//$tab/ | }': $(cat "$artifacts/accessible-tree.txt")"
done
note "AT-SPI names the boxes, the button, the link, the close label and the ribbon"

# --- the maker link ----------------------------------------------------------------------

click_at "$LOGO_X" "$LOGO_Y"
wait_for 15 "request to the stand-in browser" test -s "$work/browser-requests"
sleep 0.2  # a second, unwanted request would show up by now
printf '%s\n\n' "$MAKER_WEB_PAGE" | cmp -s - "$work/browser-requests" ||
    fail "the browser was asked for: $(cat -A "$work/browser-requests")"
(($(program_windows | wc -l) == 1)) || fail "the link click opened a window: $(program_windows)"
note "the logo asked the browser for $MAKER_WEB_PAGE"

hover_lights "$CLOSE_X" "$CLOSE_Y" "$CLOSE_LIT_COLOUR" "close label under the pointer (before drag)"
hover_lights "$TITLE_X" "$TITLE_Y" "$CLOSE_COLOUR" "close label after a move onto the title"
# --- drag it by its title ------------------------------------------------------------

start_left=$left start_top=$top
point to $((left + TITLE_X)) $((top + TITLE_Y)) wait 100 press wait 200 \
    by -20 -16 wait 50 by -20 -16 wait 50 by -20 -16 wait 50 by -20 -16 wait 50 by -20 -16 \
    wait 200 release
deadline=$((SECONDS + 15))
until locate && ((left == start_left - 100 && top == start_top - 80)); do
    ((SECONDS < deadline)) || fail "after dragging the title by (-100, -80) the window is at ($left, $top)"
    sleep 0.05
done
note "dragged by (-100, -80) to ($left, $top)"

# --- the close label lights up under the pointer --------------------------------------

hover_lights "$CLOSE_X" "$CLOSE_Y" "$CLOSE_LIT_COLOUR" "close label under the pointer"
hover_lights "$TITLE_X" "$TITLE_Y" "$CLOSE_COLOUR" "close label after a move onto the title"
note "the close label lights under the pointer"

# --- Get, in the lab ---------------------------------------------------------------------

look_up "$VARNOCK_LAB_LIVE_HOST"
# The headless seat has a keyboard only while wtype runs, and a window is
# active (shows its focus) only while the seat has one: keep one a moment.
wtype -s 1500 &
sleep 0.7
grim "$artifacts/wayland-lookup.png"
focused=$(region $((gx + 3)) $((gy + 3)) $((gw - 6)) 1 contrast)
wait $!
mac=$(box_text "$MAC_BOX")
[[ "$mac" == "$VARNOCK_LAB_LIVE_MAC" ]] ||
    fail "Get for $VARNOCK_LAB_LIVE_HOST showed '$mac', not $VARNOCK_LAB_LIVE_MAC"
note "typed $VARNOCK_LAB_LIVE_HOST, Get showed $mac"
# The focus shows as a dotted line inside the button: none before.
[[ "$unfocused" == 1.00 ]] || fail "the Get button shows a focus line without the focus ($unfocused)"
"$PYTHON" -c "import sys; sys.exit(float(sys.argv[1]) < 4.5)" "$focused" ||
    fail "the Get button's focus line is faint or missing (contrast $focused)"
note "the Get button's focus line stands out ($focused:1)"

look_up "$VARNOCK_LAB_ABSENT_HOST"
deadline=$((SECONDS + 15))
until program_windows | grep -q ' Orbelund$'; do
    ((SECONDS < deadline)) || fail "no error box for $VARNOCK_LAB_ABSENT_HOST: $(program_windows)"
    sleep 0.05
done
grim "$artifacts/wayland-error-box.png"
type_keys -k Return
wait_for 15 "end of the error box" sh -c "! swaymsg -t get_tree | grep -q '\"name\": \"Orbelund\"'"
mac=$(box_text "$MAC_BOX")
[[ -z "$mac" ]] || fail "after no answer the result box still shows '$mac'"
note "typed $VARNOCK_LAB_ABSENT_HOST, Get showed the error box and emptied the result box"

close_program
note "the close label ended the program with status 0"

# --- 2. a dark theme --------------------------------------------------------------------

start_program env QT_STYLE_OVERRIDE=Adwaita-Dark
grim "$artifacts/wayland-dark.png"
note "screenshot: $artifacts/wayland-dark.png"
# The address box's right end, clear of its text.
read -r x y w h <<<"$IP_BOX"
read -r r g b < <(region $((x + w - 25)) $((y + 4)) 20 12 colour | tr , ' ')
((r + g + b < 3 * 96)) || fail "Adwaita-Dark gave no dark text box ($r,$g,$b): is adwaita-qt6 there?"
for place in "IP_CAPTION" "AWARENESS_LINE" "IP_BOX" "GET_BOX"; do
    read -r x y w h <<<"${!place}"
    ratio=$(region "$x" "$y" "$w" "$h" contrast)
    "$PYTHON" -c "import sys; sys.exit(float(sys.argv[1]) < 4.5)" "$ratio" ||
        fail "under Adwaita-Dark $place's text has a contrast of $ratio:1, below 4.5:1"
    note "Adwaita-Dark: $place's text at $ratio:1"
done
close_program

# --- 3. twice the device pixels -----------------------------------------------------------

swaymsg output HEADLESS-1 scale 2 >/dev/null
screen_size=(512 384)
point to 511 383
start_program
read -r _ _ width height _ < <(program_windows)
[[ "$width x $height" == "$size" ]] || fail "at scale 2 the window is $width x $height logical pixels"
grim -t ppm -g "$left,$top ${WINDOW_WIDTH}x$WINDOW_HEIGHT" "$work/scale2.ppm"
/usr/bin/convert "$work/scale2.ppm" "$artifacts/wayland-scale2.png"
note "screenshot at scale 2: $artifacts/wayland-scale2.png"
at2x() { "$PYTHON" "$here/screen_region.py" "$@" <"$work/scale2.ppm"; }
doubled="$((2 * WINDOW_WIDTH))x$((2 * WINDOW_HEIGHT))"
[[ "$(at2x size)" == "$doubled" ]] || fail "the window at scale 2 has $(at2x size) device pixels"
# Lines keep their widths in logical pixels: twice as many device pixels
# across, counted down a column through the line's middle.
for line in BOTTOM_LINE SEPARATOR; do
    x=${line}_X y=${line}_Y width=${line}_WIDTH colour=${line}_COLOUR
    from=$((2 * (${!y} - 2 * ${!width}))) to=$((2 * (${!y} + 2 * ${!width}) + 1))
    ((to < 2 * WINDOW_HEIGHT)) || to=$((2 * WINDOW_HEIGHT - 1))
    across=$(at2x run $((2 * ${!x})) "$from" "$to" "${!colour}")
    ((across == 2 * ${!width})) ||
        fail "$line is $across device pixels wide, not $((2 * ${!width}))"
done
# The logo is drawn from its 2x variant, one device pixel per image pixel.
read -r x y w h <<<"$LOGO_BOX"
/usr/bin/convert "$root/resources/logo@2x.jpg" -crop "$((2 * w))x$((2 * h))+0+0" ppm:"$work/logo.ppm"
grim -t ppm -g "$((left + x)),$((top + y)) ${w}x${h}" "$work/picture1.ppm"
difference=$("$PYTHON" "$here/screen_region.py" differs "$work/logo.ppm" <"$work/picture1.ppm")
((difference <= 8)) || fail "at scale 2 the logo differs from logo@2x.jpg by up to $difference"
note "scale 2: $doubled device pixels, lines twice as wide, the logo sharp"
close_program

echo "PASS"
