#!/usr/bin/env bash
# Shears the bundled sample through the real plug-in: the reference host
# loads build/dist/parallelogram.dll under Wine with the settings written
# beside it.  The native tool shears the same sample with the same settings,
# and the two results are compared.  `make demo` builds everything first;
# BUILD selects the build directory as it does for make (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
dist="$build/dist"
tool="$dist/parallelogram"
host="$dist/plugin-host.exe"
plugin="$dist/parallelogram.dll"
plugin_output="$build/demo/sample-plugin.png"
native_output="$build/demo/sample-sheared.png"

for f in "$tool" "$host" "$plugin"; do
  [ -e "$f" ] || { echo "demo: $f is missing; run 'make native win32' first" >&2; exit 1; }
done
mkdir -p "$build/demo"

# The filter reads its settings from knfilters.ini beside the module.
printf '[Parallelogram]\r\nshape=0\r\ndimension=30\r\nundefarea=2\r\ntransparent=0\r\npreview=1\r\n' \
  >"$dist/knfilters.ini"

# A private Wine prefix, kept between demos (the first start takes a while).
# No window opens for a run with valid settings, so no X display is needed.
export WINEPREFIX
WINEPREFIX=$(cd "$build" && pwd)/wineprefix-demo
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
echo "demo: running the plug-in in Wine (the first start of a new prefix takes 20-30 s)"
LC_ALL=ja_JP.UTF-8 wine "$host" info "$plugin" 2> >(grep -v 'setlocale' >&2)
LC_ALL=ja_JP.UTF-8 wine "$host" run "$plugin" 0 samples/sample.png "$plugin_output" \
  2> >(grep -v 'setlocale' >&2)

"$tool" samples/sample.png "$native_output" --shape top-bottom --dimension 30 --undefined repeat --quiet
# The two programs encode PNG differently: compare the pixels.
if cmp -s "$plugin_output" "$native_output"; then
  same="identical to the native tool's result"
elif LC_ALL=ja_JP.UTF-8 wine "$host" compare "$plugin_output" "$native_output" >/dev/null 2> >(grep -v 'setlocale' >&2); then
  same="the same pixels as the native tool's result"
else
  same="DIFFERENT from the native tool's result ($(pwd)/$native_output)"
fi
wineserver -w
echo "demo: sheared samples/sample.png (top-bottom, dimension 30, repeat) through the plug-in into"
echo "      $(pwd)/$plugin_output"
echo "      $same"
