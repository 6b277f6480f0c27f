#!/usr/bin/env bash
# qv play --rocket against a stand-in editor (tests/tools/sync/test_editor.cpp) under a
# private Xvfb: it waits for the editor and connects when it comes, asks for one track per
# float variable by name, takes keys set and deleted, seeks where the editor says, pauses
# and plays as told (reporting its rows while playing), saves the tracks beside the source,
# goes on with its tracks when the connection drops and comes back, and closes a connection
# that sends a malformed message. Every F12 shot equals `qv render` of the demo `qv build`
# bakes from the saved tracks.
#   qv_play_rocket_test.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: qv_play_rocket_test.sh BUILD_DIR}" && pwd)"
qv="$build/qv"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_rocket.XXXXXX")"
source "$(dirname "$0")/x_session.sh"
open_x_session
editor_pid=""
trap 'exec 7>&- 2>/dev/null; [ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null; end_x_session' EXIT

mkdir -p "$work/run" "$work/ref"
# A quad whose size and colour are the two keyed variables; the size also turns it.
cat >"$work/run/rocket.qvs" <<'QVS'
title "rocket"
variables floats 2 names size,glow
script 0
    PUSHI -1
    BINDTEX
    LOADF 1
    PUSHF 0.5
    PUSHF 0.25
    COLOR3
    PUSHF 0
    PUSHF 0
    PUSHF -6
    TRANSLATE
    LOADF 0
    PUSHF 40
    MULF
    PUSHF 0
    PUSHF 0
    PUSHF 1
    ROTATE
    PUSHF 0
    LOADF 0
    SUBF
    LOADF 0
    LOADF 0
    PUSHF 0
    LOADF 0
    SUBF
    RECT
clip track 0 start 0 length 100000 script 0
QVS

stderr_has() { grep -q "$1" "$work/run/stderr"; }
editor_has() { grep -q "$1" "$work/editor.out"; }
count_of() { grep -c "$1" "$2"; }
editor() { echo "$*" >&7; }

# A free port: the editor tries until one listens.
start_editor() {
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 30000))
        rm -f "$work/editor.in"; mkfifo "$work/editor.in"
        "$build/test_editor" "$port" <"$work/editor.in" >"$work/editor.out" 2>&1 &
        editor_pid=$!
        exec 7>"$work/editor.in"
        wait_for 5 editor_has listening && return 0
        exec 7>&-
        kill "$editor_pid" 2>/dev/null; editor_pid=""
    done
    return 1
}

window_id() { window_line "qv play: rocket" | awk '{print $1}'; }
press() {
    local id; id="$(window_id)"
    xdotool windowfocus "$id" 2>/dev/null
    xdotool mousemove 100 100 key --delay 30 "$@"
}
# runs_done: how many runs qv play has shown (QV_PLAY_STATS).
runs_done() { count_of "stats: run to" "$work/run/stderr"; }
more_runs_than() { [ "$(runs_done)" -gt "$1" ]; }
# shot: F12; the shot's time goes to $shot_ms and the file to shots/N.png.
shot_n=0
take_shot() {
    local before; before=$(count_of "wrote shot-" "$work/run/stderr")
    press F12
    wait_for 10 eval '[ "$(count_of "wrote shot-" "$work/run/stderr")" -gt '"$before"' ]' ||
        { fail "no shot"; return 1; }
    shot_ms=$(grep -o "wrote shot-[0-9]*" "$work/run/stderr" | tail -n1 | grep -o "[0-9]*$")
    shot_n=$((shot_n + 1))
    mv "$work/run/shot-$shot_ms.png" "$work/shot$shot_n.png"
}
# same_as_baked WHAT: save the tracks, bake them with qv build, and compare the next shot
# with qv render of the baked demo at the shot's time.
same_as_baked() {
    local saves; saves=$(count_of "saved the tracks" "$work/run/stderr")
    editor save
    wait_for 10 eval '[ "$(count_of "saved the tracks" "$work/run/stderr")" -gt '"$saves"' ]' ||
        { fail "$1: the tracks were not saved"; return; }
    take_shot || return
    "$qv" build "$work/run/rocket.qvs" -o "$work/ref/demo.acs" 2>"$work/build.err" ||
        { fail "$1: qv build of the saved tracks failed: $(cat "$work/build.err")"; return; }
    "$qv" render "$work/ref/demo.acs" --time "$shot_ms" --size 160x120 \
        -o "$work/ref/r$shot_n.png" 2>/dev/null || { fail "$1: qv render failed"; return; }
    if cmp -s "$work/shot$shot_n.png" "$work/ref/r$shot_n.png"; then
        pass "$1: shot at $shot_ms ms = qv render of the baked demo"
    else fail "$1: shot at $shot_ms ms differs from qv render of the baked demo"; fi
}

