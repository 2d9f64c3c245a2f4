#!/usr/bin/env bash
# Runs every benchmark and prints one table with ratios against peers
# measured in the same run; the table is also left in build/bench/results.md.
#   bench/run.sh
# The lookup measurements run inside the namespace lab (as root there: the
# floor needs a raw socket and each cold run flushes the neighbour table);
# the window's run under Xvfb with openbox.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/bench"
results="$build/results.json"

"$root/tools/install-packages.sh" build bench

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNOCK_BUILD_TESTS=OFF \
    -DVARNOCK_BUILD_BENCHMARKS=ON -DVARNOCK_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build"
rm -f "$results"

"$root/tests/lab/run-in-lab.sh" --privileged \
    python3 "$root/bench/measure.py" lab --build "$build" --results "$results"

# Sweeps of 10.0.0.0/8 networks in namespaces of their own: the raw method
# against arp-scan, and the kernel's method beside them; an IPv6 /120 against
# the kernel's method (a /16 with
# VARNOCK_BENCH_LARGE=1: some eight minutes more).
sweeps=(20 v6 stale)
if [[ "${VARNOCK_BENCH_LARGE:-0}" == 1 ]]; then sweeps+=(16); fi
python3 "$root/bench/raw_sweep.py" "$build/console/varnock-cli" "$results" "${sweeps[@]}" || (($? == 77))

# varnock-web over a 10,000-device record against nginx, on 127.0.0.1 only
# (about a minute).
/usr/bin/python3 "$root/bench/web_bench.py" --web "$build/web/varnock-web" --results "$results"
# /metrics of a 10,000-device record against node_exporter's, both on
# 127.0.0.1; varnock-web's over HTTP when it was built.
web="$build/web/varnock-web"
[[ -x "$web" ]] || web=""
python3 "$root/bench/metrics_bench.py" "$build" "$results" ${web:+"$web"}

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true' EXIT
wm=""
for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb python3 "$root/bench/measure.py" window --build "$build" --results "$results"

echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), kernel $(uname -r), $(date -u +%Y-%m-%d)"
python3 "$root/bench/measure.py" table --results "$results" --out "$build/results.md"
