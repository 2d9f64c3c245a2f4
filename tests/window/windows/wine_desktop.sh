# shellcheck shell=bash disable=SC2154,SC2034
# Sourced by the tests of the Win32 window under wine64 on a real X server
# (desktop_test.sh, scripted_get_test.sh): the X desktop (x_desktop.sh), a
# wine server bound to it, form_probe, the window's places and colours from
# its description, and an address typed into txtIp. Skips the test (exit
# status 77) when wine64, Xvfb, openbox or xdotool is missing.
#
# Before calling anything here the sourcing script sets WINEPREFIX, `work`
# (its scratch folder), probe_exe (form_probe.exe) and points_exe
# (write_form_points.exe), and calls wine_desktop_cleanup from its exit
# trap. When it sets `artifacts`, a failure leaves a screenshot there.

# shellcheck source=tests/desktop/x_desktop.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../../desktop/x_desktop.sh"

readonly CONVERT=/usr/bin/convert  # another convert may come first on PATH
readonly IMPORT=/usr/bin/import
: "${WINE:=/usr/lib/wine/wine64}"
: "${WINESERVER:=/usr/lib/wine/wineserver}"
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The message box after a failed Get, as form_probe describes it.
readonly BOX='owner VarnockForm1 "Varnock"
prompt "ERROR : Remote MAC Cannot be Harvested"
icon stop
button 1 "OK"'

xvfb_pid='' wm_pid='' program_pid='' wine_started=''

note() { echo "-- $*"; }
skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*" >&2
    # What the screen showed at the failure, while there is one.
    if [[ -n "$xvfb_pid" && -n "${artifacts:-}" ]]; then
        "$IMPORT" -silent -window root "$artifacts/failure.png" 2>/dev/null &&
            echo "screenshot: $artifacts/failure.png" >&2
    fi
    exit 1
}

for tool in "$WINE" "$WINESERVER" Xvfb openbox xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
for tool in xdpyinfo xprop xwininfo timeout "$IMPORT" "$CONVERT"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/dev.sh installs it)"
done

# Ends the program, the wine server and the X desktop, and removes `work`.
wine_desktop_cleanup() {
    if [[ -n "$program_pid" ]]; then kill "$program_pid" 2>/dev/null || true; fi
    if [[ -n "$wine_started" ]]; then stop_wine; fi
    stop_processes "$program_pid" "$wm_pid" "$xvfb_pid"
    rm -rf "$work"
}

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
    timeout 20 "$WINE" "$probe_exe" dpi </dev/null >"$work/first-probe.log" 2>&1 ||
        fail "the probe does not run: $(cat "$work/first-probe.log")"
    note "wine ready in $((SECONDS - start)) s"
}

# Runs the probe and keeps what it printed in `probed`. Not in a command
# substitution, where a failure would end only the subshell; and through a
# file, so that nothing the probe starts can hold a pipe of this script.
probed=''
probe() {
    if ! timeout 30 "$WINE" "$probe_exe" "$@" </dev/null >"$work/probe.out" 2>"$work/probe.err"; then
        fail "form_probe $*: $(cat "$work/probe.err" "$work/probe.out")"
    fi
    probed=$(cat "$work/probe.out")
}

# Sets the window's places (at `dpi` dots per inch) and colours, worked out
# from its description by write_form_points. It runs here, under wine: a
# cross-build cannot run what it builds (tests/window/CMakeLists.txt).
read_form_points() {
    timeout 30 "$WINE" "$points_exe" "$work/form_points.sh" "$1" </dev/null \
        >"$work/points.log" 2>&1 || fail "write_form_points: $(cat "$work/points.log")"
    # shellcheck source=/dev/null
    source "$work/form_points.sh"
}

# Starts `program` under wine and waits for its window: sets program_pid
# and window.
start_program() {
    "$WINE" "$1" </dev/null >"$work/program.log" 2>&1 &
    program_pid=$!
    window=$(timeout 15 xdotool search --sync --onlyvisible --name '^Varnock$') || {
        local state=ended
        kill -0 "$program_pid" 2>/dev/null && state=running
        fail "no window named Varnock within 15s (program $state): $(cat "$work/program.log")
$(xwininfo -root -tree 2>&1 | head -n 30)"
    }
    window=${window%%$'\n'*}
}

# Types `text` into txtIp in place of what it holds, as a person would, and
# waits until the box reads it.
type_address() {
    local text=$1 deadline=$((SECONDS + 15))
    hover "$IP_X" "$IP_Y"
    xdotool click 1 sleep 0.1 key End shift+Home sleep 0.1 type --delay 20 "$text"
    while probe controls && ! grep -qxF "Edit $IP_BOX focus \"$text\"" <<<"$probed"; do
        ((SECONDS < deadline)) || fail "txtIp does not read $text after typing:
$probed"
        sleep 0.1
    done
}
