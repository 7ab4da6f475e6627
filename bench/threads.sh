#!/usr/bin/env bash
# Times the channel pass on one thread against "threads 0" (one per core) on
# the standard workload: the level-only mix and the full effect chain, each
# run at both settings in turn, round after round.
#
#   bench/threads.sh [seconds]      (default: 180)
#
# Environment: BENCH_DIR, RUNS (rounds, default 9), BUILD, as for run.sh.
# Prints medians of wall and CPU time and the largest peak RSS of each, the
# ratio threads 0 / threads 1 of the medians and, steadier on a shared
# machine, the median of the rounds' own ratios; and checks that both
# settings wrote the same bytes (dither off for the comparison run).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-build}
BENCH_DIR=${BENCH_DIR:-/tmp/varnel-bench}
RUNS=${RUNS:-9}
SECS=${1:-180}

for tool in /usr/bin/time python3 cmp; do
  command -v "$tool" >/dev/null 2>&1 || { echo "bench: $tool is needed"; exit 1; }
done

cmake -S "$ROOT" -B "$ROOT/$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON >/dev/null
cmake --build "$ROOT/$BUILD" --target varnel make_workload >/dev/null
VARNEL="$ROOT/$BUILD/varnel"
mkdir -p "$BENCH_DIR"
"$ROOT/$BUILD/bench/make_workload" "$BENCH_DIR" "$SECS"
echo "== threads: 16 stereo 24-bit 48 kHz tracks, $SECS s, $(nproc) cores =="

source "$ROOT/bench/timed.sh"

res="$BENCH_DIR/threads$SECS"
rm -rf "$res"; mkdir -p "$res"
cat "$BENCH_DIR/audio$SECS"/t*.wav >/dev/null  # warm the page cache once
for ((r = 1; r <= RUNS; ++r)); do
  for v in level level_t0_ effects effects_t0_; do
    timed "$res/$v" "$BENCH_DIR/$v$SECS" "$VARNEL"
  done
done

python3 - "$res" <<'PY'
import sys, statistics
res = sys.argv[1]
def rows(n): return [l.split() for l in open(f"{res}/{n}") if l.strip()]
wall = lambda r: int(r[0]) / 1e6
cpu = lambda r: float(r[2]) + float(r[3])
for label, one, many in (("level only", "level", "level_t0_"), ("full effect chain", "effects", "effects_t0_")):
    for name, n in (("threads 1", one), ("threads 0", many)):
        rs = rows(n)
        print(f"{label:<18} {name}: wall median {statistics.median(map(wall, rs)):7.3f} s"
              f"  min {min(map(wall, rs)):7.3f} s  cpu median {statistics.median(map(cpu, rs)):6.2f} s"
              f"  peak RSS {max(int(r[1]) for r in rs) / 1024:6.1f} MiB")
    a, b = rows(one), rows(many)
    per = [wall(y) / wall(x) for x, y in zip(a, b)]
    print(f"{label:<18} threads 0 / threads 1: wall of the medians"
          f" {statistics.median(map(wall, b)) / statistics.median(map(wall, a)):5.3f},"
          f" by round median {statistics.median(per):5.3f} (range {min(per):5.3f} to {max(per):5.3f}),"
          f" cpu {statistics.median(map(cpu, b)) / statistics.median(map(cpu, a)):5.3f}")
PY

# The same bytes at both settings: one more run of each with dither off.
for v in effects effects_t0_; do
  d="$BENCH_DIR/$v$SECS"
  sed 's/^dither\t1$/dither\t0/' "$d/prefs.txt" > "$d/prefs_nodither.txt"
  (cd "$d" && "$VARNEL" tracks.txt faders.txt prefs_nodither.txt >/dev/null)
done
if cmp -s "$BENCH_DIR/effects$SECS/bench_effects.wav" "$BENCH_DIR/effects_t0_$SECS/bench_effects_t0_.wav"; then
  echo "full effect chain: threads 0 wrote the same bytes as threads 1"
else
  echo "full effect chain: THE MIXES DIFFER"; exit 1
fi
