#!/usr/bin/env bash
# Runs one fuzz target of the clang fuzz build for a bounded time (20 s
# unless QVO_FUZZ_SECONDS says otherwise), with the wire's markers as its
# dictionary, as a CTest test: usage run_fuzz.sh <binary> <seed dir> <work
# dir>. A finding makes libFuzzer exit non-zero (the test fails; the input is
# kept in the work dir). Without the fuzz build the test is skipped (77):
# scripts/test.sh makes it before configuring the test build.
set -euo pipefail
binary=$1
seeds=$2
work=$3
if [[ ! -x "$binary" ]]; then
  echo "no fuzz build at $binary; scripts/test.sh makes it"
  exit 77
fi
mkdir -p "$work/corpus"
# A finding exits with 1: libFuzzer's own code for one (a target's abort or
# trap ends in its deadly-signal handler) is 77, which CTest takes for a skip.
exec "$binary" -max_total_time="${QVO_FUZZ_SECONDS:-20}" -max_len=4096 -timeout=30 \
  -error_exitcode=1 -dict="$(dirname "$0")/wire.dict" -artifact_prefix="$work/" "$work/corpus" \
  "$seeds"
