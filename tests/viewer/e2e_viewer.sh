#!/bin/sh
# Drives the real viewer in a virtual X server: Start, Grab, Save, Exit, then checks the
# screen changed, the saved picture equals the command-line conversion of the same frame
# and holds the pixels worked out by hand, and the timing report was written. Every wait
# polls for what it waits for, within a time limit. Usage: e2e_viewer.sh PANDRY PANDRY_CLI
# Exits 77 (a skip) when a tool it needs is missing.
set -eu
. "$(dirname "$(realpath "$0")")/e2e-helpers.sh"
need_tools Xvfb xdpyinfo xdotool import compare od

PANDRY=$(realpath "$1")
CLI=$(realpath "$2")
SCRATCH_NAME=pandry-e2e
FIRST_DISPLAY=90
. "$(dirname "$(realpath "$0")")/../../scripts/virtual-display.sh"

visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | sort; }
# True once a window shows that did not when $BEFORE was taken (a menu, a dialog).
new_window_shows() { [ -n "$(visible_windows | comm -13 "$BEFORE" -)" ]; }
# Opens the File menu and waits until it shows.
open_file_menu() {
    visible_windows >"$BEFORE"
    xdotool key alt+f
    poll 30 new_window_shows || fail "the File menu did not open"
}
# Waits until the File menu (or any pop-up) has gone again.
windows_back_to() { [ "$(visible_windows)" = "$(cat "$1")" ]; }

# The picture area, client x 0..255 and y 33..288, taken from the window itself: the
# toolkit window is the 307-pixel-high client area plus the menu bar above it.
shoot_picture() {
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    menu_bar=$((HEIGHT - 307))
    import -window "$WID" -crop "256x256+0+$((menu_bar + 33))" +repage "$1"
}
picture_changed() {
    shoot_picture after.png
    CHANGED=$(compare -metric AE before.png after.png null: 2>&1 || true)
    [ "${CHANGED%% *}" -gt 1000 ]
}
# Byte $2 of file $1, as a decimal number.
byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
# Blue, green and red of pixel (x, y) of a 256 x 256 BMP; y counts from the top.
pixel_at() {
    offset=$((58 + ((255 - $3) * 256 + $2) * 3))
    echo "$(byte_at "$1" $((offset + 2))) $(byte_at "$1" $((offset + 1))) $(byte_at "$1" "$offset")"
}

BEFORE="$WORK/windows.before"

# An unusable source is refused before any window opens, with one line on stderr.
if QT_QPA_PLATFORM=offscreen "$PANDRY" --camera bogus >out.txt 2>err.txt; then fail "an unknown camera source was accepted"; fi
[ "$(wc -l <err.txt)" -eq 1 ] || fail "expected one line on stderr, got: $(cat err.txt)"

# One flat frame, every sample 20, replayed over and over: every frame the viewer shows
# is that one. Without a dark image, offset 80 and gain 3 make it level
# (e^(100/255) - 1) * 3 * 255 / (e - 1) = 213.8, truncated to 213, which as grey luma is
# shown as (76309 * (213 - 16)) >> 16 = 229 inside the disc; outside it no sample lands
# and the neutral luma 128 shows as 130.
head -c 38304 /dev/zero | tr '\000' '\024' >frame.raw
"$CLI" convert frame.raw expected.bmp >/dev/null
[ "$(pixel_at expected.bmp 128 20)" = "229 229 229" ] || fail "converted disc: $(pixel_at expected.bmp 128 20)"
[ "$(pixel_at expected.bmp 0 0)" = "130 130 130" ] || fail "converted corner: $(pixel_at expected.bmp 0 0)"

"$PANDRY" --camera "replay:$WORK/frame.raw" >viewer.log 2>&1 &
VIEWER_PID=$!
WID=$(timeout 60 xdotool search --sync --onlyvisible --name '^Pandry$' | head -1)
[ -n "$WID" ] || fail "no viewer window"
xdotool windowfocus --sync "$WID"
visible_windows >windows.main
# The background picture has been painted once two shots in a row agree.
shoot_picture before.png
settled() { shoot_picture again.png && compare -metric AE before.png again.png null: >/dev/null 2>&1 || { cp again.png before.png; false; }; }
poll 30 settled || fail "the picture area never settled before Start"

xdotool key F5
poll 30 picture_changed || fail "the picture area did not change after Start ($CHANGED pixels)"

open_file_menu
xdotool key g
poll 30 windows_back_to windows.main || fail "the File menu did not close after Grab"
# Save is the first item of the File menu (its mnemonic is shared with Start).
open_file_menu
xdotool key Return
visible_windows >"$BEFORE"
DIALOG=
find_dialog() {
    DIALOG=$(xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$WID" | head -1 || true)
    [ -n "$DIALOG" ] && xdotool windowfocus --sync "$DIALOG" 2>/dev/null
}
poll 30 find_dialog || fail "Save opened no dialog"
xdotool key ctrl+a
xdotool type --delay 20 "$WORK/saved.bmp"
xdotool key Return
poll 30 test -s saved.bmp || fail "Save wrote no file"

poll 30 windows_back_to windows.main || fail "the Save dialog did not close"
xdotool windowfocus --sync "$WID"
open_file_menu
xdotool key x
viewer_ended() { ! kill -0 "$VIEWER_PID" 2>/dev/null; }
poll 30 viewer_ended || fail "Exit did not end the viewer"
wait "$VIEWER_PID" || fail "the viewer ended with status $?"
VIEWER_PID=

cmp saved.bmp expected.bmp || fail "the saved picture differs from the converted frame"
grep -Eq '^Time = [0-9]+    Frames = [1-9][0-9]*$' time.inf || fail "time.inf: $(cat time.inf)"
[ "$(tail -c 1 time.inf | od -An -c | tr -d ' ')" != '\n' ] || fail "time.inf ends with a line end"
echo "e2e: passed ($(cat time.inf))"
