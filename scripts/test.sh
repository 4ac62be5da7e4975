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
run_suite() { # preset (CMakePresets.json: each builds in build/<preset>)
  echo "=== build/$1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

run_suite debug
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
run_suite sanitize
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

# Each fuzz target for a short while, so that they keep building and keep agreeing with their models.
if command -v clang++ >/dev/null; then
  scripts/fuzz.sh 20
fi

if $windows; then
  # It names the folders it builds and tests in (build/windows-i686, and build/windows-x86_64 where this
  # machine cannot execute 32-bit code).
  scripts/test-windows.sh
fi

# The .deb and the Windows zip, from clean Release builds, checked as a packager would.
echo "=== packages"
if $windows; then scripts/check-packages.sh; else scripts/check-packages.sh --linux; fi
