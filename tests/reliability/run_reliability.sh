#!/usr/bin/env bash
# Runs a sanitizer build of varnel over generated broken sessions and fails on
# any crash, hang or sanitizer report. Usage:
#   tests/reliability/run_reliability.sh [path/to/varnel] [seconds per run]
set -u
here="$(cd "$(dirname "$0")" && pwd)"
varnel="$(realpath "${1:-$here/../../build-sanitize/varnel}")"
limit="${2:-120}"
[ -x "$varnel" ] || { echo "varnel not found at $varnel (build with -DVARNEL_SANITIZE=ON)"; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$here/make_broken_sessions.py" "$work" || exit 2

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:exitcode=99
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=99
failed=0
count=0
for dir in "$work"/*/; do
    name="$(basename "$dir")"
    count=$((count + 1))
    (cd "$dir" && timeout -k 5 "$limit" "$varnel" </dev/null >stdout.log 2>stderr.log)
    status=$?
    problem=""
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        problem="hang (over ${limit} s)"
    elif [ "$status" -ne 0 ] && [ "$status" -ne 1 ] && [ "$status" -ne 2 ]; then
        problem="exit status $status"
    elif grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:' "$dir/stderr.log"; then
        problem="sanitizer report"
    fi
    if [ -n "$problem" ]; then
        failed=$((failed + 1))
        echo "FAIL $name: $problem"
        tail -n 30 "$dir/stderr.log"
    else
        echo "ok   $name (status $status)"
    fi
done
echo "$count sessions, $failed failed"
[ "$failed" -eq 0 ]
