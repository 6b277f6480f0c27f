#!/usr/bin/env bash
# Side-by-side: the generator's Blur, Rotate and Mosaic against ImageMagick 6 (Q16) doing the
# same work on a 512 x 512 RGB image, single-threaded, many passes inside one process so that
# start-up and file reading do not dominate. Times are CPU seconds (user + system), which stay
# meaningful on a shared machine. Usage: bench/imagemagick_compare.sh BUILD_DIR
set -euo pipefail
export LC_ALL=C.UTF-8  # time prints "1.5", not "1,5", for awk
build=${1:-build}
convert=convert-im6.q16
export MAGICK_THREAD_LIMIT=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$convert" -size 512x512 xc: +noise Random -depth 8 "$work/in.ppm"

# cpu_seconds CMD...: user + system CPU seconds of one run.
cpu_seconds() {
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.4f", $1 + $2 }'
}
repeat() { local n=$1; shift; for ((i = 0; i < n; ++i)); do printf '%s\n' "$@"; done; }

blur_passes=200 rotations=50 mosaics=200
base=$(cpu_seconds "$convert" "$work/in.ppm" null:)
blur=$(cpu_seconds "$convert" "$work/in.ppm" -virtual-pixel tile -define "convolve:scale=!" \
  -morphology "Convolve:$blur_passes" Plus:1 null:)
mapfile -t rotate_args < <(repeat "$rotations" -distort SRT 33)
rotate=$(cpu_seconds "$convert" "$work/in.ppm" -virtual-pixel tile -filter point \
  -interpolate Nearest "${rotate_args[@]}" null:)
mapfile -t mosaic_args < <(repeat "$mosaics" -define sample:offset=10 -sample 64x64! -sample 512x512!)
mosaic=$(cpu_seconds "$convert" "$work/in.ppm" "${mosaic_args[@]}" null:)

# Ours: CPU time per operation from the benchmark (microseconds).
ours=$("$build/textures_bench" --benchmark_filter='BM_Op/(Blur|Rotate|Mosaic)$' \
  --benchmark_min_time=0.5 --benchmark_format=csv 2>/dev/null | grep '^"BM_Op')
ours_us() { echo "$ours" | awk -F, -v n="\"BM_Op/$1\"" '$1 == n { print $4 }'; }

printf '%-8s %14s %14s %9s\n' operation "ImageMagick us" "generator us" speed-up
row() {
  local name=$1 total=$2 passes=$3 mine
  mine=$(ours_us "$name")
  awk -v n="$name" -v t="$total" -v b="$base" -v p="$passes" -v m="$mine" \
    'BEGIN { im = (t - b) / p * 1e6; printf "%-8s %14.0f %14.0f %8.0fx\n", n, im, m, im / m }'
}
row Blur "$blur" "$blur_passes"
row Rotate "$rotate" "$rotations"
row Mosaic "$mosaic" "$mosaics"
