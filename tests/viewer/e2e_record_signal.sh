#!/bin/sh
# Drives the real viewer in a virtual X server: Start, Tools > Record, then SIGTERM (or the
# signal given as $3) while it records, and checks the recording it leaves: whole frames,
# and a sidecar that lists every one of them. Every wait polls for what it waits for,
# within a time limit. Usage: e2e_record_signal.sh PANDRY PANDRY_CLI [SIGNAL]
# Exits 77 (a skip) when a tool it needs is missing.
set -eu
. "$(dirname "$(realpath "$0")")/e2e-helpers.sh"
need_tools Xvfb xdpyinfo xdotool python3

PANDRY=$(realpath "$1")
CLI=$(realpath "$2")
SIGNAL=${3:-TERM}
SCRATCH_NAME=pandry-e2e-signal
FIRST_DISPLAY=60
. "$(dirname "$(realpath "$0")")/../../scripts/virtual-display.sh"

"$PANDRY" --camera sim --start >viewer.log 2>&1 &
VIEWER_PID=$!
WID=$(timeout 60 xdotool search --sync --onlyvisible --name '^Pandry$' | head -1)
[ -n "$WID" ] || fail "no viewer window"
xdotool windowfocus --sync "$WID"
xdotool key ctrl+r
DIALOG=
find_dialog() {
    DIALOG=$(xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$WID" | head -1 || true)
    [ -n "$DIALOG" ] && xdotool windowfocus --sync "$DIALOG" 2>/dev/null
}
poll 30 find_dialog || fail "Record opened no dialog"
xdotool key ctrl+a
xdotool type --delay 20 "$WORK/run.raw"
xdotool key Return
# The frames go to a file aside until the recording ends; wait for a few of them.
recording() {
    for aside in run.raw.tmp-*; do
        [ -f "$aside" ] && [ "$(wc -c <"$aside")" -ge $((5 * 38304)) ] && return 0
    done
    return 1
}
poll 60 recording || fail "no frames were recorded"
kill -"$SIGNAL" "$VIEWER_PID"
viewer_ended() { ! kill -0 "$VIEWER_PID" 2>/dev/null; }
poll 30 viewer_ended || fail "SIG$SIGNAL did not end the viewer"
STATUS=0
wait "$VIEWER_PID" || STATUS=$?
VIEWER_PID=
[ "$STATUS" -gt 128 ] || fail "the viewer ended with status $STATUS, not by the signal"

[ -f run.raw ] && [ -f run.raw.json ] || fail "no recording was left: $(ls)"
ls run.raw.tmp-* run.raw.json.tmp-* >/dev/null 2>&1 && fail "temporary files were left: $(ls)"
SIZE=$(wc -c <run.raw)
[ $((SIZE % 38304)) -eq 0 ] && [ "$SIZE" -gt 0 ] || fail "run.raw holds $SIZE bytes"
LISTED=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["frames"]))' run.raw.json)
[ "$LISTED" -eq $((SIZE / 38304)) ] || fail "the sidecar lists $LISTED frames of $((SIZE / 38304))"
"$CLI" convert --calibration none run.raw check.bmp >/dev/null 2>&1 || fail "the recording does not read back"
echo "e2e: passed ($LISTED frames after SIG$SIGNAL)"
