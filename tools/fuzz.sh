#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a bounded time over its
# seed corpus. Exits non-zero on any crash, leak or sanitizer report.
#   tools/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
build="$root/build/fuzz"

"$root/tools/install-packages.sh" fuzz
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
targets=(address_text_fuzz hardware_address_text_fuzz neighbour_packets_fuzz rtnetlink_fuzz target_file_fuzz
    vendor_list_fuzz watch_state_reader_fuzz device_names_fuzz web_request_target_fuzz web_query_fuzz
    event_log_fuzz)

for target in "${targets[@]}"; do
    corpus=$(mktemp -d)
    echo "fuzzing $target for ${seconds}s"
    # New inputs go to a scratch folder; the committed seeds stay as they are.
    status=0
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$corpus" "$root/tests/fuzz/corpus/$target" \
        >"$build/$target.log" 2>&1 || status=$?
    grep -E '^(Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' "$build/$target.log" || true
    rm -rf "$corpus"
    if ((status != 0)); then
        echo "fuzz: $target failed (status $status); reproducer in $build/$target-*" >&2
        exit 1
    fi
done
echo "fuzz: all targets ran clean"
