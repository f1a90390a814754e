#!/usr/bin/env bash
# Renders the open settings dialog, preview on and the sample image sheared
# in the pane, into docs/dialog.png: the reference host opens the dialog
# under a private X server and Wine prefix and captures it from inside.
#   tools/screenshot.sh DIST_DIR [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
dist=$(cd "$1" && pwd)
output=$(realpath -m "${2:-docs/dialog.png}")
mkdir -p "$(dirname "$output")"

work=$(mktemp -d "${TMPDIR:-/tmp}/pg-screenshot.XXXXXX")
cleanup() { WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

# A private copy of the plug-in, with the settings it opens with beside it.
mkdir -p "$work/plugin"
cp "$dist/parallelogram.dll" "$work/plugin/"
printf '[Parallelogram]\r\nshape=0\r\ndimension=40\r\nundefarea=0\r\ntransparent=1\r\npreview=1\r\n' \
  > "$work/plugin/knfilters.ini"
cp samples/sample.png "$work/sample.png"

winpath() { echo "Z:${1//\//\\}"; }
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
# Without a window manager Wine draws the caption itself; the dialog font
# is shown with the proportional IPA Gothic.
timeout --kill-after=10 300 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f >/dev/null
  wine reg add "HKCU\\Software\\Wine\\Fonts\\Replacements" /v "ＭＳ Ｐゴシック" /d IPAPGothic /f >/dev/null
  wine "$0" setup "$1" 0 "$2" --screenshot "$3"; rc=$?; wineserver -w; exit $rc' \
  "$dist/plugin-host.exe" "$(winpath "$work/plugin/parallelogram.dll")" \
  "$(winpath "$work/sample.png")" "$(winpath "$output")" || test $? -eq 1
test -s "$output"
echo "screenshot: $output"
