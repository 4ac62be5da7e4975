#!/usr/bin/env bash
# The Windows window's part of the benchmark, measured in one run under Wine on Xvfb:
#   - `cmd /c type` of MB of text lines (default 10), Enter to the command box emptied, against
#     `wine cmd /c type FILE | wc -c` of the same file, and the longest a message sent to the window every
#     50 ms meanwhile waited for an answer;
#   - five times as much, against that time (near linear), and whether all of it is shown;
#   - one 100 KB line against 100 KB of 60-byte lines;
#   - a grandchild that ignores Ctrl+C (its parent ignores it too): gone how long after Ctrl+C, and after the
#     window is closed.
#   bench/windows_bench.sh [MB]     (builds the windows-bench preset, in build/windows-bench)
# Needs mingw-w64, wine, Xvfb. Ombrel is a 32-bit program and is measured as one under 32-bit Wine; where this
# machine cannot execute 32-bit code at all, 32-bit Wine cannot start either, and the same sources built for
# 64-bit Windows (the windows-x86_64-bench preset) are measured under 64-bit Wine instead, as
# scripts/test-windows.sh tests them; the table says which. Ratios compare cases within this run only.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

megabytes=${1:-10}
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  preset=windows-bench winearch=win32
  measured="32-bit Ombrel.exe under 32-bit Wine"
else
  preset=windows-x86_64-bench winearch=win64
  measured="64-bit build under 64-bit Wine: this machine cannot execute 32-bit code"
  echo "windows_bench.sh: this machine cannot execute 32-bit code; measuring the 64-bit build instead." >&2
fi
build=$root/build/$preset
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "${OMBREL_JOBS:-2}" >/dev/null
driver=$build/bench/ombrel_windows_bench.exe

data=$(mktemp -d)
xvfb=
export WINEPREFIX=$build/bench-wineprefix WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$data"
}
trap cleanup EXIT
. scripts/start-xvfb.sh
start_xvfb "$data/xvfb.log" 1280x1024
run() { "$root/cmake/wine-run.sh" "$winearch" "$WINEPREFIX" "$@"; }
windows_path() { echo "Z:${1//\//\\}"; } # Wine's Z: is the root
run cmd /c exit # Wine's first start, outside every timing
ombrel=$(windows_path "$build/console/win32/Ombrel.exe")

small=$data/small.txt
big=$data/big.txt
bench/make_lines.py "$small" "$megabytes"
bench/make_lines.py "$big" $((5 * megabytes))
python3 - "$data/line.txt" "$data/lines.txt" <<'PY'
import sys
words = "".join("word%d " % (i % 1000) for i in range(20000)).encode()
with open(sys.argv[1], "wb") as f:
    f.write(words[:99999] + b"\n")
with open(sys.argv[2], "wb") as f:
    f.write(b"".join(words[i:i + 59] + b"\n" for i in range(0, 100000, 60)))
PY
cat "$small" "$big" >/dev/null # into the page cache

read -r _ banner_chars _ < <(run "$driver" run "$ombrel" "cmd /c exit" | tr -d '\r')
start=$(date +%s%N)
run cmd /c type "$(windows_path "$small")" | wc -c >/dev/null
end=$(date +%s%N)
pipe_small=$(python3 -c "print(($end - $start) / 1e9)")
read -r small_s small_chars small_wait < <(run "$driver" run "$ombrel" "cmd /c type $(windows_path "$small")" | tr -d '\r')
read -r big_s big_chars _ < <(run "$driver" run "$ombrel" "cmd /c type $(windows_path "$big")" | tr -d '\r')
read -r line_s line_chars _ < <(run "$driver" run "$ombrel" "cmd /c type $(windows_path "$data/line.txt")" | tr -d '\r')
read -r lines_s lines_chars _ < <(run "$driver" run "$ombrel" "cmd /c type $(windows_path "$data/lines.txt")" | tr -d '\r')
ctrlc_s=$(run "$driver" stop "$ombrel" ctrlc | tr -d '\r')
close_s=$(run "$driver" stop "$ombrel" close | tr -d '\r')

python3 - <<PY
# The box holds the banner, then the output with CR LF for each LF.
banner = $banner_chars
def shown(path):
    with open(path, "rb") as f:
        data = f.read()
    return banner + len(data) + data.count(b"\n")
print("Windows window, $measured, on Xvfb (one run)")
print(f"{'case':50} {'Ombrel':>9}  {'against':22} {'theirs':>9} {'ratio':>7}  target")
def row(case, ours, against, theirs, target):
    print(f"{case:50} {ours:8.3f}s  {against:22} {theirs:8.3f}s {ours / theirs:7.2f}  {target}")
row("cmd /c type $megabytes MB: Enter to box emptied", $small_s, "wine cmd /c type | wc", $pipe_small, "<= 20")
row("cmd /c type $((5 * megabytes)) MB: Enter to box emptied", $big_s, "$megabytes MB in Ombrel", $small_s, "<= 6.5")
row("cmd /c type one 100 KB line", $line_s, "100 KB of 60-byte lines", $lines_s, "<= 2")
print(f"{'longest unanswered message during $megabytes MB':50} {$small_wait:8.3f}s  {'':42}  <= 0.25 s")
print(f"{'characters shown: $megabytes MB, $((5 * megabytes)) MB':50} {$small_chars} of {shown('$small')}, "
      f"{$big_chars} of {shown('$big')}")
print(f"{'characters shown: 100 KB line, lines':50} {$line_chars} of {shown('$data/line.txt')}, "
      f"{$lines_chars} of {shown('$data/lines.txt')}")
for name, value, target in (("grandchild ignoring Ctrl+C: gone after Ctrl+C", $ctrlc_s, "<= 4 s"),
                            ("grandchild ignoring Ctrl+C: gone after closing", $close_s, "<= 1 s")):
    shown_ = "still running" if value < 0 else f"{value:8.3f}s"
    print(f"{name:50} {shown_:>9}  {'':42}  {target}")
PY
