#!/usr/bin/env bash
# Times varnel on the standard workload against a general-purpose mixer doing
# the same level-only mix, in the same run, with the plain read/write floor.
#
#   bench/run.sh [seconds ...]      (default: 180 540)
#
# Environment: BENCH_DIR (workload, default /tmp/varnel-bench; about 0.9 GB
# per 180 s), RUNS (timed runs per command, default 5), BUILD (build dir,
# default build). Medians of wall and CPU (user + sys) time; RSS is the
# largest peak seen. CPU time is the steadier figure on a shared machine.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-build}
BENCH_DIR=${BENCH_DIR:-/tmp/varnel-bench}
RUNS=${RUNS:-5}
LENGTHS=("$@")
[ ${#LENGTHS[@]} -gt 0 ] || LENGTHS=(180 540)

for tool in sox /usr/bin/time python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "bench: $tool is needed (apt-get install sox time python3)"; exit 1; }
done

cmake -S "$ROOT" -B "$ROOT/$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON >/dev/null
cmake --build "$ROOT/$BUILD" --target varnel make_workload chain_bench >/dev/null
VARNEL="$ROOT/$BUILD/varnel"
mkdir -p "$BENCH_DIR"

source "$ROOT/bench/timed.sh"

summary() {  # label file seconds
  python3 - "$1" "$2" "$3" <<'PY'
import sys, statistics
label, path, secs = sys.argv[1], sys.argv[2], float(sys.argv[3])
rows = [l.split() for l in open(path) if l.strip()]
t = [int(r[0]) / 1e6 for r in rows]
cpu = [float(r[2]) + float(r[3]) for r in rows]
rss = max(int(r[1]) for r in rows) / 1024
med = statistics.median(t)
print(f"{label:<26} wall median {med:7.3f} s ({secs / med:6.1f}x realtime)  min {min(t):7.3f} s"
      f"  cpu median {statistics.median(cpu):6.2f} s  peak RSS {rss:6.1f} MiB")
PY
}


for secs in "${LENGTHS[@]}"; do
  echo "== workload: 16 stereo 24-bit 48 kHz tracks, $secs s =="
  "$ROOT/$BUILD/bench/make_workload" "$BENCH_DIR" "$secs"
  audio="$BENCH_DIR/audio$secs"
  remix=$(cat "$BENCH_DIR/remix$secs.txt")
  out_bytes=$(( 44 + secs * 48000 * 6 ))
  inputs=("$audio"/t*.wav)
  res="$BENCH_DIR/results$secs"
  rm -rf "$res"; mkdir -p "$res"
  cat "${inputs[@]}" >/dev/null  # warm the page cache once before any timing
  for ((r = 1; r <= RUNS; ++r)); do
    # Interleaved, so drift on a shared machine hits every command alike.
    timed "$res/read" "$audio" sh -c 'cat t*.wav >/dev/null'
    timed "$res/write" "$BENCH_DIR" sh -c "head -c $out_bytes /dev/zero > floor.wav"
    # shellcheck disable=SC2086
    timed "$res/sox" "$BENCH_DIR" sox -M "${inputs[@]}" -b 24 sox_mix.wav remix -m $remix
    for v in level script effects target html; do
      timed "$res/$v" "$BENCH_DIR/$v$secs" "$VARNEL"
    done
  done
  summary "floor: cat of the inputs" "$res/read" "$secs"
  summary "floor: write output size" "$res/write" "$secs"
  summary "sox -M ... remix" "$res/sox" "$secs"
  summary "varnel level only" "$res/level" "$secs"
  summary "varnel level+pan+ramps" "$res/script" "$secs"
  summary "varnel full effect chain" "$res/effects" "$secs"
  summary "varnel level, lufs target" "$res/target" "$secs"
  summary "varnel level, html report" "$res/html" "$secs"
  python3 - "$res" <<'PY'
import sys, statistics
res = sys.argv[1]
def rows(n): return [l.split() for l in open(f"{res}/{n}") if l.strip()]
def wall(n): return statistics.median(int(r[0]) / 1e6 for r in rows(n))
def cpu(n): return statistics.median(float(r[2]) + float(r[3]) for r in rows(n))
for name, f in (("wall", wall), ("cpu", cpu)):
    sox, lev, scr, fx = f("sox"), f("level"), f("script"), f("effects")
    print(f"{name:<4} ratio varnel/sox  level only  {lev / sox:5.3f}  (target <= 0.5)")
    print(f"{name:<4} ratio varnel/sox  with ramps  {scr / sox:5.3f}  (target <= 0.5)")
    print(f"{name:<4} ratio effects/level-only      {fx / lev:5.3f}  (whole mix with the chain)")
    print(f"{name:<4} ratio chain's own cost/level  {(fx - lev) / lev:5.3f}  (target <= 3)")
    print(f"{name:<4} ratio lufs target/level-only  {f('target') / lev:5.3f}  (target <= 2.2)")
    print(f"{name:<4} ratio html report/level-only  {f('html') / lev:5.3f}  (target <= 1.05)")
# The same ratio round by round: the level-only and effects runs of a round
# follow each other within seconds, so a slow spell of a shared machine tends
# to hit both; the spread shows how far the medians above can be trusted.
for name, key in (("wall", lambda r: int(r[0]) / 1e6), ("cpu", lambda r: float(r[2]) + float(r[3]))):
    for v in ("effects", "html"):
        per = [key(f) / key(l) for l, f in zip(rows("level"), rows(v))]
        print(f"{name:<4} {v}/level-only by round {' ' * (9 - len(v))}median {statistics.median(per):5.3f}"
              f"  range {min(per):5.3f} to {max(per):5.3f}")
PY
  rm -f "$BENCH_DIR/floor.wav" "$BENCH_DIR/sox_mix.wav"
done

# Where the effect chain's time goes, per channel strip and frame, on a block
# held in memory (no file input, so steadier than the whole runs above).
echo "== effect chain of one strip, in memory =="
"$ROOT/$BUILD/bench/chain_bench"
