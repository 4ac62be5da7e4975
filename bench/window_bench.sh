#!/usr/bin/env bash
# The window's part of the benchmark, measured in one run under Xvfb, side by side with xterm:
#   - Enter to the last byte shown, for 50 MB of text lines, against `xterm -e cat` of the same file;
#   - a 1 MB line with no line break;
#   - start to the window's first paint, against `xterm -e true`;
#   - peak RSS beyond the idle window per output byte;
#   - the same text lines with and without the window handling its events during the run, three rounds
#     interleaved (median), for what keeping the window alive costs a flood.
#   bench/window_bench.sh [MB]     (default 50; the build goes to $OMBREL_BENCH_BUILD, default build/bench)
# Needs Xvfb and xterm. Ratios compare cases within this run only.
set -euo pipefail
cd "$(dirname "$0")/.."

megabytes=${1:-50}
build=${OMBREL_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBREL_BUILD_TESTS=OFF -DOMBREL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target ombrel_window_bench >/dev/null
driver=$build/bench/ombrel_window_bench
for tool in Xvfb xterm xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "window_bench.sh: $tool is needed" >&2; exit 1; }
done

data=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill $xvfb 2>/dev/null; wait 2>/dev/null || true; rm -rf "$data"' EXIT
. scripts/start-xvfb.sh
start_xvfb "$data/xvfb.log" 1280x1024
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8

lines=$data/lines.txt
line=$data/line.txt
bench/make_lines.py "$lines" "$megabytes"
python3 -c 'import sys; open(sys.argv[1], "wb").write(b"x" * 1000 * 1000)' "$line"
cat "$lines" "$line" >/dev/null # into the page cache

seconds_of() { # command...: wall time in seconds
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  python3 -c "print(($end - $start) / 1e9)"
}

# First paint: the best of five starts each, interleaved.
paints=()
xterm_trues=()
for _ in 1 2 3 4 5; do
  paints+=("$("$driver" first-paint "$(date +%s%N)" 2>/dev/null)")
  xterm_trues+=("$(seconds_of xterm -e true)")
done
best_paint=$(python3 -c "print(min([$(IFS=,; echo "${paints[*]}")]) / 1000)")
best_xterm_true=$(python3 -c "print(min([$(IFS=,; echo "${xterm_trues[*]}")]))")

lines_bytes=$(stat -c %s "$lines")
line_bytes=$(stat -c %s "$line")
read -r lines_seconds lines_rss lines_paints lines_chars < <("$driver" run "$lines_bytes" cat "$lines" 2>/dev/null)
xterm_cat=$(seconds_of xterm -e cat "$lines")
read -r line_seconds line_rss line_paints line_chars < <("$driver" run "$line_bytes" cat "$line" 2>/dev/null)

# Keeping the window alive during a flood, with against without.
with_events=()
without_events=()
for _ in 1 2 3; do
  with_events+=("$("$driver" run "$lines_bytes" cat "$lines" 2>/dev/null | cut -d' ' -f1)")
  without_events+=("$("$driver" run-without-events "$lines_bytes" cat "$lines" 2>/dev/null | cut -d' ' -f1)")
done
median() { python3 -c "import statistics, sys; print(statistics.median(map(float, sys.argv[1:])))" "$@"; }
events_on=$(median "${with_events[@]}")
events_off=$(median "${without_events[@]}")

[[ "$lines_chars" == "$lines_bytes" && "$line_chars" == "$line_bytes" ]] ||
  echo "warning: the window holds $lines_chars and $line_chars characters for $lines_bytes and $line_bytes bytes" >&2

python3 - <<PY
rows = [
    ("$megabytes MB of text lines, Enter to last byte shown", $lines_seconds, $xterm_cat, "<= 0.5 (stretch 0.3)",
     "$lines_paints paints"),
    ("1 MB line with no break, Enter to last byte shown", $line_seconds, None, "< 2 s", "$line_paints paints"),
    ("start to first paint (best of 5)", $best_paint, $best_xterm_true, "<= 1.25 (stretch 1.0)", ""),
]
print("Window, under Xvfb (one run)")
print(f"{'case':52} {'Ombrel':>9} {'xterm':>9} {'ratio':>7}  {'target':22} note")
for name, ours, theirs, target, note in rows:
    xterm = f"{theirs:8.3f}s" if theirs is not None else f"{'-':>9}"
    ratio = f"{ours / theirs:7.2f}" if theirs else f"{'-':>7}"
    print(f"{name:52} {ours:8.3f}s {xterm} {ratio}  {target:22} {note}")
print(f"{'$megabytes MB flood, window events handled (vs not), median of 3':52} {$events_on:8.3f}s {$events_off:8.3f}s {$events_on / $events_off:7.3f}  {'<= 1.05':22} second column: not handled")
print(f"{'peak RSS beyond idle per output byte, $megabytes MB':52} {$lines_rss:8.2f}B {'-':>9} {'-':>7}  {'<= 8':22}")
print(f"{'peak RSS beyond idle per output byte, 1 MB line':52} {$line_rss:8.2f}B {'-':>9} {'-':>7}  {'<= 8':22}")
PY
