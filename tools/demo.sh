#!/usr/bin/env bash
# Shears the bundled sample through the real plug-in: the reference host
# loads the plug-in under Wine with the settings written beside it.  The
# native tool shears the same sample with the same settings, and the two
# results are compared.  The 32-bit plug-in runs where the kernel runs 32-bit
# programs, the 64-bit one otherwise.  `make demo` builds everything first;
# BUILD selects the build directory as it does for make (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
dist="$build/dist"
windows=$(bash tools/wine/pick-build.sh "$dist")
tool="$dist/parallelogram"
host="$windows/plugin-host.exe"
plugin="$windows/parallelogram.dll"
plugin_output="$build/demo/sample-plugin.png"
native_output="$build/demo/sample-sheared.png"

for f in "$tool" "$host" "$plugin"; do
  [ -e "$f" ] || { echo "demo: $f is missing; run 'make' first" >&2; exit 1; }
done
mkdir -p "$build/demo"

# The filter reads its settings from knfilters.ini beside the module.
printf '[Parallelogram]\r\nshape=0\r\ndimension=30\r\nundefarea=2\r\ntransparent=0\r\npreview=1\r\n' \
  >"$windows/knfilters.ini"

# A private Wine prefix, kept between demos.  No window opens for a run with
# valid settings, so no X display is needed.
wine_run=(bash tools/wine/run.sh --prefix "$build/wineprefix-demo")
[ -e "$build/wineprefix-demo/.parallelogram-ready" ] ||
  echo "demo: preparing a Wine prefix (the first start takes 20-30 s)"
"${wine_run[@]}" "$host" info "$plugin"
"${wine_run[@]}" "$host" run "$plugin" 0 samples/sample.png "$plugin_output"

"$tool" samples/sample.png "$native_output" --shape top-bottom --dimension 30 --undefined repeat --quiet
echo "demo: sheared samples/sample.png (top-bottom, dimension 30, repeat) through $plugin into"
echo "      $(pwd)/$plugin_output"
if cmp -s "$plugin_output" "$native_output"; then
  echo "      identical to the native tool's result"
else
  echo "      DIFFERENT from the native tool's result ($(pwd)/$native_output)" >&2
  exit 1
fi
