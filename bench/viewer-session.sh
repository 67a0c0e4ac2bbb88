# Sourced by the viewer speed scripts, after scripts/virtual-display.sh: starting the viewer
# in the virtual display and reading its frame rate back from time.inf. Needs PANDRY.

# Starts the viewer on camera source $1 and focuses its window (VIEWER_PID, WID).
launch() {
    "$PANDRY" --camera "$1" >viewer.log 2>&1 &
    VIEWER_PID=$!
    WID=$(timeout 20 xdotool search --sync --onlyvisible --name '^Pandry$' | head -1)
    xdotool windowfocus --sync "$WID"
}

# Frames a second of the last run, from the time.inf it left.
frames_per_second() {
    sed -E 's/Time = ([0-9]+) +Frames = ([0-9]+)/\2 \1/' time.inf |
        awk '{ printf "%d", $1 * 1000 / $2 }'
}
