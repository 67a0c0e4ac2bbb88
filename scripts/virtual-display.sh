# Sourced by the scripts that drive the real viewer in a virtual X server. Before sourcing,
# set SCRATCH_NAME (names the scratch folder) and FIRST_DISPLAY (where the search for a
# free display number starts), and SCREEN_SIZE when the screen must be other than 1024x768.
# Afterwards WORK is the scratch folder and the current directory, XDG_RUNTIME_DIR and
# DISPLAY are set, and on exit the viewer (VIEWER_PID, when the caller sets it), the X server
# and the folder are removed.
WORK=$(mktemp -d "/tmp/$SCRATCH_NAME.XXXXXX")
XVFB_PID=
VIEWER_PID=
cleanup() {
    [ -n "$VIEWER_PID" ] && kill "$VIEWER_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
cd "$WORK"
mkdir -m 700 run
export XDG_RUNTIME_DIR="$WORK/run"

DISPLAY_NUMBER=$((FIRST_DISPLAY + $$ % 100))
while [ -e "/tmp/.X${DISPLAY_NUMBER}-lock" ]; do DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1)); done
Xvfb ":$DISPLAY_NUMBER" -screen 0 "${SCREEN_SIZE:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$DISPLAY_NUMBER"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
