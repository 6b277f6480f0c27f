#!/usr/bin/env bash
# End-to-end tests of quorvanel.exe under Wine and a private Xvfb, driven with xdotool:
#   player_windows_e2e.sh BUILD_DIR WINE_ROOT
# WINE_ROOT holds the Wine prefix and home (wine.sh). The bundled demo and the demo with
# Windows-1252 file names are built by the Linux build's qv ($QV_LINUX_BUILD, default build/);
# those cases are skipped without it. Every run is bounded by `timeout -s KILL`.
set -uo pipefail
export LC_ALL=C.UTF-8

here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: player_windows_e2e.sh BUILD_DIR WINE_ROOT}" && pwd)"
wine_root="$(mkdir -p "${2:?usage: player_windows_e2e.sh BUILD_DIR WINE_ROOT}" && cd "$2" && pwd)"
linux_build="${QV_LINUX_BUILD:-$here/../../build}"
player="$build/quorvanel.exe"
wine=("$here/wine.sh" "$wine_root")
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_win_e2e.XXXXXX")"
shots="$build/e2e"
mkdir -p "$shots"
xvfb_pid=""
failures=0

cleanup() {
    "${wine[@]}" stop
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

source "$here/../e2e/x_session.sh"
source "$here/../e2e/still_picture.sh"
start_x_session
# waveOut needs an ALSA device; the null device takes the sound (the player paces itself).
mkdir -p "$wine_root/home"
echo 'pcm.!default { type null }' >"$wine_root/home/.asoundrc"
"${wine[@]}" start

# --- helpers

window_geometry() {
    window_line "$1" | sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) +\+.*/\1 \2 \3 \4/'
}
window_name() { window_line "$1" | sed -E 's/^ +0x[0-9a-f]+ "(.*)": .*/\1/'; }
window_id() { window_line "$1" | awk '{print $1}'; }

# press REGEX KEYS...: focuses the window and sends the keys.
press() {
    local id; id="$(window_id "$1")"; shift
    xdotool windowfocus --sync "$id" 2>/dev/null
    xdotool key --delay 40 "$@"
}
# dialog_origin: "X Y" of the dialog's client area inside its X window. Wine makes the X
# window the client area when a window manager would draw the frame, and the whole 220 x 200
# window with its own frame when none would; the client area is 214 x 175 either way.
dialog_origin() {
    local w h x y
    read -r w h x y <<<"$(window_geometry "$DIALOG")"
    local ox=$(( (w - 214) / 2 ))
    echo "$ox $(( h - 175 - ox ))"
}
# click X Y: a click at client coordinates of the dialog. The dialog has no dialog manager
# (no IsDialogMessage): Alt+S and Alt+Q are no shortcuts there, buttons take clicks.
click() {
    local id ox oy
    id="$(window_id "$DIALOG")"
    read -r ox oy <<<"$(dialog_origin)"
    xdotool mousemove --window "$id" $((ox + $1)) $((oy + $2)) click 1
}
no_window() { ! has_window "$1"; }
# click_start: Start, clicked again while the dialog stays. Under load Wine maps the dialog's
# X window before its buttons take clicks, and a click then is lost.
click_start() {
    local tries
    for tries in 1 2 3 4; do
        click 52 159
        wait_for 4 no_window "$DIALOG" && return 0
    done
    return 1
}
click_quit() { click 162 159; }

start_player() {
    rm -f "$1/status" "$1/pid"
    (
        cd "$1" || exit
        timeout -s KILL 40 "${wine[@]}" run "$player" >"$1/stderr" 2>&1 &
        echo $! >"$1/pid"
        wait $!
        echo $? >"$1/status"
    ) &
    wait_for 2 test -s "$1/pid"
}
exited() { [ -s "$1/status" ]; }
# escape_until_exited REGEX DIR: Escape in the player window, again every two seconds, until
# the player has ended (at most 20 s). A key pressed while Wine still hands the focus over
# from a message box or a mode change is lost; a second Escape is never seen by a player
# that has ended.
escape_until_exited() {
    local tries
    for tries in 1 2 3 4 5 6 7 8 9 10; do
        press "$1" Escape
        wait_for 2 exited "$2" && return 0
    done
    return 1
}
status_of() { cat "$1/status"; }
stop_player() {
    exited "$1" && return
    local tp; tp="$(cat "$1/pid")"
    pkill -KILL -P "$tp" 2>/dev/null
    kill -KILL "$tp" 2>/dev/null
    wait_for 5 exited "$1"
}

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# For a failure's message: the windows there are and what the player printed.
windows_and_stderr() {
    echo "windows:"; xwininfo -root -tree 2>/dev/null | grep -E '^ +0x' | grep -v '(has no name)'
    echo "stderr:"; cat "$1/stderr"
}
pass() { echo "ok:   $*"; }

