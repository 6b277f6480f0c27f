#!/usr/bin/env bash
# The window, its F12 shots and `qv render` show the same bytes: a plain colour that lies
# half-way between two levels (0.1 is 25.5 of 255), blending and depth-tested surfaces that
# nearly coincide, then Nightfall at several times. Each qv play shot is compared with qv
# render at the same time, size and frame rate, and so is the window's own content as the X
# server holds it; the player's window is compared on a picture that does not change with time.
#   window_pixels_test.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: window_pixels_test.sh BUILD_DIR}" && pwd)"
qv="$build/qv"
nightfall="$build/demos/nightfall/demo.acs"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_pixels.XXXXXX")"
xvfb_pid=""
run_pid=""  # the `timeout` of the qv play or player run under way
# stop_run: ends that run, the program under `timeout` included.
stop_run() {
    [ -n "$run_pid" ] && kill -KILL $(pgrep -P "$run_pid") "$run_pid" 2>/dev/null
    wait "$run_pid" 2>/dev/null
    run_pid=""
}
cleanup() {
    stop_run
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/x_session.sh"
source "$(dirname "$0")/still_picture.sh"
start_x_session

mkdir -p "$work/plain" "$work/nf"
still_picture_source >"$work/plain/surface.qvs"
"$qv" build "$work/plain/surface.qvs" -o "$work/plain/demo.acs" || { fail "qv build"; exit 1; }

# render DEMO MS SIZE OUT
render() { "$qv" render "$1" --time "$2" --fps 60 --size "$3" -o "$4" 2>/dev/null; }
lines_at_least() { [ "$(grep -c "$2" "$work/stderr")" -ge "$1" ]; }
window_id() { window_line "$1" | awk '{print $1}'; }
# play_session DEMO SIZE START: qv play paused at START, shots written into $work/run.
play_session() {
    rm -rf "$work/run"; mkdir -p "$work/run"
    (cd "$work/run" && exec timeout -s KILL 240 "$qv" play "$1" --start "$3" --paused \
        --size "$2" --fps 60 --no-audio 2>"$work/stderr" >/dev/null) &
    run_pid=$!
}
end_session() {
    press Escape
    wait_for 5 bash -c "! kill -0 $run_pid 2>/dev/null" || fail "Escape did not end qv play"
    stop_run
}
press() {
    xdotool windowfocus "$(window_id 'qv play: .*')" 2>/dev/null
    xdotool mousemove 100 100 key --delay 30 "$@"
}
# check_time DEMO WxH MS WHAT: F12 at MS; the shot and the window equal qv render at MS.
check_time() {
    local before; before=$(grep -c "wrote shot-$3.png" "$work/stderr")
    press F12
    # A seek runs every frame from 0 again: a few of them queued take a while on a busy machine.
    if ! wait_for 60 lines_at_least $((before + 1)) "wrote shot-$3.png"; then
        fail "$4: no shot at $3 ms"; return
    fi
    render "$1" "$3" "$2" "$work/ref.png" || { fail "$4: qv render at $3 ms failed"; return; }
    cmp -s "$work/run/shot-$3.png" "$work/ref.png" && pass "$4: shot at $3 ms = qv render" ||
        fail "$4: shot at $3 ms differs from qv render"
    window_matches "$(window_id 'qv play: .*')" "$work/ref.png" &&
        pass "$4: window at $3 ms = qv render" || fail "$4: window at $3 ms differs from qv render"
}

# --- the small picture in qv play
render "$work/plain/demo.acs" 1000 160x120 "$work/plain.png" || fail "qv render of the small picture"
# 0.1 of 255 is 25.5: an 8-bit colour buffer rounds it to 26 (a 10-bit one gave 25); the
# half-transparent layer over black is 0.5 * (0.1, 0.7, 0.9) of 255.
probe() { convert "$work/plain.png" -format "%[pixel:p{$1}]" info:; }
[ "$(probe 40,60)" = "srgba(26,128,76,1)" ] && pass "plain colour 0.1 is 26 in qv render" ||
    fail "plain colour at 40,60 is $(probe 40,60), not srgba(26,128,76,1)"
[ "$(probe 90,60)" = "srgba(13,89,115,1)" ] && pass "blended over black in qv render" ||
    fail "blended colour at 90,60 is $(probe 90,60), not srgba(13,89,115,1)"

play_session "$work/plain/demo.acs" 160x120 1000
wait_for 30 has_window 'qv play: surface' || { fail "no qv play window"; cat "$work/stderr"; exit 1; }
check_time "$work/plain/demo.acs" 160x120 1000 "small picture"
press Right
check_time "$work/plain/demo.acs" 160x120 2000 "small picture after a seek"
# A resized window draws at its new size.
xdotool windowsize "$(window_id 'qv play: .*')" 200 150
is_wide() { xwininfo -id "$(window_id 'qv play: .*')" | grep -q "Width: $1"; }
wait_for 5 is_wide 200 || fail "the window was not resized"
check_time "$work/plain/demo.acs" 200x150 2000 "small picture resized"
end_session

# --- Nightfall at several times: start, a jump of 10 s, further seeks both ways
play_session "$nightfall" 320x240 4000
wait_for 30 has_window 'qv play: .*' || { fail "no qv play window for Nightfall"; exit 1; }
check_time "$nightfall" 320x240 4000 "Nightfall"
press shift+Right
check_time "$nightfall" 320x240 14000 "Nightfall"
press shift+Right shift+Right period
check_time "$nightfall" 320x240 34016 "Nightfall"
press shift+Right shift+Right shift+Right shift+Right Right
check_time "$nightfall" 320x240 75016 "Nightfall"
press Right Right Right Right comma
check_time "$nightfall" 320x240 79000 "Nightfall"
press shift+Left shift+Left
check_time "$nightfall" 320x240 59000 "Nightfall"
end_session

# --- the player's own window (full screen 800x600 from the start-up window), on the small
# picture, which every frame draws alike
render "$work/plain/demo.acs" 1000 800x600 "$work/plain800.png" || fail "qv render at 800x600"
cp "$work/plain/demo.acs" "$work/nf/demo.acs"
(cd "$work/nf" && exec timeout -s KILL 60 "$build/quorvanel" >"$work/stderr" 2>&1) &
run_pid=$!
if wait_for 20 has_window 'demoplayer.*'; then
    xdotool windowfocus "$(window_id 'demoplayer.*')" key alt+s 2>/dev/null
    if wait_for 20 has_window '>> surface.*'; then
        window_matches root "$work/plain800.png" && pass "the player's window = qv render" ||
            fail "the player's window differs from qv render"
        xdotool windowfocus "$(window_id '>> surface.*')" mousemove 400 300 key Escape 2>/dev/null
    else
        fail "the player's window did not open"
    fi
else
    fail "no start-up window"
fi
# Ending the player is player_e2e's to check; here it must only go. On a loaded machine the
# focus has once not reached the window in time for the key: it is given once more.
player_gone() { ! kill -0 "$run_pid" 2>/dev/null; }
if ! wait_for 5 player_gone; then
    xdotool windowfocus "$(window_id '>> surface.*')" key Escape 2>/dev/null
    wait_for 15 player_gone || fail "Escape did not end the player"
fi
stop_run

[ $failures = 0 ] || { echo "--- last stderr"; cat "$work/stderr"; }
exit $((failures > 0))
