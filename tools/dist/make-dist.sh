#!/usr/bin/env bash
# Packs the download: build/dist/parallelogram-VERSION.zip with the 32-bit
# plug-in at its root, the 64-bit one in x64/, the read-mes in Japanese (UTF-8
# with a byte-order mark, as Windows editors recognise it) and English, and
# the licence, all text with Windows line ends.  The version is the project's
# own, from CMakeLists.txt.
#   tools/dist/make-dist.sh DIST_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
dist=$(cd "$1" && pwd)
version=$(sed -n 's/^project(Parallelogram VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "make-dist: no version in CMakeLists.txt" >&2; exit 1; }
for f in "$dist/parallelogram.dll" "$dist/x64/parallelogram.dll"; do
  [ -f "$f" ] || { echo "make-dist: $f is missing; run 'make win32 win64' first" >&2; exit 1; }
done

stage=$(mktemp -d "${TMPDIR:-/tmp}/pg-dist.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/x64"
cp "$dist/parallelogram.dll" "$stage/"
cp "$dist/x64/parallelogram.dll" "$stage/x64/"
text() {  # text SOURCE TARGET [BOM]: version filled in, CRLF line ends
  { [ "${3:-}" = bom ] && printf '\xef\xbb\xbf'
    sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$1"; } >"$2"
}
text "$here/README-ja.txt" "$stage/README-ja.txt" bom
text "$here/README-en.txt" "$stage/README-en.txt"
text "$root/LICENSE" "$stage/LICENSE.txt"

# Fixed times and no extra attributes, so the same files give the same zip.
find "$stage" -exec touch -d '2000-01-01 00:00:00' {} +
zip="$dist/parallelogram-$version.zip"
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -q -X -D "$zip" parallelogram.dll x64/parallelogram.dll README-ja.txt README-en.txt LICENSE.txt)
echo "dist: $zip"
unzip -l "$zip" | sed -n '4,$p' | sed '$d' | sed '$d' | awk '{print "      " $NF}'
