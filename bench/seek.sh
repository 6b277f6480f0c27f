#!/usr/bin/env bash
# The cost of one frame of the showcase by exact seeking, near the start and near the end,
# and by full replay for comparison: the best of N runs of qv render at 320x240.
#   bench/seek.sh BUILD_DIR [RUNS]
set -euo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: bench/seek.sh BUILD_DIR [RUNS]}" && pwd)"
runs="${2:-5}"
demo="$build/demos/nightfall/demo.acs"
out="$(mktemp -d "${TMPDIR:-/tmp}/qv_seek_bench.XXXXXX")"
trap 'rm -rf "$out"' EXIT

# best TIME [--replay]: the shortest wall time of the runs, in seconds.
best() {
    local fastest=""
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s%N)
        "$build/qv" render "$demo" --time "$1" --size 320x240 -o "$out/f.png" "${@:2}" 2>/dev/null
        end=$(date +%s%N)
        local t=$(((end - start) / 1000000))
        if [ -z "$fastest" ] || [ "$t" -lt "$fastest" ]; then fastest=$t; fi
    done
    printf '%d.%03d' $((fastest / 1000)) $((fastest % 1000))
}

at1=$(best 1000)
at80=$(best 80000)
echo "seek, frame at 1 s:   ${at1} s"
echo "seek, frame at 80 s:  ${at80} s"
runs=1
echo "replay, frame at 80 s: $(best 80000 --replay) s (one run)"
