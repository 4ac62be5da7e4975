#!/usr/bin/env bash
# Checks formatting with .clang-format and the Linux sources with .clang-tidy.
#   lint.sh BUILD_DIR     a configured build with compile_commands.json
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

# What the Linux build compiles (the Windows halves are checked by the cross build's warnings).
mapfile -t tidy < <(git ls-files 'runner/*.cpp' 'text/*.cpp' 'console/*.cpp' 'console/qt/*.cpp' | grep -v -E '_win32\.cpp$|/win32/')
echo "clang-tidy: ${#tidy[@]} files"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! printf '%s\n' "${tidy[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -quiet -p "$build" >"$log" 2>&1; then
  grep -v -E '^[0-9]+ warnings? generated|^Suppressed|^Use -header-filter' "$log"
  exit 1
fi
