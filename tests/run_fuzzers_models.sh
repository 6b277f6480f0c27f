#!/usr/bin/env bash
# Builds the models fuzz targets (OBJ parser, object-program runner, vertex-file reader) with
# clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz, then runs
# each for a while.
# Usage: tests/run_fuzzers_models.sh [SECONDS_PER_TARGET]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
source tests/fuzz_common.sh

fuzz_build obj_parser_fuzz object_program_fuzz vertex_file_fuzz

# Seeds: one valid input of each kind.
seeds="$build/fuzz-seeds"
mkdir -p "$seeds/obj_parser" "$seeds/object_program" "$seeds/vertex_file"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\ng a\nusemtl 2\nf 1/1/1 2/1/1 3/1/1\n' \
  >"$seeds/obj_parser/triangle.obj"
# Cube 1, a box from (0,0,0) to (1,1,1), Grow, Smooth, Sphere 2, Wave 2.
printf '\000\001\377\000\000\000\000\000\000\000\000\000\000\000\000\000\000\200\077\000\000\200\077\000\000\200\077\377\001\000\003\000\006\002\004\002' \
  >"$seeds/object_program/edited.bin"
# One triangle vertex record: first field 7, count 1.
printf '\007\000\000\000\001\000\000\000\000\000\200\077\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\200\077\000\000\000\100\000\000\100\100' \
  >"$seeds/vertex_file/one.bin"

fuzz_run "$seconds" obj_parser_fuzz
fuzz_run "$seconds" object_program_fuzz
fuzz_run "$seconds" vertex_file_fuzz
exit $fuzz_status
