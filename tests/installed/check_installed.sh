#!/usr/bin/env bash
# The half of installed_program_test.sh that runs inside the lab.
set -uo pipefail

prefix=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# We really run with no capability at all.
for set in CapInh CapPrm CapEff CapBnd CapAmb; do
    value=$(awk -v key="$set:" '$1 == key {print $2}' /proc/self/status)
    [[ "$value" =~ ^0+$ ]] && pass "$set is empty" || fail "$set is $value"
done

# The installed programs ask for none: no set-id bits, no file capabilities.
for program in "$prefix"/bin/*; do
    name=$(basename "$program")
    [[ -u "$program" || -g "$program" ]] && fail "$name is set-id" || pass "$name is not set-id"
    if python3 -c 'import os,sys; os.getxattr(sys.argv[1], "security.capability")' "$program" 2>/dev/null; then
        fail "$name carries file capabilities"
    else
        pass "$name carries no file capabilities"
    fi
done

cli="$prefix/bin/varnock-cli"
answer=$("$cli" "$VARNOCK_LAB_LIVE_HOST")
[[ "$answer" == *"$VARNOCK_LAB_LIVE_MAC"* ]] && pass "live host answered: $answer" ||
    fail "live host gave '$answer'"

# Texts a shell would act on reach inet_addr as they are; nothing else runs.
if command -v strace >/dev/null; then
    for text in "$VARNOCK_LAB_LIVE_HOST; touch pwned" '$(touch pwned)' '`touch pwned`' \
        "$VARNOCK_LAB_LIVE_HOST | touch pwned"; do
        trace=$(mktemp)
        (cd "$TMPDIR" && strace -f -qq -e trace=execve,execveat -o "$trace" "$cli" "$text" >/dev/null 2>&1)
        runs=$(grep -c 'execve' "$trace")
        [[ "$runs" == 1 && ! -e "$TMPDIR/pwned" ]] && pass "no program started for '$text'" ||
            fail "'$text' started $((runs - 1)) more program(s)"
        rm -f "$trace"
    done
else
    fail "strace is not installed"
fi

((failures == 0)) && echo "all checks passed" || echo "$failures check(s) failed"
exit $((failures > 0))
