#!/usr/bin/env bash
# `plugin-host bench` on a small image: it must run every case, and the
# settings file beside the plug-in must be exactly as it was before, whether
# there was one or not.
#   bench-smoke.sh PREFIX WORKDIR HOST.exe PLUGIN.dll
set -euo pipefail
prefix=$1 work=$2 host=$3 plugin=$4
run_in_wine="$(dirname "$0")/../../tools/wine/run.sh"
cases=(rows-d30-repeat rows-d100-fold-transparent columns-d30-repeat columns-d100-fold-transparent)

rm -rf "$work"
mkdir -p "$work/module"
cp "$plugin" "$work/module/parallelogram.dll"
ini="$work/module/knfilters.ini"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

bench() {  # bench OUTPUT ARGS...: runs the bench, returns its exit status
  local output=$1
  shift
  (cd "$work" && "$run_in_wine" --prefix "$prefix" "$host" bench module/parallelogram.dll "$@") >"$output"
}

# No settings file before: every case in the table, and no file after.
if bench "$work/out-none.txt" --size 64 --repeat 1; then
  for c in memcpy "${cases[@]}"; do
    grep -Eq "^$c +[0-9]" "$work/out-none.txt" || fail "case $c missing from the table"
  done
else
  fail "bench with no settings file exited with $?"
fi
cat "$work/out-none.txt"
[ -e "$ini" ] && fail "the bench left a settings file behind where there was none"

# The user's own file, other sections, odd spacing and no final newline
# included, comes back byte for byte.
printf '; mine\r\n[Other]\r\nkey = value\r\n\r\n[Parallelogram]\r\nshape=5\r\ndimension=-42\r\nundefarea=4\r\ntransparent=1\r\npreview=1' >"$work/saved.ini"
cp "$work/saved.ini" "$ini"
if bench "$work/out-file.txt" --size 32 --repeat 2 --case columns-d30-repeat; then
  grep -Eq '^columns-d30-repeat +[0-9]' "$work/out-file.txt" || fail "the chosen case is missing"
  [ "$(grep -Ec '^(rows|columns)-' "$work/out-file.txt")" = 1 ] || fail "--case ran other cases too"
else
  fail "bench with a settings file exited with $?"
fi
cmp -s "$work/saved.ini" "$ini" || fail "the user's settings file was not put back unchanged"

# A malformed command line is refused before anything is written.
set +e
bench "$work/out-bad.txt" --case no-such-case 2>/dev/null
status=$?
set -e
[ "$status" = 2 ] || fail "an unknown case gave exit status $status, not 2"
cmp -s "$work/saved.ini" "$ini" || fail "a refused command line changed the settings file"

[ "$failures" -eq 0 ]
