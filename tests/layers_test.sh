#!/usr/bin/env bash
# Fails when a folder includes a project header of a layer above it, or a system library's
# header outside the one folder allowed to see that library. The table below is the layering
# of docs/architecture.md; every folder with C++ sources must appear in it.
# Usage: tests/layers_test.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

engine="core demo gl platform textures models scripter timeline app"
# folder: the project folders its files may include (itself always).
declare -A allowed=(
  [core]="core"
  [demo]="core"
  [gl]="core"
  [platform]="core demo gl"
  [platform/workbench]="core demo gl platform"
  [textures]="core demo gl platform"
  [models]="core demo gl platform"
  [scripter]="core demo gl platform textures models"
  [timeline]="core demo gl platform textures models scripter"
  [app]="core demo gl platform textures models scripter timeline"
  [tools/sync]="core demo"
  [tools/source]="core demo tools/sync"
  [tools/synth]="core"
  [tools/objconvert]="core demo models"
  [tools/checks]="$engine tools/source tools/sync"
  [tools/render]="$engine"
  [tools/video]="$engine platform/workbench tools/render"
  [tools/workbench]="$engine platform/workbench tools/sync tools/source tools/checks tools/render"
  [tools/qv]="$engine platform/workbench tools/sync tools/source tools/synth tools/objconvert tools/checks
              tools/render tools/video tools/workbench"
)
# Headers of outside libraries and the only folders that may include them.
declare -A library_home=(
  ['SDL2/']="platform platform/workbench"
  ['FL/']="platform"
  ['EGL/']="platform"
  ['sndfile']="platform"
  ['libopenmpt/']="platform"
  ['imgui']="platform/workbench tools/workbench"
  ['libav']="tools/video"
  ['expat']="tools/sync"
  ['libswscale/']="tools/video"
  ['libswresample/']="tools/video"
)

# One pass of awk over every file: the folder of a path is the longest table key that
# prefixes it; a file whose folder has no row fails, as does any include the table forbids.
rows="$(for key in "${!allowed[@]}"; do echo "A	$key	${allowed[$key]//$'\n'/ }"; done
        for prefix in "${!library_home[@]}"; do echo "L	$prefix	${library_home[$prefix]}"; done)"
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v -E '^(tests|fuzz|bench|demos)/')
awk -v rows="$rows" -v count="${#files[@]}" '
  function folder_of(path,   key, best) {
    best = ""
    for (key in allowed)
      if (index(path, key "/") == 1 && length(key) > length(best)) best = key
    return best
  }
  BEGIN {
    n = split(rows, lines, "\n")
    for (i = 1; i <= n; i++) {
      split(lines[i], f, "\t")
      if (f[1] == "A") allowed[f[2]] = " " f[3] " "
      else home[f[2]] = " " f[3] " "
    }
  }
  FNR == 1 {
    own = folder_of(FILENAME)
    if (own == "") { print "layers: " FILENAME ": its folder has no row in the layer table" > "/dev/stderr"; bad = 1 }
  }
  own != "" && /^#include "/ {
    header = $0; sub(/^#include "/, "", header); sub(/".*/, "", header)
    target = folder_of(header)
    if (target != "" && target != own && index(allowed[own], " " target " ") == 0) {
      print "layers: " FILENAME " includes " header ": " own " may not include " target \
            " (a layer above it or beside it)" > "/dev/stderr"
      bad = 1
    }
  }
  own != "" && /^#include </ {
    header = $0; sub(/^#include </, "", header); sub(/>.*/, "", header)
    for (prefix in home)
      if (index(header, prefix) == 1 && index(home[prefix], " " own " ") == 0) {
        print "layers: " FILENAME " includes <" header ">: only" home[prefix] "may see that library" > "/dev/stderr"
        bad = 1
      }
  }
  END {
    if (bad) exit 1
    print "layers: " count " files keep to their layers"
  }' "${files[@]}"
