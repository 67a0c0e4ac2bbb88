#!/bin/sh
# Redraws the PNG pictures and icons in this folder from artwork/DrawArtwork.cpp.
# Usage: resources/regenerate.sh [BUILD-DIR]   (default: build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
cmake --build "$build" --target pandry_draw_artwork
QT_QPA_PLATFORM=offscreen "$build/shell/artwork/draw-artwork" "$here"
