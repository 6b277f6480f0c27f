# Shared by the run_fuzzers_* scripts (sourced, from the repository root):
#   fuzz_build TARGET...             configures build-fuzz with clang and every library
#                                    instrumented (libFuzzer coverage, ASan, UBSan), builds TARGETs
#   fuzz_run SECONDS TARGET [ARGS]   runs TARGET on build-fuzz/fuzz-corpus/NAME and
#                                    build-fuzz/fuzz-seeds/NAME (NAME = TARGET without _fuzz);
#                                    a failure sets fuzz_status=1
build=build-fuzz
fuzz_status=0

fuzz_build() {
  local flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
  cmake -S . -B "$build" -G Ninja -DQV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  cmake --build "$build" -j2 --target "$@"
}

fuzz_run() {
  local seconds=$1 target=$2
  shift 2
  local name=${target%_fuzz}
  mkdir -p "$build/fuzz-corpus/$name" "$build/fuzz-seeds/$name"
  echo "== $target (${seconds}s)"
  "$build/$target" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 "$@" \
    "$build/fuzz-corpus/$name" "$build/fuzz-seeds/$name" 2>&1 | tail -n 12 || fuzz_status=1
}
