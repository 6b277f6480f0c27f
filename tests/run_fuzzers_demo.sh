#!/usr/bin/env bash
# Builds the demo-file fuzz targets (reader and source assembler) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz, then runs each for a while.
# Usage: tests/run_fuzzers_demo.sh [SECONDS_PER_TARGET]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
source tests/fuzz_common.sh

fuzz_build demo_file_fuzz demo_source_fuzz

# Seeds: the smallest complete demo file (title "A") and the example source.
seeds="$build/fuzz-seeds"
mkdir -p "$seeds/demo_file" "$seeds/demo_source" "$build/fuzz-corpus/demo_file" "$build/fuzz-corpus/demo_source"
{
  printf 'A\032quorvanel1'
  head -c 8 /dev/zero
  head -c 120 /dev/zero
  head -c 28 /dev/zero
} >"$seeds/demo_file/smallest.acs"
printf 'T\032quorvanel1\001\000\000\000\006\000\000\000\000\001\000\000\000\030\377\377\377\377' \
  >"$seeds/demo_file/script-then-short.acs"
cp demos/example.qvs "$seeds/demo_source/"

fuzz_run "$seconds" demo_file_fuzz
fuzz_run "$seconds" demo_source_fuzz -dict=fuzz/demo_source.dict
exit $fuzz_status
