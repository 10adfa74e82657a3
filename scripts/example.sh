#!/usr/bin/env bash
# Builds and installs libqvocli (release, into build/release/install), then
# runs the example client against the bundled fake node on 127.0.0.1 — a test
# double serving a sample table, not a Vandrel server — and stops the node.
# Point the example at a real server with:
#   build/release/examples/qvoquery HOST:PORT USER PASSWORD "SELECT ..."
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQVO_TESTS=ON \
      -DCMAKE_INSTALL_PREFIX="$PWD/build/release/install" >/dev/null
cmake --build build/release --target qvocli qvoquery qvo_demo_node
cmake --install build/release >/dev/null
echo "libqvocli installed in $PWD/build/release/install"

portfile=$(mktemp)
build/release/tests/qvo_demo_node "$portfile" >/dev/null &
node=$!
trap 'kill "$node" 2>/dev/null || true; rm -f "$portfile"' EXIT
for _ in $(seq 100); do
  [ -s "$portfile" ] && break
  sleep 0.05
done
address=$(cat "$portfile")
sql="SELECT INVOICE_ID, CUSTOMER, AMOUNT, ISSUED, PAID FROM INVOICES"
echo "qvoquery $address demo demo \"$sql\"   (bundled fake node)"
build/release/examples/qvoquery "$address" demo demo "$sql"
