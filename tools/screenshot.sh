#!/usr/bin/env bash
# Renders the open settings dialog, preview on and the sample image sheared
# in the pane, into docs/dialog.png: the reference host opens the dialog
# under a private X server and Wine prefix and captures it from inside.  The
# prefix shows the dialog's "ＭＳ Ｐゴシック" with the proportional IPA Gothic.
#   tools/screenshot.sh [OUTPUT.png]
# BUILD selects the build directory as it does for make (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
windows=$(bash tools/wine/pick-build.sh "$build/dist")
output=$(realpath -m "${1:-docs/dialog.png}")
mkdir -p "$(dirname "$output")"

work=$(mktemp -d "${TMPDIR:-/tmp}/pg-screenshot.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A private copy of the plug-in, with the settings it opens with beside it.
mkdir -p "$work/plugin"
cp "$windows/parallelogram.dll" "$work/plugin/"
printf '[Parallelogram]\r\nshape=0\r\ndimension=40\r\nundefarea=0\r\ntransparent=1\r\npreview=1\r\n' \
  > "$work/plugin/knfilters.ini"
cp samples/sample.png "$work/sample.png"

winpath() { echo "Z:${1//\//\\}"; }
# setup exits 1 when the captured dialog is cancelled, as it is here.
bash tools/wine/run.sh --prefix "$work/prefix" --display "$windows/plugin-host.exe" \
  setup "$(winpath "$work/plugin/parallelogram.dll")" 0 "$(winpath "$work/sample.png")" \
  --screenshot "$(winpath "$output")" || test $? -eq 1
test -s "$output"
echo "screenshot: $output"
