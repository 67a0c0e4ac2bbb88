#!/bin/sh
# Unpaced frame rate of the viewer with and without the Statistics window open (and the
# pointer over the picture, so the inspector works too), from time.inf, under a virtual
# X server. Usage: bench/statistics-speed.sh [BUILD_DIR] [SECONDS] [CAMERA]
set -eu
BUILD=$(realpath "${1:-build}")
RUN_SECONDS=${2:-8}
CAMERA=${3:-sim,fps=0}
PANDRY="$BUILD/app/pandry"
[ -x "$PANDRY" ] || { echo "no viewer at $PANDRY" >&2; exit 1; }
SCRATCH_NAME=pandry-statistics-speed
FIRST_DISPLAY=230
BENCH_DIR=$(dirname "$(realpath "$0")")
. "$BENCH_DIR/../scripts/virtual-display.sh"  # moves into a scratch folder
. "$BENCH_DIR/viewer-session.sh"

# $1: "open" to open the Statistics window and hover the picture while running.
run() {
    launch "$CAMERA"
    if [ "$1" = open ]; then
        xdotool key ctrl+t
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$WID")"
        xdotool mousemove $((X + 120)) $((Y + 150))
        xdotool windowfocus --sync "$WID"
    fi
    xdotool key F5
    sleep "$RUN_SECONDS"
    xdotool key F5
    sleep 0.5
    kill "$VIEWER_PID"
    wait "$VIEWER_PID" 2>/dev/null || true
    VIEWER_PID=
    frames_per_second
}

WITHOUT=$(run closed)
WITH=$(run open)
echo "unpaced frames a second ($CAMERA): without the window $WITHOUT, with it $WITH" \
     "($((WITH * 100 / WITHOUT))%)"
