#!/usr/bin/env bash
# kestrel-explain's figures, natively (scripts/bench runs this after the Wine benchmark;
# it also runs alone): explaining one code, and annotating a generated 10 MB build log
# compared with `cat` of the same file, the floor of copying it at all. Both copies read
# the log from the page cache (each is run once before it is timed) and write a file
# beside it. Prints medians; checks nothing.
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
modules=$top/$native/modules
work=$top/build/bench-explain
mkdir -p "$work"
log=$work/build.log
awk -v megabytes=10 -f bench/make-build-log.awk >"$log"

now() { echo $((${EPOCHREALTIME/./} * 1000)); }
# median of the numbers on standard input
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# milliseconds with three decimals from nanoseconds
ms() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e6 }'; }

"$program" --modules "$modules" A2008 >/dev/null
explain=()
start_floor=()
for ((i = 0; i < rounds; ++i)); do
  t0=$(now); "$program" --modules "$modules" A2008 >/dev/null; t1=$(now)
  /bin/true; t2=$(now)
  explain+=($((t1 - t0)))
  start_floor+=($((t2 - t1)))
done

cat "$log" >"$work/cat.out"
"$program" --modules "$modules" --annotate "$log" >"$work/annotated.out"
copy=()
annotate=()
ratios=()
for ((i = 0; i < rounds; ++i)); do
  t0=$(now); cat "$log" >"$work/cat.out"; t1=$(now)
  "$program" --modules "$modules" --annotate "$log" >"$work/annotated.out"; t2=$(now)
  copy+=($((t1 - t0)))
  annotate+=($((t2 - t1)))
  ratios+=("$(awk -v a=$((t2 - t1)) -v c=$((t1 - t0)) 'BEGIN { printf "%.3f", a / c }')")
done

bytes=$(stat -c %s "$log")
lines=$(wc -l <"$log")
added=$(($(wc -l <"$work/annotated.out") - lines))
copy_median=$(printf '%s\n' "${copy[@]}" | median)
annotate_median=$(printf '%s\n' "${annotate[@]}" | median)
rate() { awk -v b="$bytes" -v ns="$1" 'BEGIN { printf "%.0f", b / 1e6 / (ns / 1e9) }'; }

echo "kestrel-explain, native ($(uname -m)), $rounds rounds each, medians"
echo "  explain A2008 (process start, reading the eight modules, output): $(ms "$(printf '%s\n' "${explain[@]}" | median)") ms"
echo "    floor: starting /bin/true:                                       $(ms "$(printf '%s\n' "${start_floor[@]}" | median)") ms"
echo "  annotate a $bytes-byte log of $lines lines ($added explanations added):"
echo "    kestrel-explain --annotate FILE > file: $(ms "$annotate_median") ms, $(rate "$annotate_median") MB/s"
echo "    floor: cat FILE > file:                 $(ms "$copy_median") ms, $(rate "$copy_median") MB/s"
echo "    ratio (median of each round's own):     $(printf '%s\n' "${ratios[@]}" | median)"
