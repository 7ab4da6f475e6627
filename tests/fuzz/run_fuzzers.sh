#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a number of
# seconds (default 30) on its seed corpus. Skips cleanly, with status 0, when
# clang or its fuzzer runtime is not installed. A crash fails the step; the
# crashing input is left under the fuzz build directory.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-30}"
build="${FUZZ_BUILD:-build-fuzz}"
cxx="${FUZZ_CXX:-clang++}"

if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "fuzz: $cxx not installed; skipping the fuzz step"
    exit 0
fi
probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$probe/probe.cpp"
if ! "$cxx" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1; then
    echo "fuzz: clang's fuzzer runtime is not installed; skipping the fuzz step"
    exit 0
fi

CXX="$cxx" cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_FUZZ=ON >/dev/null
targets=(text_files wav fader_script adjuster)
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

for t in "${targets[@]}"; do
    work="$build/fuzz-run/$t"
    mkdir -p "$work/corpus" "$work/artifacts"
    echo "fuzz: fuzz_$t for $seconds s"
    # New inputs go to the scratch corpus; the committed seeds stay as they are.
    ASAN_OPTIONS=detect_leaks=1 "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" \
        -max_len=8192 -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
        -dict="tests/fuzz/$t.dict" -artifact_prefix="$work/artifacts/" \
        "$work/corpus" "tests/fuzz/corpus/$t" >"$work/log.txt" 2>&1 || {
        tail -n 60 "$work/log.txt"
        echo "fuzz: fuzz_$t found a fault; input under $work/artifacts"
        exit 1
    }
    grep -E '^Done|stat::number_of_executed_units' "$work/log.txt" || true
done
