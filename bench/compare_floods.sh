#!/usr/bin/env bash
# The window's floods for two or more builds side by side, beside the floor, in one run: for comparing a tree
# before and after a change (copy the older build's ombrel_window_bench aside first). Each round runs the
# floor and then each driver in turn; the median and the best of the rounds are printed, with the peak RSS
# beyond idle per output byte.
#   bench/compare_floods.sh ROUNDS DRIVER...
#   e.g. bench/compare_floods.sh 11 /tmp/old/ombrel_window_bench build/bench/bench/ombrel_window_bench
# Cases: 50 MB of text lines, 50 MB of coloured lines, 50 MB of CR LF, 30 MB of a meter on one line, 5 MB of
# random bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=$1
shift
cmake --preset bench >/dev/null
cmake --build --preset bench --target ombrel_runner_bench >/dev/null
runner=build/bench/bench/ombrel_runner_bench

. bench/window_display.sh

bench/make_lines.py "$data/lines" 50
bench/make_lines.py "$data/coloured" 50 coloured
python3 -c 'import sys; open(sys.argv[1], "wb").write(b"\r\n" * 25000000)' "$data/returns"
python3 -c 'import sys; open(sys.argv[1], "wb").write(b"".join(b"\r\x1b[K%7d%%" % i for i in range(2500000)))' "$data/meter"
head -c 5000000 /dev/urandom >"$data/random"

median() { sort -n | sed -n "$(((rounds + 1) / 2))p"; }
printf '%-9s %16s' case 'floor (best)'
for driver in "$@"; do printf ' | %-34s' "$(basename "$(dirname "$driver")")/$(basename "$driver")"; done
echo
for name in lines coloured returns meter random; do
  file=$data/$name
  cat "$file" >/dev/null
  bytes=$(stat -c %s "$file")
  floors=()
  declare -A runs=()
  for _ in $(seq "$rounds"); do
    floors+=("$("$runner" floor cat "$file" 2>/dev/null | cut -d' ' -f2)")
    for driver in "$@"; do runs[$driver]+="$("$driver" run "$bytes" cat "$file" 2>/dev/null | cut -d' ' -f1,2)"$'\n'; done
  done
  floor=$(printf '%s\n' "${floors[@]}" | median)
  printf '%-9s %7.3f (%6.3f)' "$name" "$floor" "$(printf '%s\n' "${floors[@]}" | sort -n | head -1)"
  for driver in "$@"; do
    read -r seconds rss < <(printf '%s' "${runs[$driver]}" | median)
    best=$(printf '%s' "${runs[$driver]}" | sort -n | head -1 | cut -d' ' -f1)
    printf ' | %6.3f s %5.2fx best %6.3f %4.2fB' "$seconds" "$(python3 -c "print($seconds / $floor)")" "$best" "$rss"
  done
  echo
  unset runs
done
