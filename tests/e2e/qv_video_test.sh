#!/usr/bin/env bash
# qv render --video and frame sequences: what ffprobe sees in an exported .mp4 (size, frame
# rate, frame count, an audio track as long as the video), the music in sync with --from, a
# --lossless export that decodes to the pixels --time renders, a silent video for a demo
# without music, --jobs giving the frames of one process, Ctrl-C and a full disk finishing the
# file, bad outputs refused with exit 1, and --frames with a printf pattern numbering from 0.
#   qv_video_test.sh BUILD_DIR
set -uo pipefail
export LC_ALL=C.UTF-8
qv="$(cd "${1:?usage: qv_video_test.sh BUILD_DIR}" && pwd)/qv"
work="$(mktemp -d "${TMPDIR:-/tmp}/qv_video.XXXXXX")"
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }
probe() { ffprobe -v error -select_streams "$1" -show_entries "$2" -of default=nw=1:nk=1 "$3"; }

# A demo whose picture changes every frame (a quad turning by a script variable that grows
# per frame), with music: silence for the first second, then a tone.
demo() {  # demo NAME MUSIC-LINE
    cat >"$work/$1.qvs" <<QVS
title "video $1"
script 0
    LOADF 0
    PUSHF 3
    ADDF
    STOREF 0
    PUSHI -1
    BINDTEX
    PUSHF 1
    PUSHF 0.6
    PUSHF 0.2
    COLOR3
    PUSHF 0
    PUSHF 0
    PUSHF -3
    TRANSLATE
    LOADF 0
    PUSHF 0
    PUSHF 0
    PUSHF 1
    ROTATE
    PUSHF -1
    PUSHF 1
    PUSHF 1
    PUSHF -1
    RECT
clip track 0 start 0 length 100000 script 0
variables ints 0 floats 1
$2
QVS
    "$qv" build "$work/$1.qvs" -o "$work/$1.acs" || fail "qv build $1"
}
demo music 'music "tone.wav"'
demo silent ''
ffmpeg -v error -f lavfi -i "aevalsrc=if(gte(t\,1)\,0.5*sin(2*PI*440*t)\,0):s=44100:d=3" \
    -ac 2 "$work/tone.wav" || fail "ffmpeg cannot make the test tone"
ffmpeg -v error -i "$work/tone.wav" "$work/tone.flac" || fail "ffmpeg cannot make tone.flac"

# The default range: from 0 to the end of the music (3 s) at 30 fps, frames 0 to 3000 ms.
if "$qv" render "$work/music.acs" --video "$work/a.mp4" --size 160x120 --fps 30 2>"$work/err"; then
    [ "$(probe v:0 stream=width,height "$work/a.mp4" | paste -sd x)" = 160x120 ] &&
        pass "size" || fail "size: $(probe v:0 stream=width,height "$work/a.mp4")"
    [ "$(probe v:0 stream=avg_frame_rate "$work/a.mp4")" = 30/1 ] && pass "frame rate" ||
        fail "frame rate $(probe v:0 stream=avg_frame_rate "$work/a.mp4")"
    frames="$(ffprobe -v error -count_packets -select_streams v:0 \
        -show_entries stream=nb_read_packets -of default=nw=1:nk=1 "$work/a.mp4")"
    [ "$frames" = 91 ] && pass "91 frames, 0 to 3000 ms" || fail "frame count $frames, not 91"
    [ "$(probe v:0 stream=codec_name,pix_fmt "$work/a.mp4" | paste -sd ' ')" = "h264 yuv420p" ] ||
        fail "video codec: $(probe v:0 stream=codec_name,pix_fmt "$work/a.mp4")"
    [ "$(probe a:0 stream=codec_name,channels "$work/a.mp4" | paste -sd ' ')" = "aac 2" ] ||
        fail "audio codec: $(probe a:0 stream=codec_name,channels "$work/a.mp4")"
    # Where the last packet ends: the audio track ends with the video (to an AAC frame, 23 ms).
    dur() { ffprobe -v error -select_streams "$1" -show_entries packet=pts_time,duration_time \
                -of csv=p=0 "$work/a.mp4" | awk -F, '$1 + $2 > e {e = $1 + $2} END {print e}'; }
    v="$(dur v:0)" a="$(dur a:0)"
    awk -v v="$v" -v a="$a" 'BEGIN {d = v - a; exit !(v > 3.0 && v < 3.1 && d < 0.03 && d > -0.03)}' &&
        pass "an audio track as long as the video ($a s, $v s)" ||
        fail "video $v s, audio $a s"
    grep -q 'a.mp4: 91 frames (0 to 3000 ms, 160x120 at 30 fps, H.264 + AAC)' "$work/err" &&
        pass "summary line" || fail "summary: $(cat "$work/err")"
    # A key frame every two seconds (no B-frames: packets come in frame order).
    keys="$(ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 \
        "$work/a.mp4" | awk '/K/ {printf "%s%d", s, NR - 1; s = " "}')"
    [ "$keys" = "0 60" ] && pass "a key frame every two seconds" || fail "key frames at: $keys"
