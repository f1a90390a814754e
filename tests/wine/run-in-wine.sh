#!/usr/bin/env bash
# Runs one Windows program under Wine for a test: private prefix, Japanese
# ANSI code page, a virtual X display for message boxes, and a time limit so
# that nothing can hang the test run.
#   run-in-wine.sh PREFIX_DIR PROGRAM [ARGS...]
# With PROGRAM "--init" it (re)creates the prefix and exits.
set -uo pipefail

prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko installer prompts

if [ "${1:-}" = "--init" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  timeout 300 wineboot -i >/dev/null 2>&1
  timeout 60 wineserver -w
  exit 0
fi

[ -d "$prefix" ] || { mkdir -p "$prefix"; }

# xvfb-run keeps the display up until the inner shell, which waits for the
# wineserver to finish, has ended.
timeout -k 10 300 xvfb-run -a bash -c '
  wine "$@"
  rc=$?
  wineserver -w
  exit $rc
' run-in-wine "$@" 2> >(grep -v "setlocale: LC_ALL" >&2)
