#!/usr/bin/env bash
# Ombrel's benchmark: builds in Release, then prints a table measured in this one run.
#   bench/run.sh [MB] [--gigabyte]     MB of text lines to read (default 200); --gigabyte adds the window's
#                                      1 GB case (slow)
# Each case runs in a process of its own (so its peak RSS is its own), three rounds interleaved; the table shows
# the median time. Ratios compare cases within this run only: absolute numbers vary with the machine's load.
set -euo pipefail
cd "$(dirname "$0")/.."

megabytes=${1:-200}
build=build/bench
cmake --preset bench >/dev/null
cmake --build --preset bench --target ombrel_runner_bench >/dev/null

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
file=$data/lines.txt
bench/make_lines.py "$file" "$megabytes"
cat "$file" >/dev/null # into the page cache

cases=(bare256 bare64k required qprocess spillways)
declare -A times rss
for round in 1 2 3; do
  for mode in "${cases[@]}"; do
    read -r units seconds peak < <("$build/bench/ombrel_runner_bench" "$mode" "$file")
    times[$mode]+="$seconds "
    rss[$mode]+="$peak "
  done
done

python3 - "$megabytes" <<PY
import statistics, sys
mb = int(sys.argv[1])
times = {$(for m in "${cases[@]}"; do printf "'%s': [%s], " "$m" "$(echo ${times[$m]} | tr ' ' ',')"; done)}
rss = {$(for m in "${cases[@]}"; do printf "'%s': [%s], " "$m" "$(echo ${rss[$m]} | tr ' ' ',')"; done)}
names = {
    "bare256": "bare read loop, 256-byte reads",
    "bare64k": "bare read loop, 64 KiB reads",
    "required": "required work: 256-byte reads kept as UTF-16, copy returned",
    "qprocess": "QProcess merged + readAll + QString::fromUtf8",
    "spillways": "Spillways::ExecuteCommand, counting listener",
}
size = mb * 1000 * 1000
median = {m: statistics.median(t) for m, t in times.items()}
print(f"Runner: {mb} MB of text lines through a pipe, median of 3 rounds")
print(f"{'case':62} {'MB/s':>8} {'x required':>11} {'peak RSS B/B':>13}")
for m in times:
    speed = size / median[m] / 1e6
    ratio = median["required"] / median[m]
    print(f"{names[m]:62} {speed:8.0f} {ratio:11.2f} {max(rss[m]) / size:13.2f}")
s, q = median["required"] / median["spillways"], median["qprocess"] / median["spillways"]
print()
print(f"Spillways vs required work: {s:.2f} (target >= 0.85); vs QProcess + fromUtf8: {q:.2f} (stretch >= 1.0)")
print(f"Spillways peak RSS per output byte: {max(rss['spillways']) / size:.2f} (target <= 5, stretch <= 3)")
PY

# Find over the output box's store: 1 GB of text lines and 50 M characters of mixed scripts, held in memory.
echo
cmake --build --preset bench --target ombrel_search_bench >/dev/null
echo "Find in the output (over the store, no window; best of 3)"
"$build/bench/ombrel_search_bench" 1000 50

if [[ -x bench/window_bench.sh ]]; then
  echo
  bench/window_bench.sh 50 "${2:-}"
fi
