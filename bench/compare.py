#!/usr/bin/env python3
"""Times two builds of varnel on the same sessions, interleaved.

    bench/compare.py OLD_VARNEL NEW_VARNEL [--dir DIR] [--secs S] [--runs N]

Runs each session of the standard workload (make_workload DIR S) with the old
and then the new program, round after round, so drift on a shared machine
hits both alike; prints the median wall and CPU (user + sys) time of each and
the ratio new/old. (The sessions dither with the clock's seed, so to compare
the two builds' mixes byte for byte, add a "seed" line to copies of them.)
"""
import argparse
import os
import resource
import statistics
import subprocess
import time

SESSIONS = ["level", "script", "effects", "target", "html"]


def timed(program, where):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([program], cwd=where, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("--dir", default=os.environ.get("BENCH_DIR", "/tmp/varnel-bench"))
    ap.add_argument("--secs", default="180")
    ap.add_argument("--runs", type=int, default=7)
    a = ap.parse_args()
    old, new = os.path.abspath(a.old), os.path.abspath(a.new)
    times = {(s, p): [] for s in SESSIONS for p in ("old", "new")}
    for r in range(a.runs):
        for s in SESSIONS:
            where = os.path.join(a.dir, s + a.secs)
            for label, program in (("old", old), ("new", new)) if r % 2 == 0 else \
                    (("new", new), ("old", old)):
                times[(s, label)].append(timed(program, where))
    print(f"{a.runs} interleaved rounds, {a.secs} s of song; medians")
    print(f"{'session':<8} {'old wall':>9} {'new wall':>9} {'ratio':>6}   "
          f"{'old cpu':>8} {'new cpu':>8} {'ratio':>6}")
    for s in SESSIONS:
        ow = statistics.median(t[0] for t in times[(s, "old")])
        nw = statistics.median(t[0] for t in times[(s, "new")])
        oc = statistics.median(t[1] for t in times[(s, "old")])
        nc = statistics.median(t[1] for t in times[(s, "new")])
        print(f"{s:<8} {ow:9.3f} {nw:9.3f} {nw / ow:6.3f}   {oc:8.2f} {nc:8.2f} {nc / oc:6.3f}")


if __name__ == "__main__":
    main()
