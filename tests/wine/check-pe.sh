#!/usr/bin/env bash
# Checks the plug-in's export and import tables and the host's export with
# objdump:  check-pe.sh OBJDUMP PLUGIN.dll HOST.exe
set -euo pipefail
objdump=$1 plugin=$2 host=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

dump=$("$objdump" -p "$plugin")

# Names with their ordinals, from the [Ordinal/Name Pointer] table.  The 32-bit
# plug-in exports each function under its plain and its stdcall-decorated name
# (both at one address); x64 has no decoration, so the 64-bit one has the plain
# names only.  Either way the ordinals follow the ascending byte order of the
# names from 1.
names=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^\t\[/ {print $NF} on && /^$/ {on=0}')
plain="RXF_Execute
RXF_FilterCount
RXF_GetName
RXF_Setup
RX_GetPluginInfo"
if grep -q 'file format pei-x86-64' <<<"$dump"; then
  expected=$plain
else
  expected="$plain
_RXF_Execute@44
_RXF_FilterCount@0
_RXF_GetName@20
_RXF_Setup@20
_RX_GetPluginInfo@8"
fi
count=$(wc -l <<<"$expected")
[ "$names" = "$expected" ] || fail "export names differ:
$names"
# The expected list is in ascending byte order, so ordinal i+1 is its i-th name.
[ "$(LC_ALL=C sort <<<"$expected")" = "$expected" ] || fail "expected names not in byte order"

# Export address table: ordinal base 1, one entry per name, and a decorated
# name leads to the address of its plain twin.
grep -q 'Ordinal Base 1' <<<"$dump" || fail "ordinal base is not 1"
mapfile -t rvas < <(echo "$dump" | awk '/Export Address Table -- Ordinal Base/ {on=1; next} on && /Export RVA/ {print $(NF-2)} on && /^$/ {on=0}')
[ "${#rvas[@]}" -eq "$count" ] || fail "expected $count export addresses, got ${#rvas[@]}"
ordinals=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^\t\[/ {match($0, /[0-9]+/); print substr($0, RSTART, RLENGTH) + 1} on && /^$/ {on=0}' | tr '\n' ' ')
[ "$ordinals" = "$(seq -s ' ' 1 "$count") " ] || fail "ordinals are $ordinals"
for ((i = 5; i < count; i++)); do
  [ "${rvas[$((i - 5))]}" = "${rvas[$i]}" ] || fail "ordinal $((i - 4)) and $((i + 1)) lead to different addresses"
done
[ "$(printf '%s\n' "${rvas[@]:0:5}" | sort -u | wc -l)" -eq 5 ] || fail "two functions share an address"

# Imports: only system DLLs.
imports=$(echo "$dump" | awk '/DLL Name:/ {print toupper($3)}' | sort -u)
for dll in $imports; do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMCTL32.DLL|MSVCRT.DLL) ;;
    *) fail "the plug-in imports $dll" ;;
  esac
done

# The host exports the query function under its exact plain name.
"$objdump" -p "$host" | grep -E '^\s*\[\s*[0-9]+\] RXF_QueryClientInfo$' >/dev/null ||
  fail "the host does not export RXF_QueryClientInfo"

echo "exports: $(echo $names)"
echo "imports: $(echo $imports)"
