#!/usr/bin/env bash
# End-to-end tests of the player under a private Xvfb, driven with xdotool:
#   player_e2e.sh BUILD_DIR
# Every run of the player is bounded by `timeout -s KILL` (a process showing a message box
# survives SIGTERM); windows are found with `xwininfo -root -tree` and every wait polls for its
# condition instead of sleeping a fixed time.
set -uo pipefail

# Window names are read back in UTF-8 whatever the caller's locale: in the C locale of a fresh
# system xwininfo cannot print "demoplayer ß" at all. The player itself runs in the C locale
# (start_player), as it would there, and must show the same names.
export LC_ALL=C.UTF-8
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
    echo "player_e2e: the C.UTF-8 locale is missing (glibc provides it from 2.35 on)" >&2
    exit 1
fi

build="$(cd "${1:?usage: player_e2e.sh BUILD_DIR}" && pwd)"
player="$build/quorvanel"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_e2e.XXXXXX")"
xvfb_pid=""
failures=0

cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/x_session.sh"
start_x_session

# --- helpers

no_window() { [ -z "$(window_line "$1")" ]; }
# window_geometry REGEX: "W H X Y" of that window.
window_geometry() {
    window_line "$1" | sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) +\+.*/\1 \2 \3 \4/'
}
window_name() { window_line "$1" | sed -E 's/^ +0x[0-9a-f]+ "(.*)": .*/\1/'; }

# press REGEX KEYS...: moves the pointer into the window and sends the keys. Without a window
# manager focus follows the pointer, except that a full-screen SDL window keeps the focus it
# took: a box shown over it gets the focus explicitly.
press() {
    local w h x y id
    read -r w h x y <<<"$(window_geometry "$1")"
    id="$(window_line "$1" | awk '{print $1}')"; shift
    xdotool windowfocus "$id" 2>/dev/null
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) key --delay 30 "$@"
}
# click REGEX X Y: a click at client coordinates of the window.
click() {
    local w h x y
    read -r w h x y <<<"$(window_geometry "$1")"
    xdotool mousemove $((x + $2)) $((y + $3)) click 1
}

# start_player DIR: runs the player in DIR in the background; its status lands in DIR/status
# and the pid of its `timeout` in DIR/pid.
start_player() {
    rm -f "$1/status" "$1/pid"
    (
        cd "$1" || exit
        LC_ALL=C timeout -s KILL 30 "$player" >"$1/stderr" 2>&1 &
        echo $! >"$1/pid"
        wait $!
        echo $? >"$1/status"
    ) &
    wait_for 2 test -s "$1/pid"
}
exited() { [ -s "$1/status" ]; }
status_of() { cat "$1/status"; }
# stop_player DIR: ends a run that a failed check left behind, so that its windows do not
# cover the next case.
stop_player() {
    exited "$1" && return
    local tp; tp="$(cat "$1/pid")"
    kill -KILL $(pgrep -P "$tp") "$tp" 2>/dev/null
    wait_for 5 exited "$1"
}

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

DIALOG='demoplayer ß'

# start_through_dialog DIR [--no-start]: starts the player, waits for the dialog and, unless
# told otherwise, presses Alt+S in it.
start_through_dialog() {
    start_player "$1"
    wait_for 10 has_window "$DIALOG" || { fail "dialog did not appear"; return 1; }
    [ "${2:-}" = --no-start ] || press "$DIALOG" alt+s
}

# demo_file DIR TITLE MAGIC [clip]: writes a demo.acs with no content; with "quit-at-10s" one
# clip on track 0 from 10 s on runs a script holding only the quit instruction.
demo_file() {
    local f="$1/demo.acs"
    mkdir -p "$1"
    {
        printf '%s\x1a%s' "$2" "$3"
        if [ "${4:-}" = quit-at-10s ]; then
            printf '\x01\x00\x00\x00\x01\x00\x00\x00\xff'   # 1 script: QUIT
            printf '\x01\x00\x00\x00'                         # 1 clip:
            printf '\x00\x10\x27\x00\x00\xa0\x86\x01\x00'   # track 0, 10000 ms, 100000 ms,
            head -c 28 /dev/zero                              # script 0, no transform
        else
            head -c 8 /dev/zero                                        # no scripts, no clips
        fi
        head -c 120 /dev/zero                                          # 20 track records
        head -c 20 /dev/zero      # textures, paths, int and float variables, music name
        head -c 8 /dev/zero       # models, trailing script
    } >"$f"
}

# region_stat IMAGE W H X Y: "stddev minimum" of the region's intensity (0..1).
region_stat() {
    convert "$1" -crop "${2}x${3}+${4}+${5}" +repage -colorspace Gray \
        -format '%[fx:standard_deviation] %[fx:minima]' info:
}
has_ink() { local sd min; read -r sd min <<<"$(region_stat "$@")"; awk -v m="$min" 'BEGIN{exit !(m < 0.4)}'; }
is_blank() { local sd min; read -r sd min <<<"$(region_stat "$@")"; awk -v s="$sd" 'BEGIN{exit !(s < 0.01)}'; }

