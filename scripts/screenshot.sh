#!/bin/sh
# Takes the README's screenshot: runs the window under Xvfb, runs a command in it and writes docs/screenshot.png.
#   scripts/screenshot.sh [PATH-TO-OMBREL]
# Without an argument it builds the program in build/release first. Needs Xvfb, xdotool and ImageMagick.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ge 1 ]; then
    program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
else
    (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release >/dev/null)
    program=$root/build/release/console/qt/ombrel
fi
out=$root/docs/screenshot.png
mkdir -p "$root/docs"

work=$(mktemp -d)
. "$root/scripts/start-xvfb.sh"
xvfb=
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
start_xvfb "$work/xvfb.log" 1024x768

# A fixed language, so the picture does not depend on the machine.
cd "$work"
LANG=C.UTF-8 "$program" &
app=$!
window=$(xdotool search --sync --onlyvisible --name "Quarn's Command Prompt" | head -n 1)
sleep 0.5
xdotool windowfocus --sync "$window"

# Click into the command box (its placeholder gives way), run a command, then start typing the next one.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" 200 390 click 1
sleep 0.2
for line in "uname -s" \
    "printf '\\e[1;32mpassed\\e[0m 12  \\e[1;31mfailed\\e[0m 1  \\e[38;5;208mskipped\\e[0m 3  \\e[4mlog.txt\\e[0m\\n'" \
    "printf 'name\\tsize\\nalpha\\t1\\nbe\\t22\\n'" \
    "printf 'Gr\\u00fc\\u00dfe \\u041f\\u0440\\u0438\\u0432\\u0435\\u0442 \\u4f60\\u597d \\u0645\\u0631\\u062d\\u0628\\u0627 \\U0001F600\\n'"; do
    xdotool type --delay 20 "$line"
    xdotool key Return
    sleep 0.3
done
xdotool type --delay 20 "date"
sleep 0.3

import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
identify "$out"
