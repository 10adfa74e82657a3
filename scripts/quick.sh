#!/usr/bin/env bash
# The quick developer loop: builds the optimised library, the tests and the
# example client with warnings as errors (build/quick) and runs the tests
# without sanitizers, ThreadSanitizer or fuzzing. scripts/test.sh is the full
# run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/quick -G Ninja -DCMAKE_BUILD_TYPE=Release -DQVO_WERROR=ON -DQVO_TESTS=ON \
  -DQVO_EXAMPLES=ON >/dev/null
cmake --build build/quick

cd build/quick
ctest --output-on-failure -j "${CTEST_PARALLEL_LEVEL:-$(nproc)}" -LE 'fuzz|tsan'
