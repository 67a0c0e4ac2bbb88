#!/bin/bash
# CPU per frame of a video source on a 720p H.264 file, decoding included, against decoding
# alone: bench_gaze's BM_VideoSource (our source: its pictures as the decoder gives them, and
# converted whole to BGR first as before), GStreamer decoding into a fakesink (the decoder our
# source runs) and `ffmpeg -i clip -f null -`. CPU time of every thread (user + system), medians
# of REPETITIONS runs (ours interleaved with each other, the decoders' before and after ours).
# Usage: bench/video-source.sh BENCH_BUILD_DIR [REPETITIONS]
set -eu

if [ $# -lt 1 ] || [ ! -x "$1/bench/bench_gaze" ]; then
    echo "usage: $0 BENCH_BUILD_DIR [REPETITIONS] (a build configured with -DPANDRY_BENCH=ON)" >&2
    exit 2
fi
BENCH=$(realpath "$1/bench/bench_gaze")
REPETITIONS=${2:-5}
command -v ffmpeg >/dev/null && command -v gst-launch-1.0 >/dev/null ||
    { echo "$0: needs ffmpeg and gst-launch-1.0" >&2; exit 1; }
FOLDER=$(mktemp -d)
trap 'rm -rf "$FOLDER"' EXIT
CLIP=$FOLDER/clip.mkv

# The clip bench_gaze makes when it is given none.
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30 -t 30 \
    -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p "$CLIP"
FRAMES=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames -of csv=p=0 "$CLIP")

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Milliseconds of CPU per frame of one run of a command.
per_frame() {
    local TIMEFORMAT='%U %S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk -v frames="$FRAMES" '{ print ($1 + $2) * 1000 / frames }'
}

uptime
: >"$FOLDER/gst" && : >"$FOLDER/ffmpeg"
for _ in $(seq "$REPETITIONS"); do
    per_frame gst-launch-1.0 -q filesrc location="$CLIP" ! decodebin ! fakesink sync=false \
        >>"$FOLDER/gst"
    per_frame ffmpeg -loglevel error -i "$CLIP" -f null - >>"$FOLDER/ffmpeg"
done
PANDRY_BENCH_CLIP=$CLIP "$BENCH" --benchmark_filter=BM_VideoSource --benchmark_min_time=1 \
    --benchmark_repetitions="$REPETITIONS" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true | grep -E '^(BM_.*median|Load)'
for _ in $(seq "$REPETITIONS"); do
    per_frame gst-launch-1.0 -q filesrc location="$CLIP" ! decodebin ! fakesink sync=false \
        >>"$FOLDER/gst"
    per_frame ffmpeg -loglevel error -i "$CLIP" -f null - >>"$FOLDER/ffmpeg"
done
echo "decoding alone, $FRAMES frames of 1280 x 720, CPU ms a frame (medians of $((2 * REPETITIONS))):"
echo "  GStreamer (decodebin ! fakesink): $(median <"$FOLDER/gst")"
echo "  ffmpeg -f null:                   $(median <"$FOLDER/ffmpeg")"
uptime