DIALOG='demoplayer ß'

start_through_dialog() {
    start_player "$1"
    wait_for 20 has_window "$DIALOG" || { fail "dialog did not appear: $(cat "$1/stderr")"; return 1; }
    [ "${2:-}" = --no-start ] || click_start ||
        { fail "Start did not close the dialog: $(windows_and_stderr "$1")"; return 1; }
}

# demo_file DIR TITLE [quit-at-10s]: a demo.acs with no content; with quit-at-10s one clip on
# track 0 from 10 s on runs a script holding only the quit instruction.
demo_file() {
    local f="$1/demo.acs"
    mkdir -p "$1"
    {
        printf '%s\x1aquorvanel1' "$2"
        if [ "${3:-}" = quit-at-10s ]; then
            printf '\x01\x00\x00\x00\x01\x00\x00\x00\xff'
            printf '\x01\x00\x00\x00'
            printf '\x00\x10\x27\x00\x00\xa0\x86\x01\x00'
            head -c 28 /dev/zero
        else
            head -c 8 /dev/zero
        fi
        head -c 120 /dev/zero
        head -c 20 /dev/zero
        head -c 8 /dev/zero
    } >"$f"
}

region_stat() {
    convert "$1" -crop "${2}x${3}+${4}+${5}" +repage -colorspace Gray \
        -format '%[fx:standard_deviation] %[fx:minima]' info:
}
has_ink() { local sd min; read -r sd min <<<"$(region_stat "$@")"; awk -v m="$min" 'BEGIN{exit !(m < 0.4)}'; }
is_blank() { local sd min; read -r sd min <<<"$(region_stat "$@")"; awk -v s="$sd" 'BEGIN{exit !(s < 0.01)}'; }

# choose_resolution INDEX: picks the list entry (0 640x480 ... 3 1280x1024) with the keyboard.
choose_resolution() {
    click 100 62
    sleep 0.3
    local keys=(Up Up Up)
    xdotool key --delay 60 "${keys[@]}"
    local i
    for ((i = 0; i < $1; i++)); do xdotool key Down; sleep 0.05; done
    xdotool key Return
    sleep 0.2
}

# virtual_desktop on|off: Wine's desktop in one X window of 1024x768, whose display modes
# can be changed, or every window on the X screen itself. The desktop process reads the
# setting when it starts: the wineserver starts anew.
virtual_desktop() {
    if [ "$1" = on ]; then
        "${wine[@]}" wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f
        "${wine[@]}" wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    else
        "${wine[@]}" wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f
    fi
    "${wine[@]}" stop
    "${wine[@]}" start
} >/dev/null 2>&1

# --- the cases

case_dialog_layout_and_quit() {
    local d="$work/dialog"; demo_file "$d" 'Night fall'
    start_player "$d"
    if ! wait_for 20 has_window "$DIALOG"; then fail "dialog did not appear: $(cat "$d/stderr")"; return; fi
    sleep 0.5
    local w h x y
    read -r w h x y <<<"$(window_geometry "$DIALOG")"
    import -window root "$shots/dialog.png"
    echo "      dialog window $w x $h at $x,$y (screenshot $shots/dialog.png)"
    local ok=1 ox oy
    read -r ox oy <<<"$(dialog_origin)"
    local cx=$((x + ox)) cy=$((y + oy))
    has_ink "$shots/dialog.png" 70 10 $((cx + 5)) $((cy + 2)) || { ok=0; fail "no 'now showing:' text"; }
    has_ink "$shots/dialog.png" 80 12 $((cx + 15)) $((cy + 15)) || { ok=0; fail "no title text"; }
    has_ink "$shots/dialog.png" 70 12 $((cx + 10)) $((cy + 38)) || { ok=0; fail "no 'Resolution:' text"; }
    has_ink "$shots/dialog.png" 60 14 $((cx + 18)) $((cy + 58)) || { ok=0; fail "no list text"; }
    has_ink "$shots/dialog.png" 80 13 $((cx + 10)) $((cy + 120)) || { ok=0; fail "no check box"; }
    has_ink "$shots/dialog.png" 95 25 $((cx + 5)) $((cy + 147)) || { ok=0; fail "no Start button"; }
    has_ink "$shots/dialog.png" 95 25 $((cx + 115)) $((cy + 147)) || { ok=0; fail "no Quit button"; }
    is_blank "$shots/dialog.png" 150 25 $((cx + 20)) $((cy + 85)) || { ok=0; fail "group box not empty"; }
    [ $ok = 1 ] && pass "dialog shows its controls in the layout"
    click_quit
    if ! wait_for 20 exited "$d"; then fail "Quit did not end the program"; return; fi
    [ "$(status_of "$d")" = 0 ] || fail "Quit: exit status $(status_of "$d")"
    xwininfo -root -tree | grep -q '">> ' && fail "Quit opened the player window"
    pass "Quit ends without the player window"
}

