# Shared by the end-to-end scripts, sourced after set -eu.

# Exits 77 (a skip) naming the tools given that are not installed.
need_tools() {
    MISSING=
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || MISSING="$MISSING $tool"
    done
    if [ -n "$MISSING" ]; then
        echo "e2e: skipped, not installed:$MISSING"
        exit 77
    fi
}

fail() {
    echo "e2e: $*" >&2
    [ -s "$WORK/viewer.log" ] && tail -n 40 "$WORK/viewer.log" >&2
    exit 1
}

# Runs the command given until it succeeds, polling every 0.1 s for at most $1 seconds: the
# limit is only reached by a hang.
poll() {
    limit=$(($1 * 10))
    shift
    while [ "$limit" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        limit=$((limit - 1))
    done
    return 1
}
