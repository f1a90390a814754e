#!/usr/bin/env bash
# The command-line tool as a process: standard input and output, exit codes,
# and interrupts in the middle of a long write, which must leave neither the
# temporary file nor an output behind.
#   cli_process_test.sh TOOL
set -u
set -m  # background jobs keep SIGINT, as they do in an interactive shell
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A small image, and a large one of random pixels that takes a while to encode.
printf 'P6\n3 2\n255\n' >"$work/small.ppm"
head -c 18 /dev/urandom >>"$work/small.ppm"
printf 'P6\n4096 4096\n255\n' >"$work/big.ppm"
head -c $((4096 * 4096 * 3)) /dev/urandom >>"$work/big.ppm"

# ---- exit codes ----
while read -r expected args; do
  # shellcheck disable=SC2086
  (cd "$work" && "$tool" $args --quiet 2>/dev/null)
  status=$?
  [ "$status" = "$expected" ] || fail "'$args' exited $status, expected $expected"
done <<'CASES'
0 small.ppm ok.png --dimension 40
1 absent.ppm out.png
1 small.ppm nowhere/out.png
2 small.ppm
2 small.ppm out.png --dimension 101
2 --out-dir . small.ppm -
CASES

# ---- standard input and output ----
(cd "$work" && "$tool" small.ppm file.png --dimension 40 --quiet) || fail "writing file.png"
(cd "$work" && "$tool" - - --dimension 40 --quiet <small.ppm >piped.png) || fail "piping"
cmp -s "$work/file.png" "$work/piped.png" || fail "standard output differs from the file"

# ---- interrupts during the write ----
for signal in INT TERM HUP; do
  rm -f "$work/out.png"
  "$tool" "$work/big.ppm" "$work/out.png" --dimension 30 --quiet &
  pid=$!
  # The temporary file exists only while the result is being encoded.
  for _ in $(seq 2000); do
    compgen -G "$work/.pg-*" >/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  kill -s "$signal" "$pid" 2>/dev/null
  wait "$pid"
  status=$?
  signal_number=$(kill -l "$signal")
  [ "$status" = $((128 + signal_number)) ] || fail "SIG$signal: exit status $status, not ended by the signal"
  leftovers=$(compgen -G "$work/.pg-*")
  [ -z "$leftovers" ] || fail "SIG$signal left $leftovers"
  [ ! -e "$work/out.png" ] || fail "SIG$signal left an output"
done

[ "$failures" -eq 0 ] && echo "cli process tests: all passed"
[ "$failures" -eq 0 ]
