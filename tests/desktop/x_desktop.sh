# shellcheck shell=bash disable=SC2154,SC2034
# Sourced by the desktop tests that drive a window on a real X server: the
# display and window manager, and looking at and pointing into a window.
# The sourcing script defines fail() (message, then exit non-zero), keeps a
# scratch folder in `work`, the window's X id in `window` once it has one,
# and the paths of ImageMagick's tools in IMPORT and CONVERT.

# Runs "$@" until it succeeds or `seconds` have passed.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || fail "no $what within ${seconds}s"
        sleep 0.05
    done
}

# Ends the processes named (empty names skipped) and waits for each, so that
# none outlives the test.
stop_processes() {
    local pid
    for pid in "$@"; do
        if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
    done
    for pid in "$@"; do
        if [[ -n "$pid" ]]; then wait "$pid" 2>/dev/null || true; fi
    done
}

# Starts Xvfb and openbox on it, exports DISPLAY and sets xvfb_pid and
# wm_pid for the caller's cleanup. Xvfb picks a free display itself and
# names it on the descriptor, so runs side by side never collide. Without
# -noreset it would reset when its last client leaves (xdpyinfo below),
# refusing whoever connects meanwhile.
start_x_desktop() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for 10 "display from Xvfb" test -s "$work/display"
    DISPLAY=":$(head -n1 "$work/display")"
    export DISPLAY
    wait_for 10 "answer from $DISPLAY" timeout 2 xdpyinfo

    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    local deadline=$((SECONDS + 10))
    until timeout 2 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
        kill -0 "$wm_pid" 2>/dev/null || fail "openbox ended: $(cat "$work/openbox.log")"
        ((SECONDS < deadline)) || fail "no window manager within 10s: $(cat "$work/openbox.log")"
        sleep 0.05
    done
}

# Puts a stand-in xdg-open into $work/bin: whatever the desktop would open a
# web address with lands in $work/browser-requests, one line per argument
# and a blank line after each request. Put $work/bin first on PATH.
make_stand_in_browser() {
    mkdir -p "$work/bin"
    cat >"$work/bin/xdg-open" <<STANDIN
#!/bin/sh
printf '%s\n' "\$@" "" >>"$work/browser-requests"
STANDIN
    chmod +x "$work/bin/xdg-open"
}

# Prints the window's top left corner on the screen as "X Y".
window_origin() {
    xwininfo -id "$window" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                                  END {print x, y}'
}

# Prints the window's size as "WIDTH HEIGHT".
window_size() {
    xwininfo -id "$window" | awk '/^ *Width:/ {w = $NF} /^ *Height:/ {h = $NF} END {print w, h}'
}

# Prints the colour of one screen pixel as "red,green,blue".
screen_pixel() {
    "$IMPORT" -silent -window root -crop "1x1+$1+$2" +repage png:- |
        "$CONVERT" png:- -format '%[fx:int(255*r+0.5)],%[fx:int(255*g+0.5)],%[fx:int(255*b+0.5)]' info:
}

# Waits until the window's top left corner is at (x, y) of the screen.
expect_origin() {
    local wanted="$1 $2" what=$3 deadline=$((SECONDS + 15))
    until [[ "$(window_origin)" == "$wanted" ]]; do
        ((SECONDS < deadline)) || fail "$what: the window is at $(window_origin), not $wanted"
        sleep 0.05
    done
}

# Waits until the pixel (x, y) of the window shows `colour`.
expect_pixel() {
    local x=$1 y=$2 colour=$3 what=$4 deadline=$((SECONDS + 15)) seen left top
    read -r left top < <(window_origin)
    while true; do
        seen=$(screen_pixel $((left + x)) $((top + y)))
        [[ "$seen" == "$colour" ]] && return 0
        ((SECONDS < deadline)) || fail "$what: pixel ($x, $y) of the window is $seen, not $colour"
        sleep 0.05
    done
}

# Moves the pointer onto (x, y) of the window in small steps, as a hand does.
hover() {
    local x=$1 y=$2 left top
    read -r left top < <(window_origin)
    xdotool mousemove $((left + x - 2)) $((top + y)) sleep 0.05 \
        mousemove $((left + x - 1)) $((top + y)) sleep 0.05 \
        mousemove $((left + x)) $((top + y))
}

# Moves the window to (400, 300), away from the screen's edges where the
# window manager would resist, then drags it by the point (x, y) of the
# window (on its title) by (-100, -80) in small steps with the left button
# held, and waits until the window manager has moved it by exactly that.
drag_window_from() {
    local x=$1 y=$2 left=400 top=300 step
    xdotool windowmove "$window" "$left" "$top"
    expect_origin "$left" "$top" "before the drag"
    local start_x=$((left + x)) start_y=$((top + y))
    xdotool mousemove "$start_x" "$start_y" sleep 0.1 mousedown 1 sleep 0.2
    for step in 1 2 3 4 5; do
        xdotool mousemove $((start_x - 20 * step)) $((start_y - 16 * step)) sleep 0.05
    done
    xdotool sleep 0.2 mouseup 1
    expect_origin $((left - 100)) $((top - 80)) "after dragging the title by (-100, -80)"
}
