#!/bin/bash
# Cross-builds Ombrel and its tests for Windows with mingw-w64 and runs the tests under Wine, in a prefix made
# afresh for this run. Installs nothing: it needs mingw-w64, wine (with wine32 for 32-bit programs), xvfb and
# xauth.
#   scripts/test-windows.sh [--arch auto|i686|x86_64] [ctest arguments...]
# Ombrel is 32-bit and is built in build/windows-i686 (the windows-i686 preset). Where this machine cannot
# execute 32-bit code at all (some virtual machines cannot), 32-bit Wine cannot start either; `auto` then tests
# the same sources built as 64-bit programs under 64-bit Wine, in build/windows-x86_64, and says so.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${OMBREL_JOBS:-2}
arch=auto
if [ "${1:-}" = "--arch" ]; then
    arch=${2:?--arch needs auto, i686 or x86_64}
    shift 2
fi

configure_and_build() { # PRESET (CMakePresets.json), built in build/PRESET
    # Said once: the run under Xvfb below comes back here and finds the build done.
    [ -n "${OMBREL_IN_XVFB:-}" ] || echo "=== build/$1"
    (cd "$root" && cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs")
}

# 32-bit Wine is a 32-bit Linux program; if the kernel will not run one, neither will it.
can_run_32_bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The program itself, always 32-bit.
configure_and_build windows-i686

case "$arch" in
auto)
    if can_run_32_bit; then
        arch=i686
    else
        echo "test-windows.sh: this machine cannot execute 32-bit code, so 32-bit Wine cannot run here;" >&2
        echo "test-windows.sh: testing the same sources built for 64-bit Windows under 64-bit Wine instead." >&2
        arch=x86_64
    fi
    ;;
i686 | x86_64) ;;
*)
    echo "test-windows.sh: unknown architecture '$arch' (auto, i686 or x86_64)" >&2
    exit 2
    ;;
esac

preset=windows-$arch
build="$root/build/$preset"
if [ "$arch" = i686 ]; then
    winearch=win32
else
    winearch=win64
    configure_and_build "$preset"
fi

# The window tests need a display; without one, the tests run under a virtual one.
if [ -z "${DISPLAY:-}" ] && [ -z "${OMBREL_IN_XVFB:-}" ]; then
    exec env OMBREL_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --arch "$arch" "$@"
fi

prefix="$build/wineprefix"
run="$root/cmake/wine-run.sh"
export WINEPREFIX="$prefix" WINEDEBUG=-all

# One prefix per run, made before the first test so that Wine's first start is in no test's time.
if [ -d "$prefix" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix" "$prefix.lock"
fi
started=$(date +%s.%N)
"$run" "$winearch" "$prefix" cmd /c exit
prepared=$(date +%s.%N)

# A program that waits on its input for the whole run keeps Wine's own services up between tests, instead of
# starting them again (and holding the first test's output open) for each one.
keeper="$build/wine-keeper.fifo"
rm -f "$keeper"
mkfifo "$keeper"
"$run" "$winearch" "$prefix" cmd <"$keeper" >/dev/null 2>&1 &
keeper_pid=$!
exec 8>"$keeper"
# shellcheck disable=SC2317 # run by the EXIT trap
finish() {
    exec 8>&- # end of input: the keeper exits
    wait "$keeper_pid" 2>/dev/null || true
    rm -f "$keeper"
    wineserver -k 2>/dev/null || true # nothing of this run stays behind
}
trap finish EXIT

status=0
(cd "$root" && ctest --preset "$preset" -j "$jobs" "$@") || status=$?
ended=$(date +%s.%N)

awk -v a="$started" -v b="$prepared" -v c="$ended" -v w="$winearch" -v x="$arch" 'BEGIN {
    printf "Wine (%s, %s build): prefix created in %.1f s, tests ran in %.1f s\n", w, x, b - a, c - b }'
exit "$status"