# dialog_painted X Y: a screenshot of the dialog (client origin X Y) into $work/dialog.png
# shows its first text and both buttons.
dialog_painted() {
    import -window root "$work/dialog.png" 2>/dev/null &&
        has_ink "$work/dialog.png" 70 10 $(($1 + 5)) $(($2 + 2)) &&
        has_ink "$work/dialog.png" 95 25 $(($1 + 5)) $(($2 + 147)) &&
        has_ink "$work/dialog.png" 95 25 $(($1 + 115)) $(($2 + 147))
}

# --- the cases

case_dialog_layout_and_quit() {
    local d="$work/dialog"; demo_file "$d" 'Night fall' quorvanel1
    start_player "$d"
    if ! wait_for 10 has_window "$DIALOG"; then fail "dialog did not appear"; return; fi
    local w h x y
    read -r w h x y <<<"$(window_geometry "$DIALOG")"
    [ "$w $h" = "214 175" ] || fail "dialog client size $w x $h, expected 214 x 175"
    # The window can be mapped well before its first paint (a first start on a fresh system
    # loads its fonts then): wait for the controls, not for the window.
    wait_for 20 dialog_painted "$x" "$y" ||
        echo "note: the dialog showed no controls within 20 s; checking the last screenshot"
    local cx=$x cy=$y ok=1
    # Texts and controls where the layout puts them (client coordinates).
    has_ink "$work/dialog.png" 70 10 $((cx + 5)) $((cy + 2)) || { ok=0; fail "no 'now showing:' text"; }
    has_ink "$work/dialog.png" 80 12 $((cx + 15)) $((cy + 15)) || { ok=0; fail "no title text"; }
    has_ink "$work/dialog.png" 70 12 $((cx + 10)) $((cy + 38)) || { ok=0; fail "no 'Resolution:' text"; }
    has_ink "$work/dialog.png" 60 14 $((cx + 18)) $((cy + 58)) || { ok=0; fail "no list text"; }
    has_ink "$work/dialog.png" 80 13 $((cx + 10)) $((cy + 120)) || { ok=0; fail "no check box"; }
    has_ink "$work/dialog.png" 95 25 $((cx + 5)) $((cy + 147)) || { ok=0; fail "no Start button"; }
    has_ink "$work/dialog.png" 95 25 $((cx + 115)) $((cy + 147)) || { ok=0; fail "no Quit button"; }
    # Empty face inside the group box, between the list and the check box.
    is_blank "$work/dialog.png" 150 25 $((cx + 20)) $((cy + 85)) || { ok=0; fail "group box not empty"; }
    [ $ok = 1 ] && pass "dialog shows its controls in the layout"

    press "$DIALOG" alt+q
    if ! wait_for 5 exited "$d"; then fail "Quit did not end the program"; return; fi
    [ "$(status_of "$d")" = 0 ] || fail "Quit: exit status $(status_of "$d")"
    grep -q '">> ' <(xwininfo -root -tree) && fail "Quit opened the player window"
    pass "Quit ends without the player window"
}

case_start_fullscreen_fps_f1_escape() {
    # The title is Windows-1252: the byte 0xDF is the sharp s of the caption.
    local d="$work/run"; demo_file "$d" $'Nacht \xdf' quorvanel1
    start_through_dialog "$d" || return
    if ! wait_for 10 has_window '>> Nacht ß.*'; then fail "Start opened no GL window"; return; fi
    pass "Start opens the player window"
    local w h x y
    read -r w h x y <<<"$(window_geometry '>> Nacht ß.*')"
    [ "$w $h" = "800 600" ] || fail "full-screen window $w x $h, expected 800 x 600"
    fps_above_zero() { window_name '>> Nacht ß.*' | grep -Eq '^>> Nacht ß   \[[1-9][0-9]* FPS\]$'; }
    if wait_for 3 fps_above_zero; then pass "caption shows frames per second: $(window_name '>> .*')"
    else fail "no FPS caption within 3 s: '$(window_name '>> .*')'"; fi
    press '>> Nacht ß.*' Escape
    if ! wait_for 5 exited "$d"; then fail "Escape did not end the program"; return; fi
    if [ "$(status_of "$d")" = 0 ]; then pass "Escape ends with status 0"
    else fail "Escape: exit status $(status_of "$d")"; cat "$d/stderr"; fi
}

case_f1_moves_the_demo_time() {
    # The demo quits at 10 s; eleven F1 presses take it there within a second.
    local d="$work/f1"; demo_file "$d" 'jump' quorvanel1 quit-at-10s
    start_through_dialog "$d" || return
    wait_for 10 has_window '>> jump.*' || { fail "Start opened no GL window"; return; }
    local started; started=$(date +%s)
    press '>> jump.*' F1 F1 F1 F1 F1 F1 F1 F1 F1 F1 F1
    if wait_for 5 exited "$d" && [ $(( $(date +%s) - started )) -lt 8 ]; then
        [ "$(status_of "$d")" = 0 ] && pass "F1 moves the demo time ahead (quit clip at 10 s reached)" \
            || fail "quit clip: exit status $(status_of "$d")"
    else
        fail "F1 did not move the demo time to the quit clip"
    fi
}

