#!/usr/bin/env bash
# Fails when a C++ file of the repository differs from what clang-format
# makes of it with the house style in .clang-format; lists those files.
set -uo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
status=0
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || { echo "not formatted: $f (clang-format -i $f)" >&2; status=1; }
done
exit $status
