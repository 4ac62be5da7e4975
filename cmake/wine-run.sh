#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh win32|win64 PREFIX PROGRAM [ARGUMENTS...]
# The prefix is created on first use, once (a lock keeps parallel test runs from booting it twice), so Wine's
# first-start time is spent before the first program and never inside one.
set -eu

# Each program runs in a process group of its own, so that whatever it leaves running can be ended with it.
if [ -z "${OMBREL_WINE_RUN_GROUP:-}" ]; then
    OMBREL_WINE_RUN_GROUP=1 exec setsid -w "$0" "$@"
fi

if [ $# -lt 3 ]; then
    echo "usage: $0 win32|win64 PREFIX PROGRAM [ARGUMENTS...]" >&2
    exit 2
fi
arch=$1
prefix=$2
shift 2

export WINEARCH="$arch"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko downloads: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

case "$arch" in
win32) loader=wine ;;
win64)
    # Debian's `wine` starts the 32-bit loader whenever wine32 is installed, even for 64-bit programs.
    if [ -x /usr/lib/wine/wine64 ]; then
        loader=/usr/lib/wine/wine64
        export WINELOADER="$loader"
    else
        loader=wine64
    fi
    ;;
*)
    echo "wine-run.sh: unknown Wine architecture '$arch' (win32 or win64)" >&2
    exit 2
    ;;
esac

if [ ! -f "$prefix/.ombrel-ready" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        if [ ! -f "$prefix/.ombrel-ready" ]; then
            if ! "$loader" wineboot -i >/dev/null 2>&1; then
                echo "wine-run.sh: could not create the Wine prefix $prefix with $loader" >&2
                exit 1
            fi
            wineserver -w
            touch "$prefix/.ombrel-ready"
        fi
    ) 9>"$prefix.lock"
fi
# The first Wine program to run would start the wineserver with its own output streams, and a test runner
# waiting for those to close would wait for the server to quit. A server started here holds none of them
# (and just exits if one is running already); it stays a few seconds after the last program, for the next.
wineserver -p5 </dev/null >/dev/null 2>&1 || true
status=0
"$loader" "$@" || status=$?

# A child left blocked (for instance writing into a pipe whose only other end it inherited itself) would keep
# the test runner's output open for ever. Wine's own services run in sessions of their own and are not touched.
for pid in $(pgrep -g $$ || true); do
    [ "$pid" != $$ ] || continue
    command=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" || true)
    [ -n "$command" ] || continue # already gone, or a zombie about to be
    echo "wine-run.sh: ending what the program left running: $command" >&2
    kill -KILL "$pid" 2>/dev/null || true
done
exit $status
