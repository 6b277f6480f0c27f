#!/usr/bin/env bash
# Frame rate of quorvanel.exe under Wine on the bundled demo at 800 x 600 (windowed, Mesa's
# software renderer), from its caption after a few seconds; fails at 60 FPS or less:
#   bench/windows_player_fps.sh [WINDOWS_BUILD_DIR] [LINUX_BUILD_DIR]
# Defaults: build-windows-x86_64 and build (which holds the bundled demo).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
windows_build="${1:-$root/build-windows-x86_64}"
export QV_LINUX_BUILD="${2:-$root/build}"
QV_WIN_MIN_FPS=60 QV_WIN_E2E_CASES=case_bundled_demo_frame_rate \
    exec "$root/tests/windows/player_windows_e2e.sh" "$windows_build" "$windows_build/wine"
