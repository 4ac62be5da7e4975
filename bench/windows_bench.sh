#!/usr/bin/env bash
# The Windows window's part of the benchmark, measured in one run under 32-bit Wine on Xvfb:
#   - `cmd /c type` of MB of text lines (default 10), Enter to the command box emptied, against
#     `wine cmd /c type FILE | wc -c` of the same file;
#   - five times as much, against that time (near linear), and whether all of it is shown;
#   - a grandchild that ignores Ctrl+C (its parent ignores it too): gone how long after Ctrl+C, and after the
#     window is closed.
#   bench/windows_bench.sh [MB]     (builds the windows-bench preset, in build/windows-bench)
# Needs mingw-w64, wine (wine32), Xvfb. Ratios compare cases within this run only.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

megabytes=${1:-10}
build=$root/build/windows-bench
cmake --preset windows-bench >/dev/null
cmake --build --preset windows-bench -j "${OMBREL_JOBS:-2}" >/dev/null
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
run() { "$root/cmake/wine-run.sh" win32 "$WINEPREFIX" "$@"; }
run cmd /c exit # Wine's first start, outside every timing
ombrel=$(winepath -w "$build/console/win32/Ombrel.exe" 2>/dev/null)

small=$data/small.txt
big=$data/big.txt
bench/make_lines.py "$small" "$megabytes"
bench/make_lines.py "$big" $((5 * megabytes))
cat "$small" "$big" >/dev/null # into the page cache
small_w=$(winepath -w "$small" 2>/dev/null)
big_w=$(winepath -w "$big" 2>/dev/null)

read -r _ banner_chars < <(run "$driver" run "$ombrel" "cmd /c exit" | tr -d '\r')
start=$(date +%s%N)
run cmd /c type "$small_w" | wc -c >/dev/null
end=$(date +%s%N)
pipe_small=$(python3 -c "print(($end - $start) / 1e9)")
read -r small_s small_chars < <(run "$driver" run "$ombrel" "cmd /c type $small_w" | tr -d '\r')
read -r big_s big_chars < <(run "$driver" run "$ombrel" "cmd /c type $big_w" | tr -d '\r')
ctrlc_s=$(run "$driver" stop "$ombrel" ctrlc | tr -d '\r')
close_s=$(run "$driver" stop "$ombrel" close | tr -d '\r')

python3 - <<PY
# The box holds the banner, then the output with CR LF for each LF.
banner = $banner_chars
def lines_in(path):
    with open(path, "rb") as f:
        data = f.read()
    return banner + len(data) + data.count(b"\n")
small_expected, big_expected = lines_in("$small"), lines_in("$big")
print("Windows window, 32-bit Wine on Xvfb (one run)")
print(f"{'case':50} {'Ombrel':>9}  {'against':22} {'theirs':>9} {'ratio':>7}  target")
print(f"{'cmd /c type $megabytes MB: Enter to box emptied':50} {$small_s:8.3f}s  {'wine cmd /c type | wc':22} "
      f"{$pipe_small:8.3f}s {$small_s / $pipe_small:7.2f}  <= 20")
print(f"{'cmd /c type $((5 * megabytes)) MB: Enter to box emptied':50} {$big_s:8.3f}s  {'$megabytes MB in Ombrel':22} "
      f"{$small_s:8.3f}s {$big_s / $small_s:7.2f}  <= 6.5")
print(f"{'characters shown, $megabytes MB / $((5 * megabytes)) MB':50} {$small_chars} of {small_expected}, "
      f"{$big_chars} of {big_expected}")
for name, value, target in (("grandchild ignoring Ctrl+C: gone after Ctrl+C", $ctrlc_s, "<= 4 s"),
                            ("grandchild ignoring Ctrl+C: gone after closing", $close_s, "<= 1 s")):
    shown = "still running" if value < 0 else f"{value:8.3f}s"
    print(f"{name:50} {shown:>9}  {'':42}  {target}")
PY
