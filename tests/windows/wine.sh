#!/usr/bin/env bash
# Runs the Windows build under Wine with a prefix and a home of its own:
#   wine.sh ROOT start            creates ROOT/prefix once and starts a persistent wineserver
#   wine.sh ROOT run PROGRAM ARGS runs PROGRAM (its status is the program's)
#   wine.sh ROOT wine ARGS        runs Wine's own programs (reg, wineboot) with the loader
#   wine.sh ROOT stop             ends that wineserver and with it every program it serves
# A 64-bit program runs under wine64; a 32-bit one needs 32-bit Wine, which needs a kernel
# that runs 32-bit Linux programs (IA-32 emulation).
set -uo pipefail
root="${1:?usage: wine.sh ROOT start|run|stop ...}"
command="${2:?usage: wine.sh ROOT start|run|stop ...}"
shift 2
mkdir -p "$root/home"
root="$(cd "$root" && pwd)"  # Wine takes absolute prefixes only
export WINEPREFIX="$root/prefix" HOME="$root/home" WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=/usr/lib/wine/wineserver32
export WINESERVER="$server"

# The Wine loader for a PE file: its machine field (0x14c i386, 0x8664 x86-64).
loader_for() {
    local offset machine
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
    if [ "$machine" = 8664 ]; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi
}

case "$command" in
    start)
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || /usr/lib/wine/wine wineboot -i
        fi
        # Detached from the caller's output, which ctest waits on until every writer is gone.
        "$server" -p </dev/null >/dev/null 2>&1
        # Wine's services start with the first program and would hold its output open; they
        # start here instead, detached.
        /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
        ;;
    run)
        program="${1:?usage: wine.sh ROOT run PROGRAM ARGS...}"
        shift
        exec "$(loader_for "$program")" "$program" "$@"
        ;;
    wine)
        exec /usr/lib/wine/wine64 "$@"
        ;;
    stop)
        "$server" -k 2>/dev/null
        "$server" -w 2>/dev/null
        exit 0
        ;;
    *)
        echo "wine.sh: unknown command $command" >&2
        exit 2
        ;;
esac
