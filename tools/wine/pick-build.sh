#!/usr/bin/env bash
# Prints the folder of the Windows build to run here: DIST (the 32-bit
# plug-in) where the kernel runs 32-bit programs, DIST/x64 otherwise, with one
# line on stderr that says so.
#   tools/wine/pick-build.sh DIST
set -euo pipefail
dist=$1
if bash "$(dirname "$0")/check-32bit.sh" 2>/dev/null; then
  echo "$dist"
else
  echo "note: this kernel cannot run 32-bit programs, so the 64-bit build in $dist/x64 runs instead (booting with ia32_emulation=on enables the 32-bit one)" >&2
  echo "$dist/x64"
fi
