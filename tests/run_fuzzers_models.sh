#!/usr/bin/env bash
# Builds the models fuzz targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# in build-fuzz/ and runs each for a short while (default 20 s; first argument overrides).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
build=build-fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DQV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
targets=(fuzz_obj_parser fuzz_object_program fuzz_vertex_file)
cmake --build "$build" --target "${targets[@]}"

# Seeds: one valid input of each kind.
corpus="$build/corpus"
mkdir -p "$corpus"/{fuzz_obj_parser,fuzz_object_program,fuzz_vertex_file}
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\ng a\nusemtl 2\nf 1/1/1 2/1/1 3/1/1\n' \
  > "$corpus/fuzz_obj_parser/seed.obj"
printf '\x00\x01\xff\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x3f\x00\x00\x80\x3f\x00\x00\x80\x3f\xff\x01\x00\x03\x00\x06\x02\x04\x02' \
  > "$corpus/fuzz_object_program/seed.bin"
printf '\x07\x00\x00\x00\x01\x00\x00\x00\x00\x00\x80\x3f\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x3f\x00\x00\x00\x40\x00\x00\x40\x40' \
  > "$corpus/fuzz_vertex_file/seed.bin"

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for t in "${targets[@]}"; do
  echo "== $t (${seconds} s)"
  "./$build/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus/$t" 2>&1 | tail -n 3
done
