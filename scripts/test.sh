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

# A bounded run (about 60 s each) of the fuzz targets over the socket's answer
# reader, the statement's result parser and the login's answers, when clang is
# there to build them; before the tests, so that their summary closes the
# output.
if command -v clang++ >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DQVO_SANITIZE=ON -DQVO_TESTS=OFF -DQVO_FUZZ=ON
  for target in answer:seeds result:result_seeds login:login_seeds; do
    name=${target%%:*}_fuzz
    seeds=fuzz/${target#*:}
    cmake --build build/fuzz --target "$name"
    mkdir -p "build/fuzz/corpus-$name"
    "build/fuzz/fuzz/$name" -max_total_time=60 -max_len=4096 -timeout=30 \
      -artifact_prefix="build/fuzz/$name-" "build/fuzz/corpus-$name" "$seeds"
  done
fi

cd build/asan
ctest --output-on-failure -j "$(nproc)"
