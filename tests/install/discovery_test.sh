#!/usr/bin/env bash
# Installs the built library into a scratch prefix and builds the example
# client against that tree twice, as an application would: through pkg-config
# and through find_package(qvocli), then a C++ host of the number formatter.
# Arguments: the build tree, the source tree.
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# The library under its soname, the headers, the pkg-config and CMake files.
test -L "$prefix/lib/libqvocli.so"
test -e "$prefix/lib/libqvocli.so.5"
test -f "$prefix/include/qvo/qvoCInterface.h"
test -f "$prefix/include/qvo/qvoAttributes.h"
test -f "$prefix/lib/pkgconfig/qvocli.pc"
test -f "$prefix/lib/cmake/qvocli/qvocliConfig.cmake"

# The installed library may carry the sanitizers of the build it came from;
# let the linker and the loader find their runtimes, and only ask the example
# for its usage text.
export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0
run_usage() {
  local rc=0
  LD_LIBRARY_PATH="$prefix/lib" "$1" >"$work/out" 2>&1 || rc=$?
  if [ "$rc" -ne 2 ] || ! grep -q "usage:" "$work/out"; then
    echo "example built by $2 did not print its usage (exit $rc):"
    cat "$work/out"
    exit 1
  fi
}

# 1. pkg-config
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
pkg-config --exists qvocli
cc -std=c99 -Wall -Werror "$src/examples/qvoquery.c" -o "$work/qvoquery-pc" \
  $(pkg-config --cflags --libs qvocli)
run_usage "$work/qvoquery-pc" pkg-config

# 2. find_package
cmake -S "$src/examples/consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="${QVO_CONSUMER_CFLAGS:-}" >/dev/null
cmake --build "$work/consumer" >/dev/null
run_usage "$work/consumer/qvoquery" find_package

# 3. A C++ host of the number formatter, built against the installed header
# alone: the convertNumber instances come from the library.
test -f "$prefix/include/qvo/qvoNumberFormat.h"
cat >"$work/host.cpp" <<'EOF'
#include <qvo/qvoNumberFormat.h>

#include <cstring>

int main() {
  char version[QVO_NUMBER_FORMAT_VERSION_SIZE];
  getVersion(version);
  if (std::strncmp(version, "Zuvirorazi-Version:\n", 20) != 0) return 1;
  changePrecision(20);
  double value = 2.0 / 3.0;
  char text[QVO_NUMBER_FORMAT_TEXT_SIZE];
  return convertNumber(value, text) == 0 && std::strlen(text) == 20 ? 0 : 1;
}
EOF
c++ -std=c++17 -Wall -Werror "$work/host.cpp" -o "$work/host" $(pkg-config --cflags --libs qvocli)
LD_LIBRARY_PATH="$prefix/lib" "$work/host" || { echo "the number formatter's host failed"; exit 1; }
echo "discovery: pkg-config and find_package builds work, the formatter's host runs"
