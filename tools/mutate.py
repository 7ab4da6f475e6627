#!/usr/bin/env python3
"""Plants single faults in the programs one at a time and counts how many the
test suite catches.

Each entry of the list (tools/mutations.txt) names a file, a piece of one of
its lines and what that piece becomes. For each entry the script writes the
mutated file, rebuilds the normal Release build incrementally, and runs the
two test programs with a time limit; then it puts the file back (also on
Ctrl-C or a failure of the script itself; a run killed outright is repaired
at the start of the next one from the saved copy).

A mutation whose compiled objects come out identical to the unmutated ones
cannot change behaviour: it is counted as equivalent and not tested. So is an
entry the list marks "equivalent:" with its reason. The caught share is of
the rest. A test run that outlasts the limit counts as caught (a hang).

  tools/mutate.py                   every entry
  tools/mutate.py --area effects    the entries of one area (repeatable)
  tools/mutate.py --only 3,10-14    entries by number
  tools/mutate.py --list            number, area and place of every entry
  tools/mutate.py --check           only check that every pattern still matches

A full run takes hours on a loaded two-core machine; run it in the
background with --log FILE and read the summary at the end of the log.
"""

import argparse
import hashlib
import json
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LIST = ROOT / "tools" / "mutations.txt"
KEYS = ("area", "file", "find", "into", "why", "equivalent", "tests")
TEST_PROGRAMS = ("mixer_tests", "adjuster_tests")

LOG = None


def say(text=""):
    print(text, flush=True)
    if LOG:
        LOG.write(text + "\n")
        LOG.flush()


class Mutation:
    def __init__(self, number, fields, line):
        self.number = number
        self.line = line  # where the entry starts in the list
        self.area = fields.get("area", "")
        self.file = fields.get("file", "")
        self.find = fields.get("find", "")
        self.into = fields.get("into", "")
        self.why = fields.get("why", "")
        self.equivalent = fields.get("equivalent", "")
        self.tests = fields.get("tests", "")

    def place(self):
        return f"{self.file}: {self.find!r} -> {self.into!r}"


def read_list(path):
    """Entries are blocks of `key: value` lines separated by blank lines; the
    value runs from after ': ' to the end of the line, spaces kept."""
    mutations, fields, start = [], {}, 0
    errors = []

    def close():
        if not fields:
            return
        missing = [k for k in ("area", "file", "find", "into") if k not in fields]
        if missing:
            errors.append(f"{path.name}:{start}: missing {', '.join(missing)}")
        mutations.append(Mutation(len(mutations) + 1, dict(fields), start))
        fields.clear()

    for number, raw in enumerate(path.read_text().splitlines(), 1):
        if raw.startswith("#"):
            continue
        if not raw.strip():
            close()
            continue
        key, sep, value = raw.partition(": ")
        if not sep and raw.endswith(":"):
            key, value = raw[:-1], ""
        elif not sep:
            errors.append(f"{path.name}:{number}: not a 'key: value' line")
            continue
        if key not in KEYS:
            errors.append(f"{path.name}:{number}: unknown key {key!r}")
            continue
        if not fields:
            start = number
        fields[key] = value
    close()
    return mutations, errors


def locate(m):
    """The mutated text of the file, or the reason the entry no longer fits it."""
    path = ROOT / m.file
    if not path.is_file():
        return None, "STALE: the file is gone (update its path)"
    text = path.read_text()
    count = text.count(m.find)
    if count == 0:
        return None, "STALE: the pattern matches no line (update the entry)"
    if count > 1:
        return None, f"STALE: the pattern matches {count} places (make it longer)"
    if "\n" in m.find or "\n" in m.into:
        return None, "STALE: a pattern spans lines"
    if m.find == m.into:
        return None, "STALE: the replacement is the pattern itself"
    return text.replace(m.find, m.into), None


def parse_numbers(ranges, total):
    chosen = set()
    for piece in ranges.split(","):
        piece = piece.strip()
        if not piece:
            continue
        a, _, b = piece.partition("-")
        lo, hi = int(a), int(b) if b else int(a)
        chosen.update(range(max(lo, 1), min(hi, total) + 1))
    return chosen