else
    fail "qv render --video a.mp4: $(cat "$work/err")"
fi

# BT.709 in limited range, in the stream's tags and in its samples: black is luma 16 and pure
# red 16 + 219 * 0.2126 = 63 (full range would give 0 and 54, BT.601 coefficients 82).
cat >"$work/red.qvs" <<'QVS'
title "red"
script 0
    PUSHI 3553
    DISABLE
    PUSHF 1
    PUSHF 0
    PUSHF 0
    COLOR3
    PUSHF -3
    PUSHF 3
    PUSHF 3
    PUSHF -3
    RECT
clip track 0 start 0 length 100000 script 0
QVS
luma() {  # luma FILE.yuv FRAME: the middle sample of a 64x48 yuv420p frame
    od -An -tu1 -j $(($2 * 64 * 48 * 3 / 2 + 24 * 64 + 32)) -N1 "$1" | tr -d ' '
}
if "$qv" build "$work/red.qvs" -o "$work/red.acs" &&
   "$qv" render "$work/red.acs" --video "$work/red.mp4" --size 64x48 --fps 10 --to 100 2>"$work/err"; then
    tags="$(probe v:0 stream=color_range,color_space,color_primaries,color_transfer "$work/red.mp4" |
        paste -sd ' ')"
    [ "$tags" = "tv bt709 bt709 bt709" ] && pass "tagged BT.709, limited range" || fail "tags: $tags"
    ffmpeg -v error -i "$work/red.mp4" -f rawvideo -pix_fmt yuv420p "$work/red.yuv"
    black="$(luma "$work/red.yuv" 0)" red="$(luma "$work/red.yuv" 1)"
    [ "${black:-0}" -ge 15 ] && [ "$black" -le 17 ] && [ "${red:-0}" -ge 61 ] && [ "$red" -le 65 ] &&
        pass "samples in BT.709 limited range (black $black, red $red)" ||
        fail "luma of black $black (16), of red $red (63)"
else
    fail "qv render --video red.mp4: $(cat "$work/err")"
fi

# In sync: the music is silent for its first second; from 0 the video's first 0.5 s is
# silent, from 1000 ms it holds the tone.
loudness() { ffmpeg -v info -t 0.5 -i "$1" -af volumedetect -f null - 2>&1 |
                 sed -n 's/.*mean_volume: \(-*[0-9.]*\) dB/\1/p'; }
if "$qv" render "$work/music.acs" --video "$work/late.mkv" --size 160x120 --fps 30 \
       --from 1000 --to 2000 2>"$work/err"; then
    early="$(loudness "$work/a.mp4")" late="$(loudness "$work/late.mkv")"
    awk -v e="$early" -v l="$late" 'BEGIN {exit !(e < -60 && l > -20)}' &&
        pass "the music starts at --from (${early} dB before, ${late} dB after)" ||
        fail "music not in sync: first half second ${early} dB from 0, ${late} dB from 1000 ms"
    [ "$(probe a:0 stream=codec_name "$work/late.mkv")" = flac ] || fail ".mkv audio is not FLAC"
else
    fail "qv render --video late.mkv: $(cat "$work/err")"
fi

# --lossless decodes to the pixels of the PNGs --time writes for the same frames.
if "$qv" render "$work/music.acs" --video "$work/l.mkv" --lossless --size 96x64 --fps 20 \
       --to 1000 2>"$work/err"; then
    [ "$(probe v:0 stream=codec_name "$work/l.mkv")" = ffv1 ] || fail "--lossless is not FFV1"
    keys="$(ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 \
        "$work/l.mkv" | grep -c K)"
    [ "$keys" = 21 ] && pass "--lossless: every frame a key frame" || fail "--lossless: $keys key frames of 21"
    ffmpeg -v error -i "$work/l.mkv" -f rawvideo -pix_fmt rgb24 "$work/l.rgb"
    [ "$(stat -c %s "$work/l.rgb")" = $((21 * 96 * 64 * 3)) ] || fail "--lossless: not 21 frames"
    same=0
    for i in 0 1 7 20; do
        t=$((i * 50))
        "$qv" render "$work/music.acs" --time "$t" -o "$work/t$i.png" --size 96x64 --fps 20 \
            2>/dev/null
        convert "$work/t$i.png" -depth 8 rgb:"$work/t$i.rgb"
        dd if="$work/l.rgb" of="$work/l$i.rgb" bs=$((96 * 64 * 3)) skip="$i" count=1 2>/dev/null
        cmp -s "$work/t$i.rgb" "$work/l$i.rgb" && same=$((same + 1)) ||
            fail "--lossless frame $i differs from --time $t"
    done
    [ "$same" = 4 ] && pass "--lossless frames equal the --time PNGs"
