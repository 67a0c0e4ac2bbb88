#!/bin/sh
# Runs every benchmark program of a build and prints its figures (medians of a few runs).
# Usage: bench/run-all.sh BUILD_DIR
set -eu

if [ $# -ne 1 ] || [ ! -d "$1/bench" ]; then
    echo "usage: $0 BUILD_DIR (a build configured with -DPANDRY_BENCH=ON)" >&2
    exit 2
fi

found=0
for program in "$1"/bench/bench_*; do
    [ -x "$program" ] && [ -f "$program" ] || continue
    found=1
    echo "== $(basename "$program")"
    "$program" --benchmark_min_time=0.2 --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true
done
if [ "$found" -eq 0 ]; then
    echo "no benchmark programs in $1/bench" >&2
    exit 1
fi
