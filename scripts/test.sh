#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite under them (the thread tests also under
# ThreadSanitizer).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The fuzz targets over the socket's answer reader, the statement's result
# parser, the login's answers and the decoders behind the exported functions
# (prepare, execute-prepared, parallel mode, attribute blocks, local results,
# host list and metadata), the value conversions of the fetch and GetData, and
# the result and parameter call sequences checked against models of what the
# fake node serves and decodes, and several statements of one connection
# (re-execution, asynchronous execution) checked against a model of the
# statements and of the node
# need clang (libFuzzer): built here, when clang is
# there, and run by CTest as tests labelled `fuzz` (about 20 s each, beside
# the other tests), so a finding fails the run like any test and the summary
# closes the output.
if command -v clang++ >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DQVO_SANITIZE=ON -DQVO_TESTS=OFF -DQVO_FUZZ=ON
  cmake --build build/fuzz --target answer_fuzz result_fuzz login_fuzz prepare_fuzz execute_fuzz \
    parallel_fuzz attributes_fuzz local_results_fuzz metadata_fuzz convert_fuzz fetch_sequence_fuzz \
    param_sequence_fuzz statement_sequence_fuzz
fi

fuzz_dir=
if command -v clang++ >/dev/null 2>&1; then
  fuzz_dir="$PWD/build/fuzz/fuzz"
fi
# The thread tests also run under ThreadSanitizer: a separate build of the
# library and those tests only (target test_threads, which builds
# test_threads_units too), run by CTest as the tests `tsan.threads` and
# `tsan.threads_units`.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQVO_TSAN=ON -DQVO_TESTS=ON \
  -DQVO_EXAMPLES=OFF
cmake --build build/tsan --target test_threads

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQVO_SANITIZE=ON -DQVO_TESTS=ON \
  -DQVO_FUZZ_BINARY_DIR="$fuzz_dir" -DQVO_TSAN_BINARY_DIR="$PWD/build/tsan"
cmake --build build/asan

cd build/asan
ctest --output-on-failure -j "$(nproc)"