case_windowed_client_size() {
    local d="$work/windowed"; demo_file "$d" 'small' quorvanel1
    start_through_dialog "$d" --no-start || return
    click "$DIALOG" 100 65          # open the resolution list ...
    sleep 0.2
    xdotool key Up Return           # ... and take the entry above 800x600
    click "$DIALOG" 14 127          # "windowed"
    press "$DIALOG" alt+s
    wait_for 10 has_window '>> small.*' || { fail "Start opened no GL window"; return; }
    local w h x y
    read -r w h x y <<<"$(window_geometry '>> small.*')"
    if [ "$w $h" = "640 480" ]; then pass "windowed 640x480 gives a 640 x 480 client area"
    else fail "windowed window $w x $h, expected 640 x 480"; fi
    grep -q "Fullscreen-mode" "$d/stderr" && fail "windowed run tried full screen"
    press '>> small.*' Escape
    wait_for 5 exited "$d" || fail "Escape did not end the windowed run"
}

# expect_fatal_box DIR CAPTION TEXT: the run shows the box, OK ends it with a failure status.
expect_fatal_box() {
    local d="$1" caption="$2" text="$3" pattern
    pattern="$(printf '%s' "$caption" | sed 's/[?.]/\\&/g')"
    if ! wait_for 10 has_window "$pattern"; then fail "no '$caption' box"; return 1; fi
    press "$pattern" Return
    wait_for 5 exited "$d" || { fail "OK in the '$caption' box did not end the program"; return 1; }
    if grep -qxF "$caption: $text" "$d/stderr" && [ "$(status_of "$d")" != 0 ]; then
        pass "'$text' / '$caption'"
    else
        fail "'$caption' box: status $(status_of "$d"), stderr: $(cat "$d/stderr")"
    fi
}

case_refused_fullscreen_opens_windowed() {
    # The screen runs 800x600 only: full screen at 1024x768 is refused, then windowed.
    local d="$work/refused"; demo_file "$d" 'wide' quorvanel1
    start_through_dialog "$d" --no-start || return
    click "$DIALOG" 100 65
    sleep 0.2
    xdotool key Down Return
    press "$DIALOG" alt+s
    if ! wait_for 10 has_window 'Quorvanel Error'; then fail "no box for the refused mode"; return; fi
    press 'Quorvanel Error' Return
    grep -qxF "Quorvanel Error: Fullscreen-mode can't be achieved" "$d/stderr" ||
        fail "refused mode: stderr $(cat "$d/stderr")"
    wait_for 10 has_window '>> wide.*' || { fail "no windowed window after the refused mode"; return; }
    local w h x y
    read -r w h x y <<<"$(window_geometry '>> wide.*')"
    if [ "$w $h" = "1024 768" ]; then pass "refused full screen: message, then a 1024 x 768 window"
    else fail "after the refused mode: window $w x $h"; fi
    press '>> wide.*' Escape
    wait_for 5 exited "$d" || fail "Escape did not end the run"
}

case_missing_demo_file() {
    local d="$work/missing"; mkdir -p "$d"
    start_player "$d"
    expect_fatal_box "$d" 'wtf?' 'Script file not found' &&
        has_window "$DIALOG" && fail "dialog shown without a demo file"
    # stderr also says which file was looked for, where, and how to start the player.
    if grep -qF "quorvanel: looked for demo.acs in '$(cd "$d" && pwd -P)': cannot open the file" \
            "$d/stderr" && grep -qF 'qv play DEMO.acs|SOURCE.qvs' "$d/stderr" &&
            grep -qF "cd into the demo's folder" "$d/stderr"; then
        pass "without a demo file stderr says where it looked and how to start"
    else
        fail "no hint on stderr without a demo file: $(cat "$d/stderr")"
    fi
}

case_wrong_magic() {
    local d="$work/magic"; demo_file "$d" 'bad' Quorvanel1
    start_through_dialog "$d" || return
    expect_fatal_box "$d" 'error' 'ne. heut nich'
}

run_case() {
    "$1"
    local d
    for d in "$work"/*/; do [ -s "$d/pid" ] && stop_player "${d%/}"; done
}

run_case case_dialog_layout_and_quit
run_case case_start_fullscreen_fps_f1_escape
run_case case_f1_moves_the_demo_time
run_case case_windowed_client_size
run_case case_refused_fullscreen_opens_windowed
run_case case_missing_demo_file
run_case case_wrong_magic

if [ "$failures" -ne 0 ]; then echo "$failures end-to-end check(s) failed"; exit 1; fi
echo "all end-to-end checks passed"