# qv play first: no editor yet, and it keeps trying.
port=$((20000 + RANDOM % 30000))
start_editor || { fail "the test editor does not listen"; exit 1; }
exec 7>&-; kill "$editor_pid"; editor_pid=""  # the port is known; the editor comes later
launch_play() {
    cd "$work/run" || exit
    QV_PLAY_STATS=1 exec timeout -s KILL 180 "$qv" play rocket.qvs --size 160x120 \
        --no-audio --paused --start 1000 --rocket "localhost:$port" 2>"$work/run/stderr"
}
start_until_window "qv play: rocket" "$work/run/stderr" launch_play ||
    { fail "no qv play window"; cat "$work/run/stderr"; exit 1; }
wait_for 10 stderr_has "no sync tracker at localhost:$port yet" &&
    pass "no editor yet: said once" || fail "no word of the missing editor"
sleep 1.5
[ "$(count_of "no sync tracker" "$work/run/stderr")" = 1 ] ||
    fail "the missing editor is reported more than once"

"$build/test_editor" "$port" <"$work/editor.in" >"$work/editor.out" 2>&1 &
editor_pid=$!
exec 7>"$work/editor.in"
wait_for 10 editor_has "track 1 glow" &&
    pass "connects when the editor comes, asks for the tracks by name" ||
    { fail "no tracks asked for"; cat "$work/editor.out" "$work/run/stderr"; exit 1; }
editor_has "track 0 size" || fail "track 0 is not 'size'"

runs=$(runs_done)
editor key size 0 0.5 2
editor key size 64 1.5 3
editor key size 96 1 1
editor key size 128 0.25 0
editor key glow 0 0.1 1
editor key glow 48 0.9 0
wait_for 10 more_runs_than "$runs" || fail "the keys did not show"
sleep 0.3  # the last keys may come in a run after the first
same_as_baked "keys set"
grep -q "^size 64 1.5 ramp$" "$work/run/rocket.qvt" && [ -f "$work/run/rocket.rocket.xml" ] &&
    pass "save writes the tracks beside the source" || fail "the saved tracks: $(cat "$work/run/rocket.qvt")"

runs=$(runs_done)
editor row 80   # 5000 ms at 120 bpm and 8 rows per beat
wait_for 10 more_runs_than "$runs" || fail "the editor's seek did not run"
same_as_baked "the editor seeks"
[ "$shot_ms" = 5000 ] || fail "the seek to row 80 landed at $shot_ms ms, not 5000"

runs=$(runs_done)
editor delete size 96
wait_for 10 more_runs_than "$runs" || fail "the deleted key did not show"
same_as_baked "a key deleted"

# Keys after the frame shown: the run goes on with them, and playing on reaches them exactly.
editor key glow 100 0.2 1
wait_for 10 stderr_has "keys changed from row 48: the frame is run anew" || fail "key at 100"
editor key glow 104 0.7 2
wait_for 10 stderr_has "keys changed from row 100: the run goes on with them" ||
    fail "a key after the frame shown ran the frame anew"
wait_for 10 more_runs_than "$runs" || true
rows_before=$(count_of "^row" "$work/editor.out")
editor pause 0
wait_for 10 eval '[ "$(count_of "^row 10[6-9]" "$work/editor.out")" -gt 0 ]' &&
    pass "playing, the rows are reported" || fail "no rows reported while playing"
# Shot while playing: the frame comes from the run that took the new keys on the way.
same_as_baked "played on past keys set after the frame shown"
editor pause 1
sleep 0.5
rows_paused=$(count_of "^row" "$work/editor.out")
sleep 1
[ "$(count_of "^row" "$work/editor.out")" = "$rows_paused" ] &&
    pass "paused, no rows are reported" || fail "rows reported while paused"
[ "$rows_paused" -gt "$rows_before" ] || fail "no rows between play and pause"
same_as_baked "paused again"

# The connection drops: the tracks stay, and the editor's keys come back with the tracks.
connected=$(count_of "^connected" "$work/editor.out")
editor drop
wait_for 10 stderr_has "the editor closed the connection; the tracks stay" ||
    fail "the lost connection is not reported"
wait_for 10 eval '[ "$(count_of "^connected" "$work/editor.out")" -gt '"$connected"' ]' &&
    pass "reconnects after a drop" || fail "no reconnect after the drop"
sleep 0.5
same_as_baked "after the reconnect"

connected=$(count_of "^connected" "$work/editor.out")
editor garbage
wait_for 10 stderr_has "malformed message (unknown command 9 from the editor); the connection is closed" &&
    pass "a malformed message closes the connection" || fail "the malformed message is not reported"
wait_for 10 eval '[ "$(count_of "^connected" "$work/editor.out")" -gt '"$connected"' ]' ||
    fail "no reconnect after the malformed message"
same_as_baked "after the malformed message"

press Escape
wait_for 20 eval '! kill -0 "$play_pid" 2>/dev/null' && pass "Escape ends qv play" ||
    fail "qv play did not end"
play_pid=""
[ "$failures" = 0 ] || { echo "--- qv play stderr"; cat "$work/run/stderr"; echo "--- editor"; tail -20 "$work/editor.out"; }
exit $((failures > 0))
