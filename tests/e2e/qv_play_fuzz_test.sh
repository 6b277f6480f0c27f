#!/usr/bin/env bash
# qv play driven through keys, seeks, steps, shots, the overlay and reloads on demos of the
# whole-demo fuzzer's kind: its seeds, and copies with bytes changed at random (seeded, so
# that each run tries the same files). qv play may refuse a file it cannot read (status 1,
# with a message), but no file and no key may crash it: every session ends by Escape with 0.
#   qv_play_fuzz_test.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
qv="$(cd "${1:?usage: qv_play_fuzz_test.sh BUILD_DIR}" && pwd)/qv"
seeds="$(cd "$(dirname "$0")/../../fuzz/seeds/demo_fuzz" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_play_fuzz.XXXXXX")"
source "$(dirname "$0")/x_session.sh"
open_x_session

# mutate SEED IN OUT: IN with a few bytes past the title changed, chosen by SEED.
mutate() {
    python3 - "$@" <<'PY'
import random, sys
seed, src, dst = int(sys.argv[1]), sys.argv[2], sys.argv[3]
data = bytearray(open(src, 'rb').read())
rng = random.Random(seed)
for _ in range(rng.randint(1, 6)):
    at = rng.randrange(min(40, len(data) - 1), len(data))
    data[at] = rng.choice([0, 1, 0x7F, 0x80, 0xFF, rng.randrange(256)])
open(dst, 'wb').write(bytes(data))
PY
}

play_gone() { ! kill -0 "$play_pid" 2>/dev/null; }
# launch DIR: qv play on DIR/demo.acs (run by start_until_window).
launch() {
    cd "$1" || exit
    exec timeout -s KILL 120 "$qv" play demo.acs --start 500 --paused --size 160x120 \
        --no-audio 2>"$1/stderr"
}

# session NAME FILE: qv play on FILE (as demo.acs in a folder of its own) through the keys.
session() {
    local dir="$work/$1"
    mkdir -p "$dir"
    cp "$2" "$dir/demo.acs"
    start_until_window "qv play: .*" "$dir/stderr" launch "$dir"; local started=$?
    if [ "$started" != 0 ]; then
        local status=137
        if [ "$started" = 1 ]; then wait "$play_pid"; status=$?; fi
        play_pid=""
        if [ "$status" = 1 ] && grep -q "qv play:" "$dir/stderr"; then
            pass "$1: refused with a message"
        else
            fail "$1: no window, status $status"
            tail -5 "$dir/stderr"
        fi
        return
    fi
    local id; id="$(window_line 'qv play: .*' | awk '{print $1}')"
    xdotool windowfocus "$id" 2>/dev/null
    xdotool key --delay 40 Right period period comma F12 Tab Left Home Right shift+Right space
    sleep 0.3
    xdotool key --delay 40 space bracketleft Right bracketright space
    sleep 0.3
    xdotool key --delay 40 space comma Tab F12
    mutate "$3" "$2" "$dir/demo.acs"  # a reload of another version
    sleep 0.5
    xdotool key --delay 40 Left Right Right Right Left
    sleep 0.3
    xdotool key Escape
    if ! wait_for 10 play_gone; then
        fail "$1: Escape did not end qv play"
        return
    fi
    wait "$play_pid"; local status=$?
    play_pid=""
    [ "$status" = 0 ] && pass "$1: keys, seeks and a reload, then Escape" ||
        { fail "$1: qv play ended with status $status"; tail -5 "$dir/stderr"; }
}

# Beside the seeds, an author's everyday slip the fuzzer finds at once: a block never ended,
# so that every frame ends inside it.
cat >"$work/open-block.qvs" <<'QVS'
title "open block"
script 0
    PUSHI 7
    BEGIN
    PUSHF 0
    PUSHF 0
    PUSHF 0
    VERTEX
clip track 0 start 300 length 100000 script 0
QVS
"$qv" build "$work/open-block.qvs" -o "$work/open-block.acs" || fail "no open-block demo"
session open-block "$work/open-block.acs" 200

n=0
for seed in "$seeds"/*.acs; do
    name="$(basename "$seed" .acs)"
    n=$((n + 1))
    session "$name" "$seed" "$n"
    mutate "$n" "$seed" "$work/$name-mutated.acs"
    session "$name-mutated" "$work/$name-mutated.acs" $((n + 100))
done
exit $((failures > 0))
