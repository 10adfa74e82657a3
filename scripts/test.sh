#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite under them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQVO_SANITIZE=ON -DQVO_TESTS=ON
cmake --build build/asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# A bounded run (about 60 s) of the fuzz target over the answer reader, when
# clang is there to build it; before the tests, so that their summary closes
# the output.
if command -v clang++ >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DQVO_SANITIZE=ON -DQVO_TESTS=OFF -DQVO_FUZZ=ON
  cmake --build build/fuzz --target answer_fuzz
  mkdir -p build/fuzz/corpus
  build/fuzz/fuzz/answer_fuzz -max_total_time=60 -max_len=4096 -timeout=30 \
    -artifact_prefix=build/fuzz/ build/fuzz/corpus fuzz/seeds
fi

cd build/asan
ctest --output-on-failure -j "$(nproc)"
