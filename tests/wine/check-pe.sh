#!/usr/bin/env bash
# Checks the plug-in's export and import tables and the host's export with
# objdump:  check-pe.sh OBJDUMP PLUGIN.dll HOST.exe
set -euo pipefail
objdump=$1 plugin=$2 host=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

dump=$("$objdump" -p "$plugin")

# Names with their ordinals, from the [Ordinal/Name Pointer] table.
names=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^\t\[/ {print $NF} on && /^$/ {on=0}')
expected="RXF_Execute
RXF_FilterCount
RXF_GetName
RXF_Setup
RX_GetPluginInfo
_RXF_Execute@44
_RXF_FilterCount@0
_RXF_GetName@20
_RXF_Setup@20
_RX_GetPluginInfo@8"
[ "$names" = "$expected" ] || fail "export names differ:
$names"
# The expected list is in ascending byte order, so ordinal i+1 is its i-th name.
[ "$(LC_ALL=C sort <<<"$expected")" = "$expected" ] || fail "expected names not in byte order"

# Export address table: ordinal base 1, ten entries, and entry i equals i+5.
grep -q 'Ordinal Base 1' <<<"$dump" || fail "ordinal base is not 1"
mapfile -t rvas < <(echo "$dump" | awk '/Export Address Table -- Ordinal Base/ {on=1; next} on && /Export RVA/ {print $(NF-2)} on && /^$/ {on=0}')
[ "${#rvas[@]}" -eq 10 ] || fail "expected 10 export addresses, got ${#rvas[@]}"
# The name table's ordinal column must be 1..10 in name order.
ordinals=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^\t\[/ {match($0, /[0-9]+/); print substr($0, RSTART, RLENGTH) + 1} on && /^$/ {on=0}' | tr '\n' ' ')
[ "$ordinals" = "1 2 3 4 5 6 7 8 9 10 " ] || fail "ordinals are $ordinals"
for i in 0 1 2 3 4; do
  [ "${rvas[$i]}" = "${rvas[$((i + 5))]}" ] || fail "ordinal $((i + 1)) and $((i + 6)) lead to different addresses"
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
