#!/bin/sh
# Takes the Windows window's screenshot: runs Ombrel.exe under Wine in a virtual desktop on Xvfb (so that Wine
# draws the caption and border itself), runs two commands in it and writes docs/screenshot-windows.png.
#   scripts/screenshot-windows.sh PATH-TO-Ombrel.exe [win32|win64]
# Needs Wine, Xvfb, xdotool and ImageMagick. The Wine prefix is made next to the program, once.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ]; then
    echo "usage: $0 PATH-TO-Ombrel.exe [win32|win64]" >&2
    exit 2
fi
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
arch=${2:-win32}
prefix=$(dirname "$program")/screenshot-wineprefix
out=$root/docs/screenshot-windows.png
mkdir -p "$root/docs"

work=$(mktemp -d)
. "$root/scripts/start-xvfb.sh"
xvfb=
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
start_xvfb "$work/xvfb.log" 1024x768

# Wine's first start happens here, before the window is timed or drawn.
"$root/cmake/wine-run.sh" "$arch" "$prefix" cmd /c exit
cd "$work"
LANG=C.UTF-8 "$root/cmake/wine-run.sh" "$arch" "$prefix" explorer /desktop=Ombrel,760x520 "$program" &
app=$!
desktop=$(xdotool search --sync --onlyvisible --name "Ombrel" | head -n 1)
sleep 2

# Tab from the output box into the command box (its placeholder gives way), run two commands, then start
# typing the next one.
xdotool windowfocus --sync "$desktop"
xdotool key Tab
sleep 0.3
for line in "cmd /c echo one two three" "cmd /c ver"; do
    xdotool type --delay 20 "$line"
    xdotool key Return
    sleep 1
done
xdotool type --delay 20 "cmd /c dir"
sleep 0.5

import -window "$desktop" "$out"
identify "$out"
