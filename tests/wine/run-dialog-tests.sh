#!/usr/bin/env bash
# Runs the dialog tests under Wine on a private X server with 24-bit colour
# (the tests read the preview's pixels back) and a private Wine prefix.
#   run-dialog-tests.sh TEST.exe PARALLELOGRAM.dll HOOKED.dll [gtest options]
set -euo pipefail
exe=$1; dll=$2; hooked=$3; shift 3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/pg-dialog-wine.XXXXXX")
cleanup() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$prefix"; }
trap cleanup EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
dllwin="Z:${dll//\//\\}"  # Wine sees the root file system as drive Z:
hookedwin="Z:${hooked//\//\\}"
status=0
timeout --kill-after=10 500 xvfb-run -a -s "-screen 0 1024x768x24" \
  bash -c 'wine "$0" "$1" "$2" "${@:3}"; rc=$?; wineserver -w; exit $rc' "$exe" "$dllwin" "$hookedwin" "$@" \
  || status=$?
exit $status
