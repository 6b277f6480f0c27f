#!/usr/bin/env bash
# qv play under a private Xvfb, driven with xdotool: it starts paused at a time, seeks, steps
# and writes F12 shots that must be byte for byte the frames `qv render --time` gives; an
# edit of the source shows in the next shot at the same time; a broken source keeps the last
# good frame and reports FILE:LINE:COL; a script's stack error pauses the session, which goes
# on after a seek.
#   qv_play_test.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
qv="$(cd "${1:?usage: qv_play_test.sh BUILD_DIR}" && pwd)/qv"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_play.XXXXXX")"
xvfb_pid=""
play_pid=""
failures=0
cleanup() {
    [ -n "$play_pid" ] && kill -KILL "$play_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

source "$(dirname "$0")/x_session.sh"
start_x_session

press() {
    local id; id="$(window_line 'qv play: e2e' | awk '{print $1}')"
    xdotool windowfocus "$id" 2>/dev/null
    xdotool mousemove 100 100 key --delay 30 "$@"
}
# The source: a quad turned by a frame counter (script state that only a run from time 0
# gets right) and moved by the time; from 3000 ms a second script on track 1 adds with an
# empty stack.
write_source() {
    cat >"$work/run/e2e.qvs" <<QVS
title "e2e"
variables ints 1 floats 0
script 0
    LOADI 0
    PUSHI 1
    ADDI
    STOREI 0
    PUSHI -1
    BINDTEX
    PUSHF $1
    PUSHF 0.5
    PUSHF 0.2
    COLOR3
    PUSHMATRIX
    TIME
    ITOF
    PUSHF 0.0005
    MULF
    PUSHF 0
    PUSHF -6
    TRANSLATE
    LOADI 0
    PUSHI 3
    MULI
    ITOF
    PUSHF 0
    PUSHF 0
    PUSHF 1
    ROTATE
    PUSHF -1
    PUSHF 1
    PUSHF 1
    PUSHF -1
    RECT
    POPMATRIX
script 1
    ADDI
clip track 0 start 0 length 100000 script 0
clip track 1 start 3000 length 100000 script 1
QVS
}
mkdir -p "$work/run" "$work/ref"
write_source 1
# reference TIME NAME: qv render of the source as it is now.
reference() {
    "$qv" build "$work/run/e2e.qvs" -o "$work/ref/demo.acs" &&
        "$qv" render "$work/ref/demo.acs" --time "$1" --size 160x120 -o "$work/ref/$2.png" 2>/dev/null
}
# lines_at_least N REGEX: qv play's stderr has at least N lines matching.
lines_at_least() { [ "$(grep -c "$2" "$work/run/stderr")" -ge "$1" ]; }
# shot MS: F12 and wait for the file; it is moved to shots/MS-N.png.
shot_n=0
take_shot() {
    local before; before=$(grep -c "wrote shot-$1.png" "$work/run/stderr")
    press F12
    wait_for 10 lines_at_least $((before + 1)) "wrote shot-$1.png" ||
        { fail "no shot at $1 ms"; return 1; }
    shot_n=$((shot_n + 1))
    mv "$work/run/shot-$1.png" "$work/shot$shot_n.png"
}
# same_as_render MS WHAT: the latest shot equals qv render at MS.
same_as_render() {
    take_shot "$1" || return
    reference "$1" "r$shot_n" || { fail "qv render at $1 ms failed"; return; }
    if cmp -s "$work/shot$shot_n.png" "$work/ref/r$shot_n.png"; then pass "$2: shot at $1 ms = qv render"
    else fail "$2: shot at $1 ms differs from qv render"; fi
}

(
    cd "$work/run" || exit
    exec timeout -s KILL 60 "$qv" play e2e.qvs --start 1000 --paused --size 160x120 --no-audio \
        2>"$work/run/stderr"
) &
play_pid=$!
if ! wait_for 15 has_window 'qv play: e2e'; then
    fail "no qv play window"; cat "$work/run/stderr"; exit 1
fi
pass "qv play opens its window"
same_as_render 1000 "start paused"
press Right; same_as_render 2000 "one second ahead"
press period period; same_as_render 2033 "two frames ahead"
press comma; same_as_render 2016 "one frame back"
press shift+Left; same_as_render 0 "ten seconds back stops at 0"
press Right Right; same_as_render 2000 "seek"
old=$shot_n

write_source 0.2
wait_for 5 grep -q "reloaded at 2000 ms" "$work/run/stderr" || fail "no reload after the edit"
same_as_render 2000 "after the edit"
cmp -s "$work/shot$old.png" "$work/shot$shot_n.png" && fail "the edit did not change the frame"
edited=$shot_n

echo "    BOGUS 1" >>"$work/run/e2e.qvs"
wait_for 5 grep -q "e2e.qvs:[0-9]*:[0-9]*: error" "$work/run/stderr" &&
    pass "a broken source is reported with file, line and column" ||
    fail "no FILE:LINE:COL error for the broken source"
take_shot 2000 && { cmp -s "$work/shot$edited.png" "$work/shot$shot_n.png" &&
    pass "the last good version stays on screen" || fail "the broken source changed the frame"; }

write_source 0.2
wait_for 5 lines_at_least 2 "reloaded at 2000 ms" ||
    fail "no reload after the fix"
press Right Right
wait_for 5 grep -q "paused at .*script error" "$work/run/stderr" &&
    pass "a stack error pauses the session" || fail "no pause after the stack error"
kill -0 "$play_pid" 2>/dev/null || fail "the stack error ended qv play"
press Home; same_as_render 0 "a seek after the stack error"

# With the overlay on (Tab), shots stay the demo's frames: the overlay draws after them.
press Tab
same_as_render 0 "with the overlay shown"
[ -n "${QV_PLAY_OVERLAY_PICTURE:-}" ] && import -window root "$QV_PLAY_OVERLAY_PICTURE"
# A loop from 1000 to 2000 ms, played with the overlay on: a shot taken while playing is a
# frame drawn by playing on (not by a seek) after frames with the overlay over them, inside
# the loop, and still the frame qv render gives.
press Right bracketleft Right bracketright space
sleep 1.5
before=$(grep -c "wrote shot-" "$work/run/stderr")
press F12
if wait_for 10 lines_at_least $((before + 1)) "wrote shot-"; then
    t=$(grep -o "wrote shot-[0-9]*" "$work/run/stderr" | tail -n1 | grep -o "[0-9]*$")
    [ "$t" -ge 1000 ] && [ "$t" -le 2000 ] && pass "the loop holds playing between 1000 and 2000 ms" ||
        fail "playing shot at $t ms, outside the loop 1000:2000"
    mv "$work/run/shot-$t.png" "$work/playing.png"
    reference "$t" playing && cmp -s "$work/playing.png" "$work/ref/playing.png" &&
        pass "a frame drawn while playing = qv render at $t ms" ||
        fail "the frame drawn while playing at $t ms differs from qv render"
else
    fail "no shot while playing"
fi
press space

press Escape
wait_for 5 bash -c "! kill -0 $play_pid 2>/dev/null" || fail "Escape did not end qv play"
wait "$play_pid"; status=$?
play_pid=""
[ "$status" = 0 ] && pass "Escape ends with status 0" || fail "exit status $status"
[ $failures = 0 ] || { echo "--- qv play stderr"; cat "$work/run/stderr"; }
exit $((failures > 0))
