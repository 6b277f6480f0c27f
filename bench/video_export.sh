#!/usr/bin/env bash
# Video export speed: qv render --video of a whole demo (default the showcase, to the end of
# its music) at 800 x 600, 60 fps, H.264 + AAC, with Mesa's software renderer. Prints the
# export's summary line (frames per second, multiple of real time, and the seconds spent in
# simulation, drawing, read-back, conversion and encoding), the process's CPU time, and the
# same run with rasterisation switched off (GALLIUM_NOOP=1: Mesa accepts every call and draws
# nothing), which separates the scripts and GL calls from the rasteriser's work, then the
# export in 2 processes (--jobs 2) and, where the machine has them, in as many as it has cores.
#   bench/video_export.sh BUILD_DIR [DEMO.acs] [WxH] [FPS] [--to MS]
set -uo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: video_export.sh BUILD_DIR [DEMO.acs] [WxH] [FPS] [--to MS]}" && pwd)"
demo="${2:-$build/demos/nightfall/demo.acs}"
size="${3:-800x600}"
fps="${4:-60}"
shift $(($# < 4 ? $# : 4))
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_video_bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY

run() {  # run LABEL [ENV=VALUE...]
    local label="$1"
    shift
    echo "== $label"
    env "$@" /usr/bin/time -f "process: %e s wall, %U s user, %S s system, %M KB peak memory" \
        "$build/qv" render "$demo" --video "$work/out.mp4" --size "$size" --fps "$fps" \
        "${extra[@]}" "${more[@]}" 2>&1 | grep -v '^\r' | sed 's/.*\r//'
}
extra=("$@")
more=()
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
run "export, $size at $fps fps, H.264 + AAC"
ls -l "$work/out.mp4" | awk '{printf "file: %.1f MB\n", $5 / 1e6}'
run "the same without rasterisation (GALLIUM_NOOP=1)" GALLIUM_NOOP=1
more=(--jobs 2)
run "the export in 2 processes (--jobs 2)"
if [ "$(nproc)" -gt 2 ]; then
    more=(--jobs "$(nproc)")
    run "the export in $(nproc) processes (--jobs $(nproc))"
fi
