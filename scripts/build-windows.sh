#!/bin/bash
# Cross-builds the 32-bit Ombrel.exe with mingw-w64, in build-win. Needs only mingw-w64 (no Wine).
#   scripts/build-windows.sh [--tests]     --tests: the test programs too
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
targets=(Ombrel)
[ "${1:-}" = "--tests" ] && targets=()

cmake -G Ninja -S "$root" -B "$root/build-win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$root/build-win" -j "${OMBREL_JOBS:-2}" "${targets[@]}"
echo "Built $(find "$root/build-win" -path "$root/build-win/x86_64-tests" -prune -o -name Ombrel.exe -print | head -n 1)"
