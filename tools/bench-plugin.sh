#!/usr/bin/env bash
# Times the real plug-in through the reference host under Wine: `plugin-host
# bench` runs the filter on a large image for a few settings and compares each
# with a memcpy of the same size.  Afterwards, in the same prefix, the engine's
# own Windows bench times the passes at each vector level next to the plain
# reference and memcpy.  The 32-bit build runs where the kernel runs 32-bit
# programs, the 64-bit one otherwise.  `make bench` builds everything first;
# BUILD selects the build directory as it does for make (default: build).
# Extra arguments go to the bench, e.g. --size 2048 --repeat 9 --case rows-d30-repeat.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
windows=$(bash tools/wine/pick-build.sh "$build/dist")
host="$windows/plugin-host.exe"
plugin="$windows/parallelogram.dll"
if [ "$windows" = "$build/dist" ]; then
  engine_bench="$build/win32/benchmarks/win32_engine_bench.exe"
else
  engine_bench="$build/win64/benchmarks/win32_engine_bench.exe"
fi

for f in "$host" "$plugin" "$engine_bench"; do
  [ -e "$f" ] || { echo "bench-plugin: $f is missing; run 'make' first" >&2; exit 1; }
done

# A private Wine prefix, kept between runs.  The bench opens no window.
wine_run=(bash tools/wine/run.sh --prefix "$build/wineprefix-bench" --timeout 1200)
echo "bench-plugin: $plugin under Wine"
status=0
"${wine_run[@]}" "$host" bench "$plugin" "$@" || status=$?
"${wine_run[@]}" "$engine_bench" || status=$?
exit "$status"
