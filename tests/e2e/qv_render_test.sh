#!/usr/bin/env bash
# qv render with no display: the frame at a time comes from the simulated frame loop, the
# same command gives the same bytes, --frames writes one PNG per time, bad options are refused.
#   qv_render_test.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8  # the same tool output whatever the caller's locale
qv="$(cd "${1:?usage: qv_render_test.sh BUILD_DIR}" && pwd)/qv"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_render.XXXXXX")"
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# One clip from 1000 ms on: a quad (-5..5, -5..5) at z = -3 in the default white, which
# covers the whole picture; before it the picture is the black clear colour. It binds texture
# name 0 first: start-up leaves the (black) blur texture bound.
quad_vertex() { printf '\x02%b\x02%b\x02\x00\x00\x40\xc0\x21' "$1" "$2"; }
m5='\x00\x00\xa0\xc0'; p5='\x00\x00\xa0\x40'
{
    printf 'render\x1aquorvanel1'
    printf '\x01\x00\x00\x00\x4d\x00\x00\x00'           # 1 script of 77 bytes:
    printf '\x00\xff\xff\xff\xff\x26'                   # PUSHI -1, BINDTEX (name 0)
    printf '\x00\x07\x00\x00\x00\x1f'                   # PUSHI 7 (GL_QUADS), BEGIN
    quad_vertex "$m5" "$m5"; quad_vertex "$p5" "$m5"; quad_vertex "$p5" "$p5"; quad_vertex "$m5" "$p5"
    printf '\x20'                                       # END
    printf '\x01\x00\x00\x00'                           # 1 clip: track 0,
    printf '\x00\xe8\x03\x00\x00\xa0\x86\x01\x00'       # from 1000 ms for 100000 ms,
    head -c 28 /dev/zero                                # script 0, no transform
    head -c 148 /dev/zero                               # tracks, empty tables, no music
} >"$work/demo.acs"

centre() { convert "$1" -format '%[pixel:p{w/2,h/2}]' info:; }

if "$qv" render "$work/demo.acs" --time 1500 -o "$work/a.png" --size 160x120 2>"$work/err" &&
   "$qv" render "$work/demo.acs" --time 1500 -o "$work/b.png" --size 160x120; then
    cmp -s "$work/a.png" "$work/b.png" && pass "same command, same bytes" || fail "two renders differ"
    [ ! -s "$work/err" ] || fail "a later frame warns: $(cat "$work/err")"
    [ "$(identify -format '%wx%h' "$work/a.png")" = 160x120 ] || fail "--size not honoured"
    case "$(centre "$work/a.png")" in
        *255,255,255*) pass "the clip draws at 1500 ms" ;;
        *) fail "frame at 1500 ms: centre $(centre "$work/a.png"), expected white" ;;
    esac
else
    fail "qv render --time failed"
fi

# The run's first frame only selects the clips: the frame at 0 ms shows none, and says so.
if "$qv" render "$work/demo.acs" --frames 0:2000:500 -o "$work/frames/" --size 32x24 --fps 30 \
       2>"$work/err"; then
    [ "$(grep -c "warning: the frame at 0 ms is the run's first" "$work/err")" = 1 ] &&
        [ "$(wc -l <"$work/err")" = 1 ] && pass "the first frame of the run is warned about" ||
        fail "first frame warning: $(cat "$work/err")"
    names="$(cd "$work/frames" && echo *.png)"
    [ "$names" = "frame_00000000.png frame_00000500.png frame_00001000.png frame_00001500.png frame_00002000.png" ] \
        && pass "--frames writes one PNG per time" || fail "--frames wrote: $names"
    case "$(centre "$work/frames/frame_00000500.png")" in
        *"0,0,0"*) pass "before the clip the frame is black" ;;
        *) fail "frame at 500 ms: $(centre "$work/frames/frame_00000500.png")" ;;
    esac
else
    fail "qv render --frames failed"
fi

