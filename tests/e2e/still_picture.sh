# Pictures compared byte for byte in the end-to-end tests (sourced): a demo whose picture is
# the same at every time, so that a window that plays in real time can be compared with
# `qv render`, and the comparison of a window's content as the X server holds it.

# rect "R G B [A]" Z ANGLE "Y0 X1 Y1 X0": a rectangle at depth Z, turned by ANGLE degrees about
# the x axis.
rect() {
    printf '    PUSHF %s\n' $1
    [ "$(wc -w <<<"$1")" = 4 ] && echo "    COLOR4" || echo "    COLOR3"
    printf '    PUSHMATRIX\n'
    printf '    PUSHF %s\n' 0 0 "$2"
    printf '    TRANSLATE\n'
    printf '    PUSHF %s\n' "$3" 1 0 0
    printf '    ROTATE\n'
    printf '    PUSHF %s\n' $4
    printf '    RECT\n    POPMATRIX\n'
}
# cap ENABLE|DISABLE CAP
cap() { printf '    PUSHI %s\n    %s\n' "$2" "$1"; }
# still_picture_source: the demo source of the small picture, the same at every time: a plain
# 0.1/0.5/0.3 rectangle (25.5 of 255 in red), a half-transparent one over it and over black,
# and two large surfaces far away that cross at a shallow angle, where the depth buffer's
# precision decides every pixel.
still_picture_source() {
    printf 'title "surface"\nvariables ints 0 floats 0\nscript 0\n    PUSHI -1\n    BINDTEX\n'
    cap DISABLE 3042
    rect "0.1 0.5 0.3" -4 0 "-2 0 2 -2"
    cap DISABLE 2929
    cap ENABLE 3042
    printf '    PUSHI 770\n    PUSHI 771\n    BLEND\n'
    rect "0.1 0.7 0.9 0.5" -4 0 "-1 1 1 -1"
    cap DISABLE 3042
    cap ENABLE 2929
    rect "0.9 0.2 0.1" -60 0 "0 30 30 0"
    rect "0.2 0.3 0.9" -60 0.3 "0 30 30 0"
    echo "clip track 0 start 0 length 100000 script 0"
}

# raw IMAGE: its RGB bytes (PNG from qv, or whatever import wrote).
raw() { convert "$1" -depth 8 rgb:-; }
# same_pixels A B: the two images hold the same RGB bytes.
same_pixels() { cmp -s <(raw "$1") <(raw "$2"); }
# window_matches ID REFERENCE: the window's content, read back from the X server, equals the
# reference (retried briefly: the shot's line is printed just before the frame is presented).
window_matches() {
    local shot="${TMPDIR:-/tmp}/qv_window_$$.png" status=1
    for _ in $(seq 20); do
        if import -window "$1" "$shot" 2>/dev/null && same_pixels "$shot" "$2"; then
            status=0
            break
        fi
        sleep 0.1
    done
    rm -f "$shot"
    return "$status"
}

