#!/bin/sh
# Runs every benchmark program of a build, prints its figures (medians of a few runs), then
# one summary table of CPU and wall medians and the ratios against the OpenCV compositions.
# Usage: bench/run-all.sh BUILD_DIR [REPETITIONS]
set -eu

if [ $# -lt 1 ] || [ ! -d "$1/bench" ]; then
    echo "usage: $0 BUILD_DIR [REPETITIONS] (a build configured with -DPANDRY_BENCH=ON)" >&2
    exit 2
fi
REPETITIONS=${2:-5}
RESULTS=$(mktemp -d)
trap 'rm -rf "$RESULTS"' EXIT

found=0
for program in "$1"/bench/bench_*; do
    [ -x "$program" ] && [ -f "$program" ] || continue
    found=1
    name=$(basename "$program")
    echo "== $name"
    "$program" --benchmark_min_time=0.2 --benchmark_repetitions="$REPETITIONS" \
        --benchmark_report_aggregates_only=true \
        --benchmark_out="$RESULTS/$name.json" --benchmark_out_format=json |
        tee "$RESULTS/$name.txt"
done
if [ "$found" -eq 0 ]; then
    echo "no benchmark programs in $1/bench" >&2
    exit 1
fi

echo
echo "== summary: medians of $REPETITIONS runs, one thread, microseconds"
printf '%-44s %10s %10s\n' benchmark CPU wall
for json in "$RESULTS"/*.json; do
    # The library writes one key per line; a median's name, times and unit come in order.
    awk -F': ' '
        /"name":/ { gsub(/[",]/, "", $2); name = $2 }
        /"aggregate_name":/ { gsub(/[",]/, "", $2); median = ($2 == "median") }
        /"real_time":/ { gsub(/,/, "", $2); wall = $2 }
        /"cpu_time":/ { gsub(/,/, "", $2); cpu = $2 }
        /"time_unit":/ {
            gsub(/[",]/, "", $2)
            scale = $2 == "ns" ? 0.001 : $2 == "ms" ? 1000 : $2 == "s" ? 1000000 : 1
            if (median) {
                sub(/_median$/, "", name)
                printf "%-44s %10.1f %10.1f\n", name, cpu * scale, wall * scale
            }
            median = 0
        }' "$json"
done
grep -h '^ratio' "$RESULTS"/*.txt || true
