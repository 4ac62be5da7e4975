#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the Linux build (and its lint), the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the 32-bit Windows build under Wine.
#   test.sh             everything
#   test.sh --linux     skip the Windows build
set -euo pipefail
cd "$(dirname "$0")/.."

windows=true
[[ "${1:-}" == "--linux" ]] && windows=false

if $windows; then scripts/install-deps.sh --windows; else scripts/install-deps.sh; fi

jobs=$(nproc)
run_suite() { # build-dir, cmake options...
  local dir=$1
  shift
  echo "=== $dir"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite build/debug -DCMAKE_BUILD_TYPE=Debug
# The size of the tests against the product code, where the shared tools sit beside the repository.
if [[ -x ../shared/tools/test-ratio ]]; then
  ../shared/tools/test-ratio . || true
fi
echo "=== lint"
scripts/lint.sh build/debug

# Any sanitizer report fails the run.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DOMBREL_SANITIZE=ON
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

# Each fuzz target for a short while, so that they keep building and keep agreeing with their models.
if command -v clang++ >/dev/null; then
  scripts/fuzz.sh 20
fi

if $windows; then
  echo "=== build/windows"
  scripts/test-windows.sh
fi

# The .deb and the Windows zip, from clean Release builds, checked as a packager would.
echo "=== packages"
if $windows; then scripts/check-packages.sh; else scripts/check-packages.sh --linux; fi
