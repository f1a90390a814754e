#!/usr/bin/env bash
# Shears the bundled sample with the native tool and says where the result
# is.  `make demo` builds the tool first; BUILD selects the build directory
# as it does for make (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
tool="$build/dist/parallelogram"
output="$build/demo/sample-sheared.png"

if [ ! -x "$tool" ]; then
  echo "demo: $tool is missing; run 'make native' first" >&2
  exit 1
fi
mkdir -p "$build/demo"
"$tool" samples/sample.png "$output" --shape top-bottom --dimension 30 --undefined repeat
echo "demo: sheared samples/sample.png (top-bottom, dimension 30, repeat) into $(pwd)/$output"
