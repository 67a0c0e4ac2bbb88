#!/bin/sh
# Takes the README's pictures of the pixel inspector and the Statistics window at both
# sizes, black-and-white and colour, under a virtual screen with a window manager.
# Usage: resources/take-tool-screenshots.sh [BUILD-DIR] [OUTPUT-DIR]   (defaults: build, docs)
set -eu
build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)

SCRATCH_NAME=pandry-tool-screenshots
FIRST_DISPLAY=160
SCREEN_SIZE=1280x800
. "$(dirname "$(realpath "$0")")/../scripts/virtual-display.sh"
# A window manager places the Statistics window beside the main one, as on a desktop.
openbox >/dev/null 2>&1 &
sleep 1

# $1 picture name, $2 "inspector" or "statistics", the rest: pandry's options.
shoot() {
    name=$1
    what=$2
    shift 2
    "$build/app/pandry" --auto-levels --start "$@" >/dev/null 2>&1 &
    VIEWER_PID=$!
    main=$(xdotool search --sync --onlyvisible --name '^Pandry$' | head -1)
    xdotool windowactivate --sync "$main"
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$main")"
    if [ "$what" = statistics ]; then
        xdotool key ctrl+t
        sleep 1
        xdotool windowactivate --sync "$main"
    fi
    # Over the picture, a little off its centre, in small steps as a hand moves.
    for step in 1 2 3 4 5 6 7 8; do
        xdotool mousemove $((X + WIDTH * 5 / 8 - 16 + 2 * step)) $((Y + HEIGHT * 5 / 8 - 16 + 2 * step))
        sleep 0.2
    done
    sleep 1.5
    import -window root "$WORK/screen.png"
    # The windows and nothing else: the bounding box of what is not the black root.
    convert "$WORK/screen.png" -trim +repage -bordercolor black -border 6 "$out/$name"
    kill "$VIEWER_PID"
    wait "$VIEWER_PID" 2>/dev/null || true
    VIEWER_PID=
}

shoot tools-pixel-probe-256-mono.png inspector --camera sim
shoot tools-pixel-probe-512-color.png inspector --camera sim-color --zoom
shoot tools-statistics-256-color.png statistics --camera sim-color
shoot tools-statistics-512-mono.png statistics --camera sim --zoom