else
    fail "qv render --lossless: $(cat "$work/err")"
fi

# A demo that quits ends the video with the frame that quits (500 ms: frames 0 to 500 at
# 10 fps), with status 0: the player ends there too.
sed 's/^clip track 0 .*/&\nscript 1\n    QUIT\nclip track 1 start 500 length 1000 script 1/' \
    "$work/music.qvs" >"$work/quits.qvs"
"$qv" build "$work/quits.qvs" -o "$work/quits.acs"
"$qv" render "$work/quits.acs" --video "$work/q.mp4" --size 64x48 --fps 10 2>"$work/err"
status=$?
count="$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
    -of default=nw=1:nk=1 "$work/q.mp4" 2>/dev/null)"
[ "$status" = 0 ] && [ "$count" = 6 ] && grep -q 'q.mp4: 6 frames (0 to 500 ms' "$work/err" &&
    pass "the video ends with the frame in which the demo quits" ||
    fail "demo quitting at 500 ms: status $status, $count frames: $(cat "$work/err")"

# --jobs: the export in processes that each render whole seconds from their exact seek, joined
# without re-encoding. Lossless, the frames and the music are those of one process: the quad's
# angle grows every frame by the demo time, so a piece that started from the wrong state or ran
# at other times would show (30 fps: frame times are whole milliseconds only every third
# frame). No piece is left beside the output.
sed '0,/^    ADDF$/s//    ADDF\n    TIME\n    ITOF\n    ADDF/' "$work/music.qvs" >"$work/timed.qvs"
"$qv" build "$work/timed.qvs" -o "$work/timed.acs" || fail "qv build timed"
jobs_same() {  # jobs_same JOBS: --jobs JOBS against one process, 250 to 3000 ms at 30 fps
    local before=$failures
    "$qv" render "$work/timed.acs" --video "$work/jobs$1.mkv" --lossless --size 96x64 --fps 30 \
        --from 250 --to 3000 --jobs "$1" 2>"$work/err" || { fail "--jobs $1: $(cat "$work/err")"; return 1; }
    local kind
    for kind in v a; do
        [ "$(ffmpeg -v error -i "$work/jobs1.mkv" -map "0:$kind" -f framemd5 - | grep -v '^#')" = \
          "$(ffmpeg -v error -i "$work/jobs$1.mkv" -map "0:$kind" -f framemd5 - | grep -v '^#')" ] ||
            fail "--jobs $1: the $kind stream differs from one process"
    done
    ls -A "$work" | grep -q '\.part' && fail "--jobs $1 left pieces: $(ls -A "$work" | grep '\.part')"
    [ "$failures" = "$before" ]
}
jobs_same 1
jobs_same 3 && pass "--jobs 3: the frames and the music of one process"
frames_of() { ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
    -of default=nw=1:nk=1 "$1" 2>/dev/null; }
if "$qv" render "$work/music.acs" --video "$work/jobs.mp4" --size 64x48 --fps 30 --jobs 2 \
       2>"$work/err"; then
    [ "$(frames_of "$work/jobs.mp4")" = "$(frames_of "$work/a.mp4")" ] &&
        ffmpeg -v error -i "$work/jobs.mp4" -f null - &&
        [ "$(probe v:0 stream=duration "$work/jobs.mp4")" = "$(probe v:0 stream=duration "$work/a.mp4")" ] &&
        pass "--jobs 2 to the music's end: an H.264 file of the same frames and length that plays" ||
        fail "--jobs 2 .mp4: $(frames_of "$work/jobs.mp4") frames, $(cat "$work/err")"
else
    fail "--jobs 2 .mp4: $(cat "$work/err")"
