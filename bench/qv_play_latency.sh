#!/usr/bin/env bash
# qv play's responsiveness and overhead under a private Xvfb, on a small demo at 800x600:
#  - the overlay's cost per frame: frames shown per second flat out (--fps 1000 --speed 16)
#    with the overlay hidden and shown, and qv play's own timing of the overlay's calls;
#  - the CPU a paused session takes with the overlay shown (target: idle);
#  - how long Escape takes to end the session (press to exit) while paused, at 16,000 due
#    frames per second, and during a run through frames that exhaust their instruction budget.
#   bench/qv_play_latency.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
qv="$(cd "${1:?usage: bench/qv_play_latency.sh BUILD_DIR}" && pwd)/qv"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_play_latency.XXXXXX")"
source "$(dirname "$0")/../tests/e2e/x_session.sh"
open_x_session

cat >"$work/bench.qvs" <<'QVS'
title "bench"
script 0
    PUSHF 1
    PUSHF 0.5
    PUSHF 0.2
    COLOR3
    PUSHMATRIX
    PUSHF 0
    PUSHF 0
    PUSHF -6
    TRANSLATE
    PUSHF -1
    PUSHF 1
    PUSHF 1
    PUSHF -1
    RECT
    POPMATRIX
script 1
spin:
    PUSHI 1
    PUSHI 1
    CMPSET
    PUSHI @spin
    JEQ
clip track 0 start 0 length 400000 script 0
clip track 2 start 200000 length 100000 script 1
QVS

play_gone() { ! kill -0 "$play_pid" 2>/dev/null; }
# start ARGS...: qv play bench.qvs ARGS with its statistics; sets qv_pid and focuses it.
start() {
    (cd "$work" && QV_PLAY_STATS=1 exec timeout -s KILL 120 "$qv" play bench.qvs --no-audio "$@" \
        2>"$work/stderr") &
    play_pid=$!
    wait_for 30 has_window "qv play: bench" || { echo "no window"; cat "$work/stderr"; exit 1; }
    qv_pid="$(pgrep -P "$play_pid")"
    xdotool windowfocus "$(window_line 'qv play: bench' | awk '{print $1}')"
}
# escape: presses Escape and prints how long the session took to end, in ms.
escape() {
    local pressed; pressed=$(date +%s%N)
    xdotool key Escape
    wait_for 30 play_gone
    echo $(( ($(date +%s%N) - pressed) / 1000000 ))
    wait "$play_pid"; play_pid=""
}
stat_field() { grep -o "$1" "$work/stderr" | grep -o '[0-9.]*' | head -n1; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$qv_pid/stat"; }

fps_of() {  # the frames per second of the stats line
    local frames ms
    frames=$(grep -o 'stopped; [0-9]* frames' "$work/stderr" | tail -n1 | grep -o '[0-9]* frames' |
        grep -o '[0-9]*')
    ms=$(grep -o 'shown in [0-9]* ms' "$work/stderr" | tail -n1 | grep -o '[0-9]*')
    echo "$frames $ms" | awk '{printf "%.1f", $1 * 1000 / $2}'
}

start --fps 1000 --speed 16
sleep 6
off_ms=$(escape)
fps_off=$(fps_of)
start --fps 1000 --speed 16
xdotool key Tab
sleep 6
on_ms=$(escape)
fps_on=$(fps_of)
own=$(stat_field 'overlay [0-9.]* ms')
echo "flat out, overlay hidden:         $fps_off frames/s"
echo "flat out, overlay shown:          $fps_on frames/s"
echo "$fps_off $fps_on" |
    awk '{printf "overlay cost per frame:           %.3f ms (target: under 1 ms)\n", 1000 / $2 - 1000 / $1}'
echo "overlay calls, qv play's timing:  $own ms per frame"
echo "Escape at 16,000 due frames/s:    $off_ms ms (hidden), $on_ms ms (shown)"

start --paused --start 1000
xdotool key Tab
sleep 1
before=$(cpu_ticks)
sleep 5
after=$(cpu_ticks)
echo "$before $after $(getconf CLK_TCK)" |
    awk '{printf "paused with the overlay, CPU:     %.1f %%\n", ($2 - $1) * 100 / $3 / 5}'
echo "Escape while paused:              $(escape) ms"

start --paused --start 220000
sleep 2  # the run to 70 s goes through 20 s of frames that exhaust their budget
echo "Escape during a long run:         $(escape) ms"
