#!/bin/sh
# Takes the README's screenshots of the main window and its dialogs under a virtual screen
# with a window manager, driving the program with a simulated camera.
# Usage: resources/take-screenshots.sh [BUILD-DIR] [OUTPUT-DIR]   (defaults: build, docs)
set -eu
build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)

if [ -z "${PANDRY_IN_XVFB:-}" ]; then
    PANDRY_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$build" "$out"
fi

work=$(mktemp -d)
trap 'kill $wm $app 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 700 "$work"
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
cd "$work"
XDG_RUNTIME_DIR=$work "$build/app/pandry" --camera sim >/dev/null 2>&1 &
app=$!
sleep 2

# Shoots the active window with its frame.
shoot() {
    sleep 1.5
    import -frame -window "$(xdotool getactivewindow)" "$out/$1"
}
keys() {
    for k in "$@"; do
        xdotool key --clearmodifiers "$k"
        sleep 0.4
    done
}

main=$(xdotool search --sync --name '^Pandry$' | head -1)
xdotool windowactivate --sync "$main"
keys F5                  # Start
sleep 2
keys alt+f g             # Grab: the frame stays, Save becomes available
shoot shell-main.png
keys alt+f Return        # Save, the first item
shoot shell-save-bitmap.png
keys Escape
keys alt+s Return        # Settings Dialog
shoot shell-settings.png
keys Escape
keys alt+h Return        # About
shoot shell-about.png
keys Return