fi
# A demo that quits in the first piece ends the video there, as in one process.
"$qv" render "$work/quits.acs" --video "$work/jq.mp4" --size 64x48 --fps 10 --jobs 2 2>"$work/err"
status=$?
[ "$status" = 0 ] && [ "$(frames_of "$work/jq.mp4")" = 6 ] &&
    pass "--jobs 2: the video ends with the frame in which the demo quits" ||
    fail "--jobs 2, demo quitting at 500 ms: status $status, $(frames_of "$work/jq.mp4") frames: $(cat "$work/err")"

# Music cut short (half a FLAC file that declares 3 s) ends the video where it stops decoding,
# and says so with status 1; the file plays.
head -c $(($(stat -c %s "$work/tone.flac") / 2)) "$work/tone.flac" >"$work/cut.flac"
sed 's/^music .*/music "cut.flac"/' "$work/music.qvs" >"$work/cut.qvs"
"$qv" build "$work/cut.qvs" -o "$work/cut.acs"
"$qv" render "$work/cut.acs" --video "$work/cut.mp4" --size 64x48 --fps 10 2>"$work/err"
status=$?
[ "$status" = 1 ] && grep -q "music file '.*cut.flac' stops decoding at [0-9]* ms, short of the 3000 ms it declares (cut or damaged): the video ends there" "$work/err" &&
    ffmpeg -v error -i "$work/cut.mp4" -f null - &&
    pass "music cut short is reported with status 1" ||
    fail "music cut short: status $status: $(cat "$work/err")"

# No music: a silent video, and one line says so.
if "$qv" render "$work/silent.acs" --video "$work/s.webm" --size 64x48 --fps 10 --to 500 \
       2>"$work/err"; then
    [ "$(probe a stream=index "$work/s.webm")" = "" ] && [ "$(probe v:0 stream=codec_name \
        "$work/s.webm")" = vp9 ] && pass "no music: VP9 video without sound" ||
        fail "no music: streams $(probe '' stream=codec_name "$work/s.webm")"
    [ "$(grep -c 'no music file: the video has no sound' "$work/err")" = 1 ] &&
        pass "one line says there is no sound" || fail "no-music line: $(cat "$work/err")"
else
    fail "qv render --video s.webm: $(cat "$work/err")"
fi
sed 's/^music .*/music "missing.ogg"/' "$work/music.qvs" >"$work/gone.qvs"
"$qv" build "$work/gone.qvs" -o "$work/gone.acs"
"$qv" render "$work/gone.acs" --video "$work/g.mp4" --size 64x48 --to 100 2>"$work/err" &&
    grep -q "missing.ogg' cannot be decoded (.*): the video has no sound" "$work/err" &&
    pass "a missing music file gives a silent video" || fail "missing music: $(cat "$work/err")"

# Bad outputs: exit 1 and a message that names what is wrong, before the demo loads.
"$qv" render "$work/music.acs" --video "$work/x.avi" 2>"$work/err"
[ $? = 1 ] && grep -q "unknown video format '.avi': the supported ones are .mp4 (H.264 + AAC), .mkv (H.264 + FLAC), .webm (VP9 + Opus)" "$work/err" &&
    pass "an unknown extension lists the supported ones" || fail "bad extension: $(cat "$work/err")"
"$qv" render "$work/music.acs" --video "$work/x.mp4" --lossless 2>"$work/err"
[ $? = 1 ] && grep -q -- "--lossless writes .mkv" "$work/err" || fail "--lossless .mp4: $(cat "$work/err")"
"$qv" render "$work/music.acs" --video "$work/no/such/x.mp4" --size 64x48 --to 100 2>"$work/err"
[ $? = 1 ] && grep -q "cannot write '$work/no/such/x.mp4': No such file or directory" "$work/err" &&
    pass "an unwritable output is refused" || fail "unwritable output: $(cat "$work/err")"
"$qv" render "$work/music.acs" --video "$work/odd.mp4" --size 65x48 2>"$work/err"
[ $? = 1 ] && grep -q "even width and height" "$work/err" || fail "odd size: $(cat "$work/err")"
for bad in "--video a.mp4 --time 5" "--time 5 -o x.png --from 3" "--video a.mp4 --from 5 --to 4" \
           "--video a.mp4 -o b.mp4"; do
    # shellcheck disable=SC2086
    "$qv" render "$work/music.acs" $bad >/dev/null 2>&1
    [ $? = 2 ] || fail "qv render $bad: not refused with status 2"
done

# A full disk: the file is finished up to where it stopped, and the message says where.
ln -s /dev/full "$work/full.mkv"
"$qv" render "$work/music.acs" --video "$work/full.mkv" --lossless --size 160x120 --to 3000 \
    2>"$work/err"
