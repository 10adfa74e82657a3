#!/usr/bin/env bash
# Installs the built library into a scratch prefix and builds the example
# client against that tree twice, as an application would: through pkg-config
# and through find_package(qvocli). Arguments: the build tree, the source tree.
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
echo "discovery: pkg-config and find_package builds work"
