#!/usr/bin/env bash
# Times how long varnel takes to read a large fader file: every pass over it,
# with a preview of length 0 so nothing is mixed, and `varnel --check` on the
# same session.
#
#   bench/load.sh
#
# Environment: BENCH_DIR (default /tmp/varnel-load), RUNS (timed runs per
# command, default 5), BUILD (build dir, default build), BASELINE (another
# varnel binary, e.g. an older build, timed in the same interleaved runs),
# SESSIONS (default "legit heavy").
# Prints median wall and CPU (user + sys) time per command and session.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-build}
BENCH_DIR=${BENCH_DIR:-/tmp/varnel-load}
RUNS=${RUNS:-5}
BASELINE=${BASELINE:-}
SESSIONS=${SESSIONS:-legit heavy}

for tool in /usr/bin/time python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "bench: $tool is needed"; exit 1; }
done
cmake -S "$ROOT" -B "$ROOT/$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON >/dev/null
cmake --build "$ROOT/$BUILD" --target varnel make_script >/dev/null
VARNEL="$ROOT/$BUILD/varnel"

# legit: 127 channels, 224 time steps, a level and a ramp per channel and step
# (about 600 KB). heavy: 512 steps and 8.7 MB of note lines between them
# (about 10 MB; every note line is warned about).
mkdir -p "$BENCH_DIR/legit" "$BENCH_DIR/heavy"
"$ROOT/$BUILD/bench/make_script" "$BENCH_DIR/legit" 224 0
"$ROOT/$BUILD/bench/make_script" "$BENCH_DIR/heavy" 512 8700

timed() {  # result-file dir command...
  local out=$1 dir=$2; shift 2
  local t0 t1
  t0=$(date +%s%N)
  (cd "$dir" && /usr/bin/time -f "%U %S" -o "$BENCH_DIR/time.tmp" "$@" >/dev/null 2>&1) || true
  t1=$(date +%s%N)
  read -r user sys < <(tail -n 1 "$BENCH_DIR/time.tmp")
  echo "$(( (t1 - t0) / 1000 )) $user $sys" >> "$out"
}

res="$BENCH_DIR/results"
rm -rf "$res"; mkdir -p "$res"
for ((r = 1; r <= RUNS; ++r)); do
  for s in $SESSIONS; do
    timed "$res/$s-read" "$BENCH_DIR/$s" "$VARNEL"
    timed "$res/$s-check" "$BENCH_DIR/$s" "$VARNEL" --check
    [ -n "$BASELINE" ] && timed "$res/$s-baseline" "$BENCH_DIR/$s" "$BASELINE"
  done
done
python3 - "$res" <<'PY'
import os, sys, statistics
res = sys.argv[1]
for name in sorted(os.listdir(res)):
    rows = [l.split() for l in open(os.path.join(res, name)) if l.strip()]
    wall = statistics.median(int(r[0]) / 1e6 for r in rows)
    cpu = statistics.median(float(r[1]) + float(r[2]) for r in rows)
    print(f"{name:<16} wall median {wall:8.3f} s   cpu median {cpu:8.3f} s   ({len(rows)} runs)")
PY
