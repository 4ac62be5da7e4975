#!/usr/bin/env bash
# Builds the fuzz targets (the fuzz preset: clang's libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# into build/fuzz and runs each for SECONDS (60 by default), starting from its seeds in tests/fuzz/corpus/; what a
# run learns stays in build/fuzz/corpus/. Any mismatch with a target's model or any sanitizer report fails.
#   fuzz.sh [SECONDS] [cmake options...]   e.g. fuzz.sh 600 -DCMAKE_BUILD_TYPE=Debug
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

cmake --preset fuzz "$@" >/dev/null
cmake --build --preset fuzz -j 2
targets=(utf8 command_line_split console_output output_text text_search)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=()
for target in "${targets[@]}"; do
  echo "=== fuzz $target (${seconds} s)"
  corpus=build/fuzz/corpus/$target
  log=build/fuzz/$target.log
  mkdir -p "$corpus" build/fuzz/findings
  if ! build/fuzz/tests/fuzz/"${target}"_fuzz -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 \
    -artifact_prefix=build/fuzz/findings/"$target"- -print_final_stats=1 "$corpus" "tests/fuzz/corpus/$target" \
    >"$log" 2>&1; then
    tail -n 40 "$log"
    failed+=("$target")
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
done
if ((${#failed[@]} > 0)); then
  echo "fuzz: a mismatch or sanitizer report in ${failed[*]} (inputs in build/fuzz/findings/)" >&2
  exit 1
fi
