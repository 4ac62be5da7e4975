# Sourced by the scripts that show a real window: starts a virtual X server on a display of its own.
#   start_xvfb LOG-FILE WIDTHxHEIGHT
# sets DISPLAY (exported) and xvfb (the server's process id, for the caller's cleanup), and returns once the
# server answers.
start_xvfb() {
    display=:$((100 + $$ % 200))
    Xvfb "$display" -screen 0 "$2x24" -nolisten tcp >"$1" 2>&1 &
    xvfb=$!
    DISPLAY=$display
    export DISPLAY
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "Xvfb did not start on $display (see $1)" >&2
    return 1
}
