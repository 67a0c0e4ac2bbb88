#!/bin/sh
# Drives the real viewer in a virtual X server: Start, Grab, Save, Exit, then checks the
# screen changed, the saved picture equals the command-line conversion of the same frame,
# and the timing report was written. Usage: e2e_viewer.sh PANDRY PANDRY_CLI
set -eu
PANDRY=$(realpath "$1")
CLI=$(realpath "$2")
SCRATCH_NAME=pandry-e2e
FIRST_DISPLAY=90
. "$(dirname "$(realpath "$0")")/../../scripts/virtual-display.sh"

fail() {
    echo "e2e: $*" >&2
    [ -s "$WORK/viewer.log" ] && tail -n 40 "$WORK/viewer.log" >&2
    exit 1
}

# An unusable source is refused before any window opens, with one line on stderr.
if QT_QPA_PLATFORM=offscreen "$PANDRY" --camera bogus >out.txt 2>err.txt; then fail "an unknown camera source was accepted"; fi
[ "$(wc -l <err.txt)" -eq 1 ] || fail "expected one line on stderr, got: $(cat err.txt)"

# One recorded frame, replayed over and over: every frame the viewer shows is that one.
"$CLI" record --camera sim --frames 1 frame.raw >/dev/null
"$CLI" convert frame.raw expected.bmp >/dev/null

"$PANDRY" --camera "replay:$WORK/frame.raw" >viewer.log 2>&1 &
VIEWER_PID=$!
WID=$(timeout 20 xdotool search --sync --onlyvisible --name '^Pandry$' | head -1)
[ -n "$WID" ] || fail "no viewer window"
eval "$(xdotool getwindowgeometry --shell "$WID")"
# The picture area: client x 0..255, y 33..288, below the menu bar (about 20 pixels).
AREA="200x200+$((X + 28))+$((Y + 70))"
xdotool windowfocus --sync "$WID"
sleep 0.5
import -window root -crop "$AREA" before.png

xdotool key F5
for _ in $(seq 50); do sleep 0.1; done
import -window root -crop "$AREA" after.png
CHANGED=$(compare -metric AE before.png after.png null: 2>&1 || true)
[ "${CHANGED%% *}" -gt 1000 ] || fail "the picture area did not change after Start ($CHANGED pixels)"

xdotool key alt+f
sleep 0.3
xdotool key g
sleep 0.5
# Save is the first item of the File menu (its mnemonic is shared with Start).
xdotool key alt+f
sleep 0.3
xdotool key Return
DIALOG=
for _ in $(seq 100); do
    DIALOG=$(xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$WID" | head -1 || true)
    [ -n "$DIALOG" ] && break
    sleep 0.1
done
[ -n "$DIALOG" ] || fail "Save opened no dialog"
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 "$WORK/saved.bmp"
xdotool key Return
for _ in $(seq 50); do [ -s saved.bmp ] && break; sleep 0.1; done
[ -s saved.bmp ] || fail "Save wrote no file"

xdotool windowfocus --sync "$WID"
xdotool key alt+f
sleep 0.3
xdotool key x
for _ in $(seq 100); do kill -0 "$VIEWER_PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$VIEWER_PID" 2>/dev/null; then fail "Exit did not end the viewer"; fi
wait "$VIEWER_PID" || fail "the viewer ended with status $?"
VIEWER_PID=

cmp saved.bmp expected.bmp || fail "the saved picture differs from the converted frame"
grep -Eq '^Time = [0-9]+    Frames = [1-9][0-9]*$' time.inf || fail "time.inf: $(cat time.inf)"
[ "$(tail -c 1 time.inf | od -An -c | tr -d ' ')" != '\n' ] || fail "time.inf ends with a line end"
echo "e2e: passed ($(cat time.inf))"
