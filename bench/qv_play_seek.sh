#!/usr/bin/env bash
# How long qv play takes from a seek key to the new frame shown, on the showcase at 800x600
# under a private Xvfb: paused at 39 s, one second back five times, then ten seconds ahead
# and back; every run's time from qv play's own statistics (start-up, the frames before the
# playhead and the frame shown). Then at 74 s, a reload of the rewritten demo file.
#   bench/qv_play_seek.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: bench/qv_play_seek.sh BUILD_DIR}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_play_seek.XXXXXX")"
source "$(dirname "$0")/../tests/e2e/x_session.sh"
open_x_session

cp "$build/demos/nightfall/demo.acs" "$work/"
cp -r "$build/demos/nightfall/data" "$work/" 2>/dev/null
(cd "$work" && QV_PLAY_STATS=1 exec timeout -s KILL 300 "$build/qv" play demo.acs --no-audio \
    --start 39000 --paused 2>"$work/stderr") &
play_pid=$!
wait_for 60 has_window "qv play: .*" || { echo "no window"; cat "$work/stderr"; exit 1; }
runs() { grep -c "run to" "$work/stderr"; }
# key KEYS: presses them and waits for the run they start to show its frame.
key() {
    local before; before=$(runs)
    xdotool key "$@"
    local deadline=$((SECONDS + 30))
    while [ "$(runs)" -le "$before" ] && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
}
xdotool windowfocus "$(window_line 'qv play: .*' | awk '{print $1}')"
for _ in 1 2 3 4 5; do key Left; done
key shift+Right
key shift+Left
for _ in 1 2 3 4; do key shift+Right; done
touch "$work/demo.acs"
wait_for 30 grep -q "reloaded at" "$work/stderr"
xdotool key Escape
wait_for 30 bash -c "! kill -0 $play_pid 2>/dev/null"
grep -E "run to|reloaded at" "$work/stderr" | sed 's/^qv play: \(stats: \)\?//'
