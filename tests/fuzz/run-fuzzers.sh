#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build, one after another, for SECONDS each.
#
#   run-fuzzers.sh BUILD_DIR SECONDS
#       grows each fuzzer's corpus in tests/fuzz/corpus/<name>/ (the files
#       libFuzzer adds there are not committed; the seed-* files are)
#   run-fuzzers.sh --smoke BUILD_DIR SECONDS
#       a short check with a fixed seed: the committed corpus is only read,
#       new inputs go to BUILD_DIR/smoke/<name>/
#
# FUZZERS="name ..." runs only those.  Each fuzzer's output goes to
# BUILD_DIR/logs/<name>.log; an input that fails a check or crashes is kept
# as BUILD_DIR/artifacts/<name>-crash-<hash> (replay it by passing that file
# to BUILD_DIR/tests/fuzz/pg_fuzz_<name>).  The exit status is 1 when any
# fuzzer failed.
set -u

smoke=0
if [ "${1:-}" = --smoke ]; then
    smoke=1
    shift
fi
if [ $# -ne 2 ]; then
    echo "usage: $0 [--smoke] BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

names=${FUZZERS:-$(cat "$build/tests/fuzz/fuzzers.txt")}
mkdir -p "$build/artifacts" "$build/logs"
failed=()
for name in $names; do
    fuzzer=$build/tests/fuzz/pg_fuzz_$name
    corpus=$here/corpus/$name
    mkdir -p "$corpus"
    if [ $smoke -eq 1 ]; then
        scratch=$build/smoke/$name
        rm -rf "$scratch"
        mkdir -p "$scratch"
        options=(-seed=1 "$scratch" "$corpus")
    else
        options=("$corpus")
    fi
    log=$build/logs/$name.log
    printf '%-20s ' "$name"
    if "$fuzzer" -max_total_time="$seconds" -timeout=30 -artifact_prefix="$build/artifacts/$name-" \
        "${options[@]}" >"$log" 2>&1; then
        grep -o 'Done [0-9]* runs' "$log" | tail -n 1 | sed 's/Done \(.*\)/ok, \1/'
    else
        echo "FAILED (log: $log)"
        grep -E 'check failed|ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -n 10
        failed+=("$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzers that failed: ${failed[*]}" >&2
    exit 1
fi