case_fullscreen_fps_escape() {
    local d="$work/run"; demo_file "$d" $'Nacht \xdf'
    start_through_dialog "$d" || return
    if ! wait_for 20 has_window '>> Nacht ß.*'; then fail "Start opened no GL window: $(cat "$d/stderr")"; return; fi
    pass "Start opens the player window"
    local w h x y
    read -r w h x y <<<"$(window_geometry '>> Nacht ß.*')"
    [ "$w $h" = "800 600" ] || fail "full-screen window $w x $h, expected 800 x 600"
    fps_above_zero() { window_name '>> Nacht ß.*' | grep -Eq '^>> Nacht ß   \[[1-9][0-9]* FPS\]$'; }
    if wait_for 5 fps_above_zero; then pass "caption shows frames per second: $(window_name '>> .*')"
    else fail "no FPS caption within 5 s: '$(window_name '>> .*')'"; fi
    press '>> Nacht ß.*' Escape
    if ! wait_for 20 exited "$d"; then fail "Escape did not end the program"; return; fi
    if [ "$(status_of "$d")" = 0 ]; then pass "Escape ends with status 0"
    else fail "Escape: exit status $(status_of "$d"): $(cat "$d/stderr")"; fi
}

case_f1_moves_the_demo_time() {
    local d="$work/f1"; demo_file "$d" 'jump' quit-at-10s
    start_through_dialog "$d" || return
    wait_for 20 has_window '>> jump.*' || { fail "Start opened no GL window"; return; }
    # Keys reach the player once Wine has handed it the focus: its first frame-rate caption
    # (a second in) is a safe sign, where keys pressed at once have been lost.
    wait_for 10 has_window '>> jump.*FPS\]' || { fail "no frame rate in the caption"; return; }
    press '>> jump.*' F1 F1 F1 F1 F1 F1 F1 F1 F1 F1 F1
    # Without F1 the quit clip comes after 10 s; Wine's teardown afterwards takes seconds of
    # its own, so the window's end is what is timed.
    no_player_window() { ! has_window '>> jump.*'; }
    if wait_for 6 no_player_window; then
        wait_for 20 exited "$d"
        [ "$(status_of "$d")" = 0 ] && pass "F1 moves the demo time ahead (quit clip at 10 s reached)" \
            || fail "quit clip: exit status $(status_of "$d")"
    else
        fail "F1 did not move the demo time to the quit clip"
    fi
}

case_windowed_client_size() {
    local d="$work/windowed"; demo_file "$d" 'small'
    start_through_dialog "$d" --no-start || return
    choose_resolution 0
    click 14 127
    click_start
    wait_for 20 has_window '>> small.*' || { fail "Start opened no GL window"; return; }
    sleep 0.5
    local id; id="$(window_id '>> small.*')"
    local client; client="$(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w" "h}')"
    if [ "$client" = "640 480" ]; then pass "windowed 640x480 gives a 640 x 480 client area"
    else fail "windowed window $client, expected 640 480"; fi
    grep -q "Fullscreen-mode" "$d/stderr" && fail "windowed run tried full screen"
    press '>> small.*' Escape
    wait_for 20 exited "$d" || fail "Escape did not end the windowed run"
}

case_refused_fullscreen_opens_windowed() {
    # Without Wine's virtual desktop the X screen keeps its 800x600 mode: 1024x768 is refused.
    local d="$work/refused"; demo_file "$d" 'wide'
    start_through_dialog "$d" --no-start || return
    choose_resolution 2
    click_start
    if ! wait_for 20 has_window 'Quorvanel Error'; then fail "no box for the refused mode: $(cat "$d/stderr")"; return; fi
    press 'Quorvanel Error' Return
    grep -qF "Quorvanel Error: Fullscreen-mode can't be achieved" "$d/stderr" ||
        fail "refused mode: stderr $(cat "$d/stderr")"
    wait_for 20 has_window '>> wide.*' || { fail "no windowed window after the refused mode"; return; }
    pass "refused full screen: \"Fullscreen-mode can't be achieved\", then a window"
    escape_until_exited '>> wide.*' "$d" || fail "Escape did not end the run: $(windows_and_stderr "$d")"
}

