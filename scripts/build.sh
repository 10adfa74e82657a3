#!/usr/bin/env bash
# Builds libqvocli.so (release) and installs it under build/release/install.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQVO_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX="$PWD/build/release/install"
cmake --build build/release
cmake --install build/release
echo "libqvocli installed in $PWD/build/release/install"
