#!/bin/sh
# Speed of the whole viewer in a virtual X server, with the simulated camera unpaced:
# frames a second at 256 x 256 black-and-white and at 512 x 512 colour (counted by
# time.inf), how long a command takes to reach the window while frames stream, and the
# resident memory over a long run.
# Usage: bench/viewer-speed.sh [BUILD_DIR] [MEMORY_SECONDS]
set -eu
BUILD=$(realpath "${1:-build}")
SECONDS_MEMORY=${2:-60}
PANDRY="$BUILD/app/pandry"
[ -x "$PANDRY" ] || { echo "no viewer at $PANDRY" >&2; exit 1; }
SCRATCH_NAME=pandry-speed
FIRST_DISPLAY=190
BENCH_DIR=$(dirname "$(realpath "$0")")
. "$BENCH_DIR/../scripts/virtual-display.sh"  # moves into a scratch folder
. "$BENCH_DIR/viewer-session.sh"

now_ms() { date +%s%3N; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$VIEWER_PID/status"; }

quit() {
    xdotool windowfocus --sync "$WID"
    xdotool key alt+f
    sleep 0.3
    xdotool key x
    wait "$VIEWER_PID" || true
    VIEWER_PID=
}
window_height() { xdotool getwindowgeometry --shell "$WID" | sed -n 's/^HEIGHT=//p'; }

# 256 x 256 black-and-white: rate and memory over the long run.
launch "sim,fps=0"
xdotool key F5
sleep 2
RSS_START=$(rss_kb)
RSS_MAX=$RSS_START
ELAPSED=0
while [ "$ELAPSED" -lt "$SECONDS_MEMORY" ]; do
    sleep 5
    ELAPSED=$((ELAPSED + 5))
    RSS=$(rss_kb)
    [ "$RSS" -gt "$RSS_MAX" ] && RSS_MAX=$RSS
done
RSS_END=$(rss_kb)
xdotool key F5
sleep 0.5
MONO_REPORT=$(cat time.inf)
MONO_FPS=$(frames_per_second)

# Command latency: Histogram resizes the window by 100 rows; time from sending the keys to
# the new size as the X server reports it, idle and while frames stream. Starting xdotool
# and asking for the geometry take tens of milliseconds themselves, so the idle figure is
# the tools' own share and the difference is what streaming adds.
measure_latency() {
    WORST=0
    TOTAL=0
    for _ in $(seq 10); do
        BEFORE=$(window_height)
        START=$(now_ms)
        xdotool key --delay 0 alt+v h
        while [ "$(window_height)" = "$BEFORE" ]; do :; done
        LATENCY=$(( $(now_ms) - START ))
        TOTAL=$((TOTAL + LATENCY))
        [ "$LATENCY" -gt "$WORST" ] && WORST=$LATENCY
        sleep 0.2
    done
    echo "worst $WORST ms, mean $((TOTAL / 10)) ms"
}
LATENCY_IDLE=$(measure_latency)
xdotool key F5
sleep 1
LATENCY_RUNNING=$(measure_latency)
xdotool key F5
quit

# 512 x 512 colour: Settings (colour sensor), then Zoom, which starts acquisition.
launch "sim-color,fps=0"
xdotool key alt+s
sleep 0.3
xdotool key Return
SETTINGS=$(timeout 10 xdotool search --sync --onlyvisible --name '^Settings$' | head -1)
sleep 0.5
# The Color radio button of the dialog, in pixels from its top-left corner.
xdotool mousemove --window "$SETTINGS" 71 309 click 1
sleep 0.2
xdotool key Return
sleep 0.5
xdotool windowfocus --sync "$WID"
xdotool key alt+v
sleep 0.3
xdotool key z
sleep 10
xdotool key F5
sleep 0.5
COLOR_REPORT=$(cat time.inf)
COLOR_FPS=$(frames_per_second)
quit

echo "256 x 256 mono:   $MONO_FPS frames/s ($MONO_REPORT)"
echo "512 x 512 colour: $COLOR_FPS frames/s ($COLOR_REPORT)"
echo "command latency:  idle $LATENCY_IDLE; streaming $LATENCY_RUNNING (10 Histogram toggles each, tool overhead included)"
echo "resident memory:  $RSS_START kB at start, $RSS_END kB after ${SECONDS_MEMORY} s, at most $RSS_MAX kB"