[ $? = 1 ] && grep -q "No space left on device: '$work/full.mkv' stops after [0-9]* frames, at [0-9]* ms" \
    "$work/err" && pass "a full disk stops the export with where" || fail "full disk: $(cat "$work/err")"

# interrupt_export OUT STARTED [ARGS...]: qv render of music.acs into OUT (ten minutes asked
# for) in the background, Ctrl-C a second after the file STARTED exists; sets status and the
# frame count of OUT. A background job starts with SIGINT ignored until qv render catches it,
# just after the file is started: waiting for the file keeps a slow start under load from
# losing the signal.
interrupt_export() {
    local out="$1" started="$2" pid
    shift 2
    "$qv" render "$work/music.acs" --video "$out" --size 160x120 --fps 30 --to 600000 "$@" \
        2>"$work/err" &
    pid=$!
    for _ in $(seq 100); do [ -s "$started" ] && break; sleep 0.1; done
    sleep 1
    kill -INT "$pid"
    wait "$pid"
    status=$?
    count="$(frames_of "$out")"
}

# Ctrl-C finishes the file: it plays, with the frames written so far.
interrupt_export "$work/int.mp4" "$work/int.mp4"
[ "$status" = 130 ] && grep -q "interrupted: '$work/int.mp4' stops after" "$work/err" &&
    [ "${count:-0}" -gt 0 ] && ffmpeg -v error -i "$work/int.mp4" -f null - &&
    pass "Ctrl-C finishes a file that plays ($count frames)" ||
    fail "Ctrl-C: status $status, $count frames: $(cat "$work/err")"

# A piece that fails (a stack error at 2000 ms, in the second piece) ends the video at its last
# good frame, as one process does, with status 1.
sed 's/^clip track 0 .*/&\nscript 1\n    ADDI\nclip track 2 start 2000 length 1000 script 1/' \
    "$work/music.qvs" >"$work/fails.qvs"
"$qv" build "$work/fails.qvs" -o "$work/fails.acs"
"$qv" render "$work/fails.acs" --video "$work/jf.mp4" --size 64x48 --fps 10 --jobs 2 2>"$work/err"
status=$?
[ "$status" = 1 ] && [ "$(frames_of "$work/jf.mp4")" = 20 ] &&
    grep -q "piece 2 failed: '$work/jf.mp4' stops after 20 frames, at 1900 ms" "$work/err" &&
    ! grep -q '\.part' "$work/err" &&
    pass "--jobs 2: a piece that fails ends the video at its last good frame" ||
    fail "--jobs 2, stack error at 2000 ms: status $status, $(frames_of "$work/jf.mp4") frames: $(cat "$work/err")"

# Ctrl-C during --jobs reaches every piece; the video ends with the first piece stopped, plays,
# and no piece is left.
interrupt_export "$work/jint.mp4" "$work/.jint.part1.mp4" --jobs 2
[ "$status" = 130 ] && grep -q "interrupted: '$work/jint.mp4' stops after" "$work/err" &&
    [ "${count:-0}" -gt 0 ] && ffmpeg -v error -i "$work/jint.mp4" -f null - &&
    ! ls -A "$work" | grep -q '\.part' &&
    pass "Ctrl-C during --jobs finishes a file that plays ($count frames)" ||
    fail "Ctrl-C during --jobs: status $status, $count frames, $(ls -A "$work" | grep part): $(cat "$work/err")"

# --frames with a printf pattern numbers the frames from 0; a bad pattern is refused.
if "$qv" render "$work/silent.acs" --frames 100:300:100 -o "$work/seq/f%03d.png" --size 32x24 \
       2>"$work/err"; then
    names="$(cd "$work/seq" && echo *)"
    [ "$names" = "f000.png f001.png f002.png" ] && pass "a pattern numbers from 0" ||
        fail "pattern wrote: $names"
    "$qv" render "$work/silent.acs" --time 200 -o "$work/t200.png" --size 32x24
    cmp -s "$work/t200.png" "$work/seq/f001.png" && pass "pattern frame 1 is the frame at 200 ms" ||
        fail "pattern frame 1 differs from --time 200"
else
    fail "qv render --frames with a pattern: $(cat "$work/err")"
fi
"$qv" render "$work/silent.acs" --frames 0:10:10 -o "$work/f%s.png" 2>"$work/err"
[ $? = 2 ] && grep -q "may hold only %d" "$work/err" || fail "bad pattern: $(cat "$work/err")"

[ "$failures" = 0 ] || { echo "$failures qv video check(s) failed"; exit 1; }
echo "all qv video checks passed"
