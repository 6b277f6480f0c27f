#!/usr/bin/env bash
# Golden images: each case in tests/golden/cases/NAME.qvs is built with `qv build` and rendered
# with `qv render` at the times its header names; every frame must equal its reference
# tests/golden/ref/NAME-TIME.png pixel for pixel.
#   golden.sh check BUILD_DIR CASE...     compare (exit 1 on any difference)
#   golden.sh update BUILD_DIR [CASE...]  write the references anew (all cases by default)
# The case named `readme` is the README's three frames of the bundled demo (BUILD_DIR/demos/
# nightfall), rendered with the README's own command; their references are the pictures in
# docs/images/, so the front page cannot show what the player no longer draws. The case named
# `example` is the docs' complete example (BUILD_DIR/demos/example), one frame in each of its
# scenes; each must also differ from the example's background alone, so that a background
# that hides the scene cannot pass.
# A case's header line says what to render, for example
#   ; golden: size 128x96 frames 500:2000:500
# (the frames argument of `qv render`: START:END:STEP in ms). Work files go to
# BUILD_DIR/tests/golden/NAME/; on a difference the rendered frame and a diff image are left
# there and their paths printed.
set -uo pipefail
export LC_ALL=C.UTF-8  # the same tool output whatever the caller's locale

here="$(cd "$(dirname "$0")" && pwd)"
usage() { echo "usage: golden.sh (check BUILD_DIR CASE... | update BUILD_DIR [CASE...])" >&2; exit 2; }
[ $# -ge 2 ] || usage
mode="$1"
build="$(cd "$2" && pwd)" || usage
shift 2
case "$mode" in check) [ $# -ge 1 ] || usage ;; update) ;; *) usage ;; esac
qv="$build/qv"
[ -x "$qv" ] || { echo "golden: $qv is not built" >&2; exit 1; }

# The same renderer on every machine: Mesa's llvmpipe, never a GPU driver, no display.
export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
unset DISPLAY WAYLAND_DISPLAY

# Header field of a case: header_field FILE size|frames
header_field() {
    sed -n 's/^; golden:.*[[:space:]]'"$2"' \([^[:space:]]*\).*/\1/p' "$1" | head -n1
}

# Builds and renders one case into its work folder; prints nothing on success.
render_case() {
    local name="$1" src="$here/cases/$1.qvs" work="$build/tests/golden/$1"
    local size frames
    size="$(header_field "$src" size)"
    frames="$(header_field "$src" frames)"
    if [ -z "$size" ] || [ -z "$frames" ]; then
        echo "$src: no '; golden: size WxH frames START:END:STEP' line" >&2
        return 1
    fi
    rm -rf "$work"
    mkdir -p "$work"
    ln -s "$here/data" "$work/data"  # the demo names its files as data\NAME
    "$qv" build "$src" -o "$work/demo.acs" || return 1
    # A message box (a file that does not load, a script error) is printed by qv render; no
    # case expects one, and its text says more than a changed picture would.
    if ! "$qv" render "$work/demo.acs" --frames "$frames" -o "$work/frames" --size "$size" \
            2>"$work/messages" || [ -s "$work/messages" ]; then
        sed 's/^/     /' "$work/messages"
        return 1
    fi
}

# Time in ms of a rendered frame file frame_00000500.png -> 500.
frame_time() { local t="${1##*/frame_}"; t="${t%.png}"; echo "$((10#$t))"; }

# Compares one rendered frame with its reference: same_picture NAME TIME FRAME REF WORK
same_picture() {
    local name="$1" t="$2" frame="$3" ref="$4" work="$5" ae
    local out="$work/$name-$t.png" diff="$work/$name-$t-diff.png"
    if [ ! -f "$ref" ]; then
        cp "$frame" "$out"
        echo "FAIL $name at $t ms: no reference $ref (rendered: $out; tests/golden/update writes it)"
        return 1
    fi
    # Exact comparison: AE counts the pixels that differ at all.
    if ae="$(compare -metric AE "$ref" "$frame" "$diff" 2>&1)" && [ "$ae" = 0 ]; then
        rm -f "$diff"
        echo "ok   $name at $t ms"
        return 0
    fi
    cp "$frame" "$out"
    echo "FAIL $name at $t ms: $ae pixels differ from $ref"
    echo "     rendered: $out"
    echo "     diff:     $diff"
    return 1
}

# The README's frames: `qv render build/demos/nightfall/demo.acs --time T -o f.png --size 400x300`.
readme_times="12000 36000 64000"
readme_images="$(cd "$here/../../docs/images" && pwd)"

render_readme() {
    local work="$build/tests/golden/readme" demo="$build/demos/nightfall/demo.acs" t
    [ -f "$demo" ] || { echo "$demo is not built (cmake --build $build --target demos)" >&2; return 1; }
    rm -rf "$work"
    mkdir -p "$work/frames"
    for t in $readme_times; do
        if ! "$qv" render "$demo" --time "$t" -o "$work/frames/nightfall-$t.png" --size 400x300 \
                2>"$work/messages" || [ -s "$work/messages" ]; then
            sed 's/^/     /' "$work/messages"
            return 1
        fi
    done
}

check_readme() {
    local work="$build/tests/golden/readme" failed=0 t problem
    if ! problem="$(render_readme 2>&1)"; then
        echo "FAIL readme: cannot render"
        echo "$problem"
        return 1
    fi
    for t in $readme_times; do
        same_picture nightfall "$t" "$work/frames/nightfall-$t.png" \
            "$readme_images/nightfall-$t.png" "$work" || failed=1
    done
    return "$failed"
}

# update_pictures NAME FROM TO TIME...: renders NAME (render_NAME), then copies FROM-TIME.png
# to TO-TIME.png for each time.
update_pictures() {
    local name="$1" from="$2" to="$3" t
    shift 3
    "render_$name" || { echo "golden: $name cannot be rendered" >&2; return 1; }
    for t in "$@"; do cp "$from-$t.png" "$to-$t.png"; done
}

update_readme() {
    # shellcheck disable=SC2086  # the times are words
    update_pictures readme "$build/tests/golden/readme/frames/nightfall" \
        "$readme_images/nightfall" $readme_times &&
        echo "updated readme (docs/images/nightfall-*.png)"
}

# The docs' complete example: one time in each scene, and its background alone (the example
# without the clips after clip 0) at the same times.
example_times="10000 55000"
example_min_pixels=6000  # of 120000: the scene's objects cover far more than that

render_example() {
    local work="$build/tests/golden/example" demo="$build/demos/example/demo.acs" t
    [ -f "$demo" ] || { echo "$demo is not built (cmake --build $build --target example)" >&2; return 1; }
    rm -rf "$work"
    mkdir -p "$work/frames"
    ln -s "$build/demos/example/data" "$work/data"
    grep -vE '^clip [1-9]' "$here/../../demos/example.qvs" >"$work/background.qvs"
    for t in $example_times; do
        if ! "$qv" render "$demo" --time "$t" -o "$work/frames/example-$t.png" --size 400x300 \
                2>"$work/messages" || [ -s "$work/messages" ] ||
            ! "$qv" render "$work/background.qvs" --time "$t" -o "$work/background-$t.png" \
                --size 400x300 2>"$work/messages" || [ -s "$work/messages" ]; then
            sed 's/^/     /' "$work/messages"
            return 1
        fi
    done
}

check_example() {
    local work="$build/tests/golden/example" failed=0 t problem ae
    if ! problem="$(render_example 2>&1)"; then
        echo "FAIL example: cannot render"
        echo "$problem"
        return 1
    fi
    for t in $example_times; do
        same_picture example "$t" "$work/frames/example-$t.png" "$here/ref/example-$t.png" \
            "$work" || failed=1
        ae="$(compare -metric AE "$work/background-$t.png" "$work/frames/example-$t.png" null: 2>&1)"
        if ! [[ "$ae" =~ ^[0-9.e+]+$ ]] ||
            ! awk -v a="$ae" -v m="$example_min_pixels" 'BEGIN { exit !(a + 0 >= m) }'; then
            echo "FAIL example at $t ms: only $ae pixels differ from the background alone"
            echo "     (at least $example_min_pixels expected: the scene is hidden)"
            failed=1
        else
            echo "ok   example at $t ms shows more than its background ($ae pixels differ)"
        fi
    done
    return "$failed"
}

update_example() {
    # shellcheck disable=SC2086  # the times are words
    update_pictures example "$build/tests/golden/example/frames/example" "$here/ref/example" \
        $example_times && echo "updated example"
}

check_case() {
    local name="$1" work="$build/tests/golden/$1" failed=0 frame t ref problem
    if ! problem="$(render_case "$name" 2>&1)"; then
        echo "FAIL $name: cannot build or render"
        echo "$problem"
        return 1
    fi
    for frame in "$work"/frames/frame_*.png; do
        t="$(frame_time "$frame")"
        same_picture "$name" "$t" "$frame" "$here/ref/$name-$t.png" "$work" || failed=1
    done
    for ref in "$here/ref/$name"-[0-9]*.png; do
        [ -e "$ref" ] || continue
        t="${ref##*-}"; t="${t%.png}"
        if [ ! -f "$work/frames/$(printf 'frame_%08d.png' "$t")" ]; then
            echo "FAIL $name: $ref is for $t ms, which the case no longer renders (tests/golden/update $name)"
            failed=1
        fi
    done
    return "$failed"
}

update_case() {
    local name="$1" work="$build/tests/golden/$1" frame
    render_case "$name" || { echo "golden: $name cannot be built or rendered" >&2; return 1; }
    rm -f "$here/ref/$name"-[0-9]*.png
    mkdir -p "$here/ref"
    for frame in "$work"/frames/frame_*.png; do
        cp "$frame" "$here/ref/$name-$(frame_time "$frame").png"
    done
    echo "updated $name"
}

if [ "$mode" = update ] && [ $# = 0 ]; then
    for src in "$here"/cases/*.qvs; do set -- "$@" "$(basename "$src" .qvs)"; done
    set -- "$@" readme example
fi
status=0
for name in "$@"; do
    if [ "$name" = readme ] || [ "$name" = example ]; then
        "${mode}_$name" || status=1
        continue
    fi
    [ -f "$here/cases/$name.qvs" ] || { echo "golden: no case $here/cases/$name.qvs" >&2; status=1; continue; }
    "${mode}_case" "$name" || status=1
done
exit "$status"
