#!/usr/bin/env bash
# Installs the Debian 12 packages the library and its tests need (run as root).
set -euo pipefail
pkgs=(build-essential cmake ninja-build libgmp-dev unixodbc-dev libgtest-dev libgmock-dev
      libbenchmark-dev locales clang clang-format pkg-config)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
