#!/usr/bin/env bash
# Exits 0 when this machine can run 32-bit Windows programs under Wine, which
# needs a kernel that runs 32-bit x86 programs.  Finds out by trying: it starts
# the 32-bit Wine loader.  Otherwise it says why in one line and exits 1.
set -uo pipefail
loader=/usr/lib/wine/wine
if [ ! -e "$loader" ]; then
  echo "32-bit Wine is not installed (package wine32:i386): the 32-bit plug-in's Wine tests are skipped; its static checks still run" >&2
  exit 1
fi
if error=$("$loader" --version 2>&1 >/dev/null); then
  exit 0
fi
error=$(echo "$error" | tail -n 1)
echo "this kernel cannot run 32-bit programs (${error##*: }): the 32-bit plug-in's Wine tests are skipped and the 64-bit build's run instead; its static checks still run; booting the kernel with ia32_emulation=on enables them" >&2
exit 1
