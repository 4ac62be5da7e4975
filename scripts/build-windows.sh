#!/bin/bash
# Cross-builds the 32-bit Ombrel.exe with mingw-w64, in build/windows-i686. Needs only mingw-w64 (no Wine).
#   scripts/build-windows.sh [--tests]     --tests: the test programs too
set -euo pipefail

cd "$(dirname "$0")/.."
targets=(--target Ombrel)
[ "${1:-}" = "--tests" ] && targets=()

cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686 -j "${OMBREL_JOBS:-2}" "${targets[@]}"
echo "Built build/windows-i686/console/win32/Ombrel.exe"