class Workspace:
    """The build directory, the saved copy of a mutated file and the
    journal that says which file is mutated right now."""

    def __init__(self, build):
        self.build = build
        self.journal = build / "mutate-journal.json"
        self.saved = build / "mutate-original"
        self.current = None

    def repair(self):
        """Puts back a file a killed run left mutated."""
        if not self.journal.exists():
            return
        name = json.loads(self.journal.read_text())["file"]
        (ROOT / name).write_bytes(self.saved.read_bytes())
        self.journal.unlink()
        say(f"restored {name}, left mutated by an interrupted run")

    def mutate(self, m, text):
        path = ROOT / m.file
        self.saved.write_bytes(path.read_bytes())
        self.journal.write_text(json.dumps({"file": m.file}))
        self.current = path
        path.write_text(text)

    def restore(self):
        if self.current is None:
            return
        self.current.write_bytes(self.saved.read_bytes())
        self.current = None
        self.journal.unlink()


def build(ws, quiet=True):
    r = subprocess.run(["cmake", "--build", str(ws.build), "-j2"], cwd=ROOT,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if r.returncode != 0 and not quiet:
        say(r.stdout[-4000:])
    return r.returncode == 0


def object_hashes(build_dir):
    # Every target of the programs' own (libraries included, whatever their
    # names); the test programs' objects live under tests/ and never change.
    hashes = {}
    base = build_dir / "CMakeFiles"
    for obj in sorted(base.glob("*.dir/**/*.o")):
        hashes[str(obj.relative_to(base))] = hashlib.sha256(obj.read_bytes()).hexdigest()
    return hashes


def default_signals():
    # A background start (nohup, `&`) hands SIGINT, SIGQUIT and SIGHUP down
    # ignored, and the mixer rightly keeps an ignored signal ignored: the
    # tests that raise them need them at their defaults.
    for s in (signal.SIGINT, signal.SIGQUIT, signal.SIGHUP):
        signal.signal(s, signal.SIG_DFL)


def run_tests(ws, order, deadline, first_filter=""):
    """Runs the test programs in `order` until one fails. Returns
    ("pass"|"fail"|"timeout", the failing test program or test)."""
    tests_dir = ws.build / "tests"
    runs = []
    if first_filter:
        runs += [(p, first_filter) for p in order]
    runs += [(p, "") for p in order]
    for program, pattern in runs:
        exe = tests_dir / program
        if not exe.exists():
            continue
        args = [str(exe), "--gtest_fail_fast", "--gtest_brief=1"]
        if pattern:
            args.append("--gtest_filter=" + pattern)
        left = deadline - time.monotonic()
        if left <= 0:
            return "timeout", program
        proc = subprocess.Popen(args, cwd=tests_dir, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, start_new_session=True,
                                preexec_fn=default_signals)
        try:
            out, _ = proc.communicate(timeout=left)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            return "timeout", program
        if proc.returncode != 0:
            failed = [l.split("]", 1)[1].strip() for l in out.splitlines()
                      if l.startswith("[  FAILED  ]")]
            return "fail", failed[0] if failed else f"{program} status {proc.returncode}"
    return "pass", ""


def test_order(m):
    first = "adjuster_tests" if m.file.startswith("adjuster/") else "mixer_tests"
    return [first] + [p for p in TEST_PROGRAMS if p != first]


def summary(results, mutations):
    say("\n==== Summary ====")
    areas = sorted({m.area for m in mutations}, key=lambda a: [m.area for m in mutations].index(a))
    total_caught = total_changing = 0
    for area in areas:
        rs = [(m, r) for m, r in results if m.area == area]
        if not rs:
            continue
        caught = [m for m, r in rs if r[0] in ("caught", "hang")]
        survived = [m for m, r in rs if r[0] == "survived"]
        equivalent = [m for m, r in rs if r[0] == "equivalent"]
        other = [(m, r) for m, r in rs if r[0] not in ("caught", "hang", "survived", "equivalent")]
        changing = len(caught) + len(survived)
        total_caught += len(caught)
        total_changing += changing
        share = f"{100.0 * len(caught) / changing:5.1f} %" if changing else "    -  "
        say(f"{area:12s} caught {len(caught):3d} of {changing:3d} {share}"
            f"   equivalent {len(equivalent)}   not run {len(other)}")
        for m in survived:
            say(f"    survived #{m.number}: {m.place()}")
            if m.why:
                say(f"        ({m.why})")
        for m, r in other:
            say(f"    not run #{m.number}: {r[0]} {r[1]}")
    if total_changing:
        say(f"{'all':12s} caught {total_caught:3d} of {total_changing:3d} "
            f"{100.0 * total_caught / total_changing:5.1f} %")


def main():
    global LOG
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--build", default=str(ROOT / "build"), help="a configured Release build")
    ap.add_argument("--list-file", default=str(LIST))
    ap.add_argument("--area", action="append", default=[], help="run only this area")
    ap.add_argument("--only", default="", help="entry numbers, e.g. 1,4-9")
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds per test run (default: 3 x the unmutated run, at least 120)")
    ap.add_argument("--list", action="store_true", help="print the entries and stop")
    ap.add_argument("--check", action="store_true", help="check the patterns and stop")
    ap.add_argument("--log", default="", help="also write everything to this file")
    args = ap.parse_args()
    if args.log:
        LOG = open(args.log, "a")

    mutations, errors = read_list(Path(args.list_file))
    for e in errors:
        say("list: " + e)
    if errors:
        return 2
    chosen = mutations
    if args.only:
        numbers = parse_numbers(args.only, len(mutations))
        chosen = [m for m in chosen if m.number in numbers]
    if args.area:
        chosen = [m for m in chosen if m.area in args.area]

    if args.list:
        for m in chosen:
            say(f"#{m.number:3d} {m.area:12s} {m.place()}")
        return 0

    stale = [(m, locate(m)[1]) for m in chosen]
    stale = [(m, why) for m, why in stale if why]
    for m, why in stale:
        say(f"#{m.number} {why}: {m.place()} (list line {m.line})")
    if args.check:
        say(f"{len(chosen) - len(stale)} of {len(chosen)} patterns match")
        return 1 if stale else 0

    ws = Workspace(Path(args.build).resolve())
    if not (ws.build / "build.ninja").exists():
        say(f"{ws.build} is not a configured build; run cmake with -DCMAKE_BUILD_TYPE=Release")
        return 2
    ws.repair()

    # Ctrl-C and termination end the run through the finally below.
    def stop(signum, _frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)

    results = []
    try:
        say("building the unmutated programs and tests ...")
        if not build(ws, quiet=False):
            say("the unmutated tree does not build")
            return 2
        baseline = object_hashes(ws.build)
        timeout = args.timeout
        if not timeout:
            started = time.monotonic()
            outcome, where = run_tests(ws, list(TEST_PROGRAMS), started + 7200)
            if outcome != "pass":
                say(f"the unmutated tree fails its tests ({where})")
                return 2
            timeout = max(120.0, 3 * (time.monotonic() - started))
            say(f"unmutated tests pass in {time.monotonic() - started:.0f} s; "
                f"limit {timeout:.0f} s per mutation")

        for m in chosen:
            head = f"#{m.number} [{m.area}] {m.place()}"
            if m.equivalent:
                results.append((m, ("equivalent", "marked: " + m.equivalent)))
                say(f"{head}\n    equivalent (marked: {m.equivalent})")
                continue
            text, why = locate(m)
            if why:
                results.append((m, ("stale", why)))
                continue
            ws.mutate(m, text)
            try:
                if not build(ws):
                    results.append((m, ("no-build", "does not compile")))
                    say(f"{head}\n    does not compile (fix the entry)")
                    continue
                if object_hashes(ws.build) == baseline:
                    results.append((m, ("equivalent", "identical objects")))
                    say(f"{head}\n    equivalent (identical objects)")
                    continue
                started = time.monotonic()
                outcome, where = run_tests(ws, test_order(m), started + timeout, m.tests)
                took = time.monotonic() - started
                if outcome == "fail":
                    results.append((m, ("caught", where)))
                    say(f"{head}\n    caught by {where} ({took:.0f} s)")
                elif outcome == "timeout":
                    results.append((m, ("hang", where)))
                    say(f"{head}\n    caught: {where} ran past {timeout:.0f} s")
                else:
                    results.append((m, ("survived", "")))
                    say(f"{head}\n    SURVIVED ({took:.0f} s)")
            finally:
                ws.restore()
    except KeyboardInterrupt:
        say("\ninterrupted")
    finally:
        ws.restore()
        say("rebuilding the unmutated tree ...")
        build(ws)
    summary(results, chosen)
    return 0


if __name__ == "__main__":
    sys.exit(main())
