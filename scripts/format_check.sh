#!/usr/bin/env bash
# Checks that C and C++ sources are formatted as .clang-format says
# (clang-format 14): every tracked *.cpp, *.h and *.c file, or the files given
# as arguments. Names each file that differs and fails; `clang-format -i FILE`
# formats one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
if [ $# -gt 0 ]; then
  files=("$@")
else
  cd "$root"
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
fi
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "not formatted as .clang-format says (clang-format -i FILE):"
  grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/  /'
  exit 1
fi
echo "format check passed (${#files[@]} files)"