case_virtual_desktop_changes_the_mode() {
    local d="$work/desktop"; demo_file "$d" 'mode'
    virtual_desktop on
    start_through_dialog "$d" --no-start || { virtual_desktop off; return; }
    choose_resolution 0
    click_start
    desktop_is_640() { [ "$(window_geometry '.*Wine desktop' | cut -d' ' -f1-2)" = "640 480" ]; }
    if wait_for 20 desktop_is_640; then pass "full screen 640x480 changes Wine's display mode to 640 x 480"
    else fail "display mode: desktop $(window_geometry '.*Wine desktop'), stderr $(cat "$d/stderr")"; fi
    grep -q "Fullscreen-mode" "$d/stderr" && fail "the mode change was refused"
    escape_until_exited '>> mode.*' "$d" || fail "Escape did not end the full-screen run: $(windows_and_stderr "$d")"
    [ "$(status_of "$d")" = 0 ] || fail "full-screen run: exit status $(status_of "$d")"
    virtual_desktop off
}

case_missing_demo_file() {
    local d="$work/missing"; mkdir -p "$d"
    start_player "$d"
    if ! wait_for 20 has_window 'wtf\?'; then fail "no 'wtf?' box: $(cat "$d/stderr")"; return; fi
    press 'wtf\?' Return
    wait_for 20 exited "$d" || { fail "OK in the 'wtf?' box did not end the program"; return; }
    if grep -qxF "wtf?: Script file not found" <(tr -d '\r' <"$d/stderr") && [ "$(status_of "$d")" != 0 ]; then
        pass "missing demo.acs: 'Script file not found' / 'wtf?'"
    else
        fail "missing demo.acs: status $(status_of "$d"), stderr: $(cat "$d/stderr")"
    fi
}

# The bundled demo at 800x600 in a window: its frame rate from the caption after a few seconds.
# The test asks only for frames drawn; bench/windows_player_fps.sh asks for more than
# $QV_WIN_MIN_FPS (a speed target, which a test on a loaded machine cannot hold).
min_fps="${QV_WIN_MIN_FPS:-0}"
# The picture the same at every time, full screen 800x600 by default: the window's content as
# the X server holds it equals `qv render` of the Linux build, byte for byte.
case_window_equals_qv_render() {
    [ -x "$linux_build/qv" ] || { echo "skip: no qv in $linux_build"; return; }
    local d="$work/still"; mkdir -p "$d"
    still_picture_source >"$d/surface.qvs"
    "$linux_build/qv" build "$d/surface.qvs" -o "$d/demo.acs" &&
        "$linux_build/qv" render "$d/demo.acs" --time 1000 --fps 60 --size 800x600 \
            -o "$work/still800.png" 2>/dev/null || { fail "qv build or render of the still picture"; return; }
    start_through_dialog "$d" || return
    wait_for 20 has_window '>> surface.*' || { fail "no player window for the still picture: $(windows_and_stderr "$d")"; return; }
    window_matches root "$work/still800.png" &&
        pass "the Windows player's picture = qv render on Linux (x.5 colour, blending, depth)" || {
        import -window root "$shots/still.png"
        fail "the Windows player's picture differs from qv render (shot in $shots/still.png)"
    }
    escape_until_exited '>> surface.*' "$d" || fail "Escape did not end the still picture"
}

# A demo named and texturing in Windows-1252: its title is "b\xe4r" and its image
# data\b\xe4r.bmp (bär in both). The player finds the file by those ANSI bytes, as Windows
# does, and shows what qv render shows.
case_windows_1252_names() {
    [ -x "$linux_build/qv" ] || { echo "skip: no qv in $linux_build"; return; }
    local d="$work/names"; mkdir -p "$d/data"
    convert -size 16x16 gradient:red-blue "bmp3:$d/data/bär.bmp"
    {
        printf 'title "b\\xE4r"\ntexture 0 image "b\\xE4r.bmp"\nvariables ints 0 floats 0\n'
        printf 'script 0\n    PUSHI 0\n    BINDTEX\n'
        printf '    PUSHF %s\n' 1 1 1; printf '    COLOR3\n'
        printf '    PUSHF %s\n' 0 0 -3; printf '    TRANSLATE\n'
        printf '    PUSHF %s\n' -1 1 1 -1; printf '    RECT\n'
        printf 'clip track 0 start 0 length 100000 script 0\n'
    } >"$d/names.qvs"
    "$linux_build/qv" build "$d/names.qvs" -o "$d/demo.acs" &&
        "$linux_build/qv" render "$d/demo.acs" --time 1000 --fps 60 --size 800x600 \
            -o "$work/names800.png" 2>/dev/null || { fail "qv build or render of the bär demo"; return; }
    start_through_dialog "$d" || return
    wait_for 20 has_window '>> bär.*' || { fail "no player window titled bär: $(windows_and_stderr "$d")"; return; }
    window_matches root "$work/names800.png" &&
        pass "Windows-1252 names: the title and data\\bär.bmp, the picture qv render shows" ||
        fail "the bär demo's picture differs from qv render: $(cat "$d/stderr")"
    escape_until_exited '>> bär.*' "$d" || fail "Escape did not end the bär demo"
}

