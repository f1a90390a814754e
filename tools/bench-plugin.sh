#!/usr/bin/env bash
# Times the real plug-in through the reference host under Wine: `plugin-host
# bench` runs the filter on a large image for a few settings and compares each
# with a memcpy of the same size.  `make bench` builds everything first; BUILD
# selects the build directory as it does for make (default: build).  Extra
# arguments go to the bench, e.g. --size 2048 --repeat 9 --case rows-d30-repeat.
# Afterwards, in the same prefix, the engine's own 32-bit bench times the passes
# at each vector level next to the plain reference and memcpy.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
dist="$build/dist"
host="$dist/plugin-host.exe"
plugin="$dist/parallelogram.dll"
engine_bench="$build/win32/benchmarks/win32_engine_bench.exe"

for f in "$host" "$plugin"; do
  [ -e "$f" ] || { echo "bench-plugin: $f is missing; run 'make win32' first" >&2; exit 1; }
done

# A private Wine prefix, kept between runs (the first start takes a while).
# The bench opens no window, so no X display is needed.
export WINEPREFIX
WINEPREFIX=$(cd "$build" && pwd)/wineprefix-bench
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
echo "bench-plugin: the plug-in under Wine (the first start of a new prefix takes 20-30 s)"
status=0
LC_ALL=ja_JP.UTF-8 wine "$host" bench "$plugin" "$@" 2> >(grep -v 'setlocale' >&2) || status=$?
if [ -e "$engine_bench" ]; then
  LC_ALL=ja_JP.UTF-8 wine "$engine_bench" 2> >(grep -v 'setlocale' >&2) || status=$?
else
  echo "bench-plugin: $engine_bench is missing; run 'make win32' first" >&2
  status=1
fi
wineserver -w
exit "$status"
