# Sourced by the benchmark scripts; needs BENCH_DIR.

# One timed run: appends "wall_us peak_kib user_s sys_s" to the file named by $1.
timed() {
  local out=$1 dir=$2; shift 2
  local t0 t1 rss user sys
  t0=$(date +%s%N)
  (cd "$dir" && /usr/bin/time -f "%M %U %S" -o "$BENCH_DIR/rss.tmp" "$@" >/dev/null 2>"$BENCH_DIR/err.tmp") || {
    echo "bench: command failed in $dir: $*"; cat "$BENCH_DIR/err.tmp"; exit 1; }
  t1=$(date +%s%N)
  read -r rss user sys < <(tail -n 1 "$BENCH_DIR/rss.tmp")
  echo "$(( (t1 - t0) / 1000 )) $rss $user $sys" >> "$out"
}
