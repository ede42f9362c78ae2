#!/usr/bin/env bash
# kestrel-explain's figures, natively (scripts/bench runs this after the Wine benchmark;
# it also runs alone): explaining one code, and annotating a generated 10 MB build log
# compared with `cat` of the same file, the floor of copying it at all. Both copies read
# the log from the page cache (each is run once before it is timed) and write a file
# beside it; the two are timed back to back in each round. Prints medians of wall time
# and of CPU time (user and system); checks nothing.
#   bench/explain-bench.sh [--rounds N]       (default 21)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

rounds=21
if [ "${1:-}" = --rounds ] && [[ ${2:-} =~ ^[1-9][0-9]*$ ]]; then
  rounds=$2
elif [ $# -ne 0 ]; then
  echo "usage: bench/explain-bench.sh [--rounds N]" >&2
  exit 2
fi

source scripts/trees
build_native kestrel-explain explain_modules >/dev/null
program=$top/$native/kestrel-explain
modules=$top/$native
work=$top/build/bench-explain
mkdir -p "$work"
log=$work/build.log
awk -v megabytes=10 -f bench/make-build-log.awk >"$log"

python3 - "$rounds" "$program" "$modules" "$log" "$work" <<'PY'
import os, resource, statistics, subprocess, sys
from time import perf_counter_ns as time_ns

rounds = int(sys.argv[1])
program, modules, log, work = sys.argv[2:6]

def timed(command, output):
    """Wall time and the child's CPU time (user + system), in milliseconds."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time_ns()
    with open(output, "wb") as out:
        subprocess.run(command, stdout=out, check=False)
    wall = (time_ns() - start) / 1e6
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1e3
    return wall, cpu


explain = [program, "--modules", modules, "A2008"]
annotate = [program, "--modules", modules, "--annotate", log]
copy = ["cat", log]
results = {name: [] for name in ("explain", "true", "annotate", "cat")}
ratios = []
for command, output in ((explain, os.devnull), (annotate, work + "/annotated.out"), (copy, work + "/cat.out")):
    timed(command, output)  # once untimed: the files in the page cache, the program loaded
for _ in range(rounds):
    results["explain"].append(timed(explain, os.devnull))
    results["true"].append(timed(["true"], os.devnull))
    cat = timed(copy, work + "/cat.out")
    ann = timed(annotate, work + "/annotated.out")
    results["cat"].append(cat)
    results["annotate"].append(ann)
    ratios.append(ann[0] / cat[0])

def median(name, which):
    return statistics.median(r[which] for r in results[name])

size = os.path.getsize(log)
with open(log, "rb") as f:
    lines = f.read().count(b"\n")
with open(work + "/annotated.out", "rb") as f:
    added = f.read().count(b"\n") - lines

def rate(ms):
    return size / 1e6 / (ms / 1e3)

print(f"kestrel-explain, native ({os.uname().machine}), {rounds} rounds each, medians in ms (wall / CPU)")
print(f"  explain A2008 (start, read the eight modules, write):  {median('explain', 0):7.2f} / {median('explain', 1):6.2f}")
print(f"    floor: starting `true`:                               {median('true', 0):7.2f} / {median('true', 1):6.2f}")
print(f"  annotate a {size}-byte log of {lines} lines ({added} explanations added), to a file:")
print(f"    kestrel-explain --annotate FILE:  {median('annotate', 0):7.2f} / {median('annotate', 1):6.2f}"
      f"   {rate(median('annotate', 0)):5.0f} MB/s")
print(f"    floor: cat FILE:                  {median('cat', 0):7.2f} / {median('cat', 1):6.2f}"
      f"   {rate(median('cat', 0)):5.0f} MB/s")
print(f"    wall-time ratio, median of each round's own: {statistics.median(ratios):.2f}")
PY