# Frames of the bundled demo at several times, drawn by the Windows build off screen as
# `qv render --time` draws them (render_frame.exe): byte for byte those of qv render on Linux.
case_bundled_demo_frames_equal_qv_render() {
    local src="$linux_build/demos/nightfall"
    [ -f "$src/demo.acs" ] || { echo "skip: no bundled demo in $linux_build"; return; }
    local d="$work/frames" t differ=""
    cp -r "$src" "$d"
    for t in 4000 12000 39000 79000; do
        "$linux_build/qv" render "$d/demo.acs" --time "$t" --fps 60 --size 640x480 \
            -o "$d/linux$t.png" 2>/dev/null || { fail "qv render of the bundled demo at $t ms"; return; }
        (cd "$d" && timeout -s KILL 60 "${wine[@]}" run "$build/render_frame.exe" demo.acs "$t" \
            640x480 60 "windows$t.ppm") 2>"$d/stderr" ||
            { fail "render_frame.exe at $t ms: $(cat "$d/stderr")"; return; }
        same_pixels "$d/windows$t.ppm" "$d/linux$t.png" || {
            differ="$differ $t"
            cp "$d/windows$t.ppm" "$shots/nightfall_windows_$t.ppm"
        }
    done
    [ -z "$differ" ] && pass "bundled demo at 4, 12, 39 and 79 s: Windows frames = qv render on Linux" ||
        fail "bundled demo frames differ from qv render at$differ ms (Windows frames in $shots)"
}

case_bundled_demo_frame_rate() {
    local src="$linux_build/demos/nightfall"
    [ -f "$src/demo.acs" ] || { echo "skip: no bundled demo in $linux_build"; return; }
    local d="$work/nightfall"; cp -r "$src" "$d"
    start_through_dialog "$d" --no-start || return
    click 14 127
    click_start
    wait_for 60 has_window '>> .*FPS.*' || { fail "the bundled demo shows no FPS: $(cat "$d/stderr")"; return; }
    sleep 4
    local name; name="$(window_name '>> .*FPS.*')"
    import -window "$(window_id '>> .*FPS.*')" "$shots/nightfall.png"
    local fps; fps="$(sed -E 's/.*\[([0-9]+) FPS\]$/\1/' <<<"$name")"
    [ "${fps:-0}" -gt "$min_fps" ] && pass "bundled demo at 800x600 under Wine: $name" ||
        fail "bundled demo at 800x600 under Wine: $name, not above $min_fps FPS"
    grep -v '^$' "$d/stderr" | grep -q . && fail "bundled demo reported: $(cat "$d/stderr")"
    press '>> .*' Escape
    wait_for 20 exited "$d" || fail "Escape did not end the bundled demo"
}

# QV_WIN_E2E_CASES="case_a case_b" runs only those (when looking into one).
run_case() {
    [ -z "${QV_WIN_E2E_CASES:-}" ] || [[ " $QV_WIN_E2E_CASES " == *" $1 "* ]] || return 0
    "$1"
    local d
    for d in "$work"/*/; do [ -s "$d/pid" ] && stop_player "${d%/}"; done
}

# Every window on the X screen itself to begin with, whatever an interrupted run left set.
virtual_desktop off
run_case case_dialog_layout_and_quit
run_case case_fullscreen_fps_escape
run_case case_f1_moves_the_demo_time
run_case case_windowed_client_size
run_case case_refused_fullscreen_opens_windowed
run_case case_missing_demo_file
run_case case_virtual_desktop_changes_the_mode
run_case case_window_equals_qv_render
run_case case_windows_1252_names
run_case case_bundled_demo_frames_equal_qv_render
run_case case_bundled_demo_frame_rate

if [ "$failures" -ne 0 ]; then echo "$failures end-to-end check(s) failed"; exit 1; fi
echo "all end-to-end checks passed"
