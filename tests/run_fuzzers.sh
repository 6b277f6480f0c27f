#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# in build-fuzz/ and runs each one for a short while from the seeds in fuzz/seeds/.
# Usage: tests/run_fuzzers.sh [SECONDS_PER_TARGET]   (default 20)
# A crash, sanitizer report, leak or timeout ends the script with a failure; libFuzzer leaves
# the input that caused it in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
targets=(tex_program_fuzz bmp_fuzz tga_fuzz jpeg_fuzz)

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j 2 --target "${targets[@]}"

for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  echo "== $target (${seconds}s)"
  (cd build-fuzz && "./$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "corpus/$target" "../fuzz/seeds/$target" 2>&1 | tail -n 12)
done
