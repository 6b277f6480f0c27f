#!/usr/bin/env bash
# How long qv play takes from an edit of the showcase's source to the new frame, at 800x600
# under a private Xvfb, the session paused: at 76 s and at 80 s, an edit of the script of the
# crescent moon (its clip starts at 78.72 s, in the last scene), then an edit of a texture
# program. qv play's own figures: "reloaded at T in N ms" counts from the edit noticed and
# settled (30 ms after the last write) to the frame presented; the statistics say which way
# the run went.
#   bench/qv_play_reload.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
build="$(cd "${1:?usage: bench/qv_play_reload.sh BUILD_DIR}" && pwd)"
source_dir="$(cd "$(dirname "$0")/../demos/nightfall" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_play_reload.XXXXXX")"
source "$(dirname "$0")/../tests/e2e/x_session.sh"
open_x_session

cp "$source_dir/nightfall.qvs" "$work/"
# The moon's x: the first PUSHF -4.5 of script 20.
moon=$(awk '/^script 20 /{f=1} f && /^    PUSHF -4\.5$/{print NR; exit}' "$work/nightfall.qvs")
cp -r "$build/demos/nightfall/data" "$build/demos/nightfall/music.flac" "$work/" 2>/dev/null
for start in 76000 80000; do
    (cd "$work" && QV_PLAY_STATS=1 exec timeout -s KILL 300 "$build/qv" play nightfall.qvs \
        --no-audio --start "$start" --paused 2>"$work/stderr-$start") &
    play_pid=$!
    wait_for 60 has_window "qv play: .*" || { echo "no window"; cat "$work/stderr-$start"; exit 1; }
    wait_for 30 grep -q "run to" "$work/stderr-$start"
    reloads() { grep -c "reloaded at" "$work/stderr-$start"; }
    edit() {  # edit SED_EXPRESSION: rewrites the source and waits for the reload
        local before; before=$(reloads)
        sed -i "$1" "$work/nightfall.qvs"
        wait_for 30 eval '[ "$(reloads)" -gt '"$before"' ]'
    }
    for value in -4.4 -4.5 -4.4 -4.5; do edit "${moon}s/PUSHF -4\.[45]/PUSHF $value/"; done
    for colour in C0F0FE C0F0FF; do edit "s/Disc 256 256 50 0x[0-9A-F]* 0/Disc 256 256 50 0x$colour 0/"; done
    xdotool windowfocus "$(window_line 'qv play: .*' | awk '{print $1}')" key Escape
    wait_for 30 bash -c "! kill -0 $play_pid 2>/dev/null" || kill "$play_pid"
    play_pid=""
    grep -E "run to|reloaded at|changes the run|texture programs" "$work/stderr-$start" | sed 's/^qv play: \(stats: \)\?//'
done
