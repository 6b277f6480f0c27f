#!/usr/bin/env bash
# Frame rate of the player on a demo under a private Xvfb (Mesa's software renderer), read
# from the window caption once a second, and the start-up time of its content.
#   bench/player_fps.sh BUILD_DIR [DEMO_DIR] [SECONDS]
# DEMO_DIR (default BUILD_DIR/demos/nightfall) holds demo.acs and the files it names. The
# player starts full screen at 800 x 600 (the startup window's default); without an audio
# device it runs on the steady clock. Prints the content start-up time (qv render of frame 0
# less that of an empty demo) and one caption per second.
set -uo pipefail
# Window names in UTF-8 (xwininfo prints none in the C locale) and "1.5", not "1,5", from time.
export LC_ALL=C.UTF-8

build="$(cd "${1:?usage: player_fps.sh BUILD_DIR [DEMO_DIR] [SECONDS]}" && pwd)"
demo="$(cd "${2:-$build/demos/nightfall}" && pwd)"
seconds="${3:-20}"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_fps.XXXXXX")"
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# --- start-up: the same headless run with and without the demo's content
printf 'empty\x1aquorvanel1' >"$work/empty.acs"
head -c 176 /dev/zero >>"$work/empty.acs"
best_of_3() {
    local best=999999 t
    for _ in 1 2 3; do
        t=$( { TIMEFORMAT=%R; time "$build/qv" render "$1" --time 0 -o "$work/f.png" \
                   --size 800x600 >/dev/null 2>/dev/null; } 2>&1 | tail -n1)
        t=$(awk -v s="$t" 'BEGIN { printf "%d", s * 1000 }')
        [ "$t" -lt "$best" ] && best=$t
    done
    echo "$best"
}
with=$(best_of_3 "$demo/demo.acs")
without=$(best_of_3 "$work/empty.acs")
echo "start-up: qv render of frame 0 at 800x600 takes $with ms, $without ms without content:" \
     "content about $((with - without)) ms (best of 3)"

# --- frame rate: the player under Xvfb
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy

cp -R "$demo"/. "$work/"
(cd "$work" && timeout -s KILL $((seconds + 30)) "$build/quorvanel" >/dev/null 2>&1) &
player_pid=$!
caption() { xwininfo -root -tree | grep -oE '">> [^"]*"' | head -n1; }
for _ in $(seq 200); do xwininfo -root -tree | grep -q 'demoplayer' && break; sleep 0.05; done
xdotool search --name 'demoplayer' windowfocus --sync key alt+s 2>/dev/null
for _ in $(seq 200); do [ -n "$(caption)" ] && break; sleep 0.05; done
for _ in $(seq "$seconds"); do
    sleep 1
    echo "$(date +%T) $(caption)"
done
xdotool search --name '^>> ' windowfocus key Escape 2>/dev/null
wait "$player_pid"
