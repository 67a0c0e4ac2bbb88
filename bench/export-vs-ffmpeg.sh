#!/bin/sh
# Export against ffmpeg on the same pictures, in a folder on the disk under test (not tmpfs):
#   - a black-and-white PNG sequence, wall time, with --jobs 1 and the default (every core);
#   - colour TIFF sequence and colour Y4M, CPU time (user + system).
# ffmpeg's runs start from the pictures our export shows, decoded once beforehand into a
# raw stream, and use the same encoder settings (PNG: filter sub, zlib level 1; TIFF: no
# compression; Y4M: 4:4:4 full range), so both sides do the same work but our processing.
# Usage: bench/export-vs-ffmpeg.sh BUILD_DIR [FOLDER] [FRAMES] [REPETITIONS]
set -eu

if [ $# -lt 1 ] || [ ! -x "$1/tools/pandry-cli" ]; then
    echo "usage: $0 BUILD_DIR [FOLDER] [FRAMES] [REPETITIONS]" >&2
    exit 2
fi
CLI=$(realpath "$1/tools/pandry-cli")
FOLDER=${2:-$1/export-vs-ffmpeg}
FRAMES=${3:-1000}
REPETITIONS=${4:-5}
command -v ffmpeg >/dev/null || { echo "$0: needs ffmpeg" >&2; exit 1; }

mkdir -p "$FOLDER"
cd "$FOLDER"
rm -rf out
"$CLI" record --camera sim,fps=0 --frames "$FRAMES" mono.raw 2>/dev/null
"$CLI" record --camera sim-color,fps=0 --frames "$FRAMES" color.raw 2>/dev/null
"$CLI" export mono.raw mono.y4m 2>/dev/null
"$CLI" export color.raw color.y4m 2>/dev/null
ffmpeg -loglevel error -y -i color.y4m -f rawvideo -pix_fmt rgb24 color.rgb
SIDE=$(head -c 64 mono.y4m | sed -n 's/.* W\([0-9]*\) .*/\1/p')

# Prints the median of a column of numbers.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs a command once into a fresh out/, synced before and after, and appends its "wall"
# or "cpu" seconds to the file named NAME.
run() {
    name=$1
    what=$2
    shift 2
    rm -rf out && mkdir out && sync
    /usr/bin/time -f "%e %U %S" -o times "$@" 2>/dev/null
    sync
    if [ "$what" = wall ]; then awk '{ print $1 }' times; else awk '{ print $2 + $3 }' times; fi >>"$name"
}

# The runs are interleaved, ours beside ffmpeg's, so a drifting disk or load weighs on both.
rm -f png1 pngn pngff tif tifff y4m y4mff
i=0
while [ "$i" -lt "$REPETITIONS" ]; do
    run png1 wall "$CLI" export --jobs 1 mono.raw out/f-%05d.png
    run pngn wall "$CLI" export mono.raw out/f-%05d.png
    run pngff wall ffmpeg -loglevel error -i mono.y4m -c:v png -pred sub -compression_level 1 \
        out/f-%05d.png
    run tif cpu "$CLI" export color.raw out/f-%05d.tif
    run tifff cpu ffmpeg -loglevel error -f rawvideo -pix_fmt rgb24 -s "${SIDE}x$SIDE" \
        -i color.rgb -c:v tiff -compression_algo raw out/f-%05d.tif
    run y4m cpu "$CLI" export color.raw out/c.y4m
    run y4mff cpu ffmpeg -loglevel error -f rawvideo -pix_fmt rgb24 -s "${SIDE}x$SIDE" \
        -i color.rgb -pix_fmt yuv444p -color_range pc out/c.y4m
    i=$((i + 1))
done
png1=$(median <png1)
pngn=$(median <pngn)
pngff=$(median <pngff)
tif=$(median <tif)
tifff=$(median <tifff)
y4m=$(median <y4m)
y4mff=$(median <y4mff)

echo "$FRAMES frames of ${SIDE} x $SIDE in $(realpath .), medians of $REPETITIONS runs (seconds)"
awk -v a="$png1" -v b="$pngn" -v c="$pngff" -v d="$tif" -v e="$tifff" -v f="$y4m" -v g="$y4mff" '
    BEGIN {
        printf "%-34s %8s %8s %8s\n", "", "ours", "ffmpeg", "ratio"
        printf "%-34s %8.2f %8s %8s\n", "mono PNG, wall, --jobs 1", a, "", ""
        printf "%-34s %8.2f %8.2f %8.2f\n", "mono PNG, wall, every core", b, c, b / c
        printf "%-34s %8s %8s %8.2f\n", "  speed-up of every core", "", "", a / b
        printf "%-34s %8.2f %8.2f %8.2f\n", "colour TIFF, CPU", d, e, d / e
        printf "%-34s %8.2f %8.2f %8.2f\n", "colour Y4M, CPU", f, g, f / g
    }'
