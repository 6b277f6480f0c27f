#!/usr/bin/env bash
# Resident memory of qv play over many seeks and reloads of Nightfall, under a private Xvfb:
# SEEKS presses of Right and Left a tenth of a second apart (as an author holding the keys;
# every 50th is followed by a pause long enough for its run to finish), then RELOADS rewrites
# of demo.acs, each left time to reload. Prints the resident set at the start, after the
# seeks and after the reloads, and qv play's own count of runs done and stopped. The target:
# the end within 30 MB of the start.
#   bench/qv_play_soak.sh BUILD_DIR [SEEKS] [RELOADS]
set -uo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: bench/qv_play_soak.sh BUILD_DIR [SEEKS] [RELOADS]}" && pwd)"
seeks="${2:-1000}"
reloads="${3:-100}"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_play_soak.XXXXXX")"
source "$(dirname "$0")/../tests/e2e/x_session.sh"
open_x_session

cp -r "$build/demos/nightfall" "$work/demo"
cp "$work/demo/demo.acs" "$work/original.acs"
(
    cd "$work/demo" || exit
    QV_PLAY_STATS=1 exec timeout -s KILL 3600 "$build/qv" play demo.acs --start 1000 --paused \
        --size 640x480 --no-audio 2>"$work/stderr"
) &
play_pid=$!
wait_for 30 has_window "qv play: .*" || { echo "no qv play window"; cat "$work/stderr"; exit 1; }
qv_pid="$(pgrep -P "$play_pid")"
id="$(window_line 'qv play: .*' | awk '{print $1}')"
xdotool windowfocus "$id"
rss() { awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$qv_pid/status"; }
sleep 8  # the first run
start=$(rss)
echo "resident at the start:            $start MB"

for i in $(seq "$seeks"); do
    if [ $((i % 2)) = 0 ]; then xdotool key Left; else xdotool key Right; fi
    sleep 0.1
    [ $((i % 50)) = 0 ] && sleep 3
done
sleep 5
after_seeks=$(rss)
echo "after $seeks seek keys:             $after_seeks MB"

for _ in $(seq "$reloads"); do
    cp "$work/original.acs" "$work/demo/demo.acs"
    sleep 1.5
done
sleep 5
after_reloads=$(rss)
echo "after $reloads reloads:              $after_reloads MB"
echo "reloads reported:                 $(grep -c 'reloaded at' "$work/stderr")"
xdotool key Escape
wait_for 10 bash -c "! kill -0 $qv_pid 2>/dev/null"
grep "stats:" "$work/stderr"
echo "growth: $((after_reloads - start)) MB (target: within 30 MB)"
