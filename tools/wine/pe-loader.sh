#!/usr/bin/env bash
# Prints the Wine loader for a Windows program: `wine` for a 32-bit (PE32)
# program, the 64-bit loader for a 64-bit (PE32+) one (Debian puts it off
# the PATH).
#   tools/wine/pe-loader.sh PROGRAM
set -euo pipefail
file=$1
[ -f "$file" ] || { echo "pe-loader.sh: $file is missing" >&2; exit 2; }
read_u() { od -An -t"u$2" -j "$1" -N "$2" "$file" | tr -d ' '; }
[ "$(head -c 2 "$file")" = MZ ] || { echo "pe-loader.sh: $file is not a Windows program" >&2; exit 2; }
header=$(read_u 60 4)
case "$(read_u $((header + 4)) 2)" in
  332) echo wine ;;      # 0x014c, x86
  34404) echo /usr/lib/wine/wine64 ;;  # 0x8664, x86-64
  *) echo "pe-loader.sh: $file is for a processor Wine cannot run here" >&2; exit 2 ;;
esac