for bad in "--time 10" "$work/demo.acs --time -5 -o x.png" "$work/demo.acs --time 5 --frames 0:1:1 -o x" \
           "$work/demo.acs --frames 5:1:1 -o d/" "$work/demo.acs --time 5 -o x.png --size 0x10" \
           "$work/demo.acs --time 5 -o x.png --fps 0"; do
    # shellcheck disable=SC2086
    "$qv" render $bad >/dev/null 2>&1
    [ $? = 2 ] || fail "qv render $bad: not refused with status 2"
done
# A run too long to hold is refused at once, before anything loads; the largest one is not.
for absurd in "--time 2000000000 --fps 1000 -o $work/x.png" "--frames 0:2000000000:1000000 -o $work/f/" \
              "--video $work/x.mp4 --from 1000001 --fps 1000"; do
    # shellcheck disable=SC2086
    timeout 20 "$qv" render "$work/demo.acs" $absurd 2>"$work/err"
    [ $? = 2 ] && grep -q "^qv render: the run to [0-9]* ms at [0-9]* fps has [0-9]* frames; qv render runs at most 1000000 (" \
        "$work/err" || fail "qv render $absurd: $(head -1 "$work/err")"
done
timeout 20 "$qv" render "$work/demo.acs" --time 999999 --fps 1000 -o "$work/x.png" --size 8x8 2>"$work/err"
[ $? = 0 ] || fail "the longest run is refused: $(head -1 "$work/err")"
"$qv" render "$work/missing.acs" --time 0 -o "$work/m.png" 2>"$work/err"
[ $? = 1 ] && grep -qxF "qv render: $work/missing.acs: cannot open the file (No such file or directory)" \
    "$work/err" && pass "a missing demo file is reported" \
    || fail "missing demo file: $(cat "$work/err")"

# A script's own OpenGL error (a second POPMATRIX on a fresh frame underflows the stack) does
# not stop the renderer: the player draws on past it, and the read-back is not at fault.
cat >"$work/popped.qvs" <<'QVS'
title "popped"
script 0
    POPMATRIX
    POPMATRIX
clip 0 track 0 start 0 length 100000 script 0
QVS
if "$qv" build "$work/popped.qvs" -o "$work/popped.acs" &&
   "$qv" render "$work/popped.acs" --time 1000 -o "$work/popped.png" --size 32x24 2>"$work/err" &&
   [ -s "$work/popped.png" ]; then
    pass "a script's GL error does not stop qv render"
else
    fail "script with a GL error: $(cat "$work/err")"
fi

# The bundled demo, as the build made it: the same picture twice, and not an empty one.
bundled="$(dirname "$qv")/demos/nightfall/demo.acs"
if [ -f "$bundled" ]; then
    "$qv" render "$bundled" --time 5000 -o "$work/n1.png" --size 320x240 &&
        "$qv" render "$bundled" --time 5000 -o "$work/n2.png" --size 320x240
    if cmp -s "$work/n1.png" "$work/n2.png" &&
       [ "$(convert "$work/n1.png" -format '%k' info:)" -gt 100 ]; then
        pass "the bundled demo renders the same picture of many colours twice"
    else
        fail "bundled demo at 5000 ms: not deterministic or blank"
    fi
else
    fail "the bundled demo was not built ($bundled)"
fi

# The complete example (demos/example.qvs) with the files the build makes for it: every file
# loads (no message), in both halves of its timeline.
example="$(dirname "$qv")/demos/example/demo.acs"
if [ -f "$example" ]; then
    for t in 1000 31000; do
        if "$qv" render "$example" --time "$t" -o "$work/example-$t.png" --size 160x120 \
               2>"$work/err" && [ ! -s "$work/err" ] &&
           [ "$(convert "$work/example-$t.png" -format '%k' info:)" -gt 100 ]; then
            pass "the example demo renders at $t ms"
        else
            fail "example demo at $t ms: $(cat "$work/err")"
        fi
    done
else
    fail "the example demo was not built ($example)"
fi

[ "$failures" = 0 ] || { echo "$failures qv render check(s) failed"; exit 1; }
echo "all qv render checks passed"
