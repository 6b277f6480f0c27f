#!/usr/bin/env bash
# The showcase rendered at 22 times by seeking and by full replay: the pictures must be the
# same files, byte for byte.   seek_showcase.sh BUILD_DIR
set -euo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: seek_showcase.sh BUILD_DIR}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_seek.XXXXXX")"
trap 'rm -rf "$work"' EXIT
demo="$build/demos/nightfall/demo.acs"
frames=0:84000:4000
"$build/qv" render "$demo" --frames "$frames" --size 160x120 -o "$work/seek" 2>"$work/seek.err"
"$build/qv" render "$demo" --frames "$frames" --size 160x120 -o "$work/replay" --replay \
    2>"$work/replay.err"
cmp "$work/seek.err" "$work/replay.err"
count=0
for picture in "$work/replay"/*.png; do
    cmp "$picture" "$work/seek/$(basename "$picture")"
    count=$((count + 1))
done
[ "$count" -eq 22 ] || { echo "expected 22 pictures, found $count"; exit 1; }
echo "ok: 22 frames of the showcase are the same by seeking and by full replay"
