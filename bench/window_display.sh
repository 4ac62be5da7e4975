# Sourced by the Qt window's bench scripts: a scratch folder ($data) and a virtual X server for the window,
# both gone when the script exits; Qt is told to use it, in UTF-8.
data=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill $xvfb 2>/dev/null; wait 2>/dev/null || true; rm -rf "$data"' EXIT
. scripts/start-xvfb.sh
start_xvfb "$data/xvfb.log" 1280x1024
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
