#!/usr/bin/env bash
# The command-line tool end to end on a 4096 x 4096 8-bit RGBA PNG, timed
# side by side with `vips copy` of the same file to PNG (the bar: at most
# 1.25 x its time and 1.1 x its file size) and with ImageMagick doing the
# same kind of shear (the bar: at least 10 x faster).  The image, a plasma
# fractal, is drawn once into the build directory.  `make bench` runs this;
# BUILD selects the build directory as it does for make (default: build).
#   cli-vs-vips.sh [RUNS]   (default 5 runs each; ImageMagick runs twice)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
runs=${1:-5}
tool="$build/dist/parallelogram"
work="$build/bench-cli"
image="$work/plasma-4096.png"
[ -x "$tool" ] || { echo "cli-vs-vips: $tool is missing; run 'make native' first" >&2; exit 1; }
for program in vips convert hyperfine python3; do
  command -v "$program" >/dev/null || { echo "cli-vs-vips: $program is missing (tools/setup-debian.sh)" >&2; exit 1; }
done
mkdir -p "$work"
if [ ! -s "$image" ]; then
  echo "cli-vs-vips: drawing $image (about half a minute, once)"
  convert -seed 1 -size 4096x4096 plasma: -alpha set -channel A -evaluate set 100% +channel "PNG32:$image"
fi

# Rows shift sideways by 30 % of the width from top to bottom, beyond the
# edge the image repeats: the tool's top-bottom shape at dimension 30, and
# the same affine shear for ImageMagick.
shear_tool=("$tool" "$image" "$work/tool.png" --shape top-bottom --dimension 30 --undefined repeat --quiet)
shear_magick=(convert "$image" -virtual-pixel tile -filter point -interpolate bilinear
              -distort AffineProjection '1,0,0.3,1,-614.4,0' "PNG32:$work/magick.png")

quote() { printf '%q ' "$@"; }
hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$work/fast.json" \
  -n tool "$(quote "${shear_tool[@]}")" \
  -n "vips copy" "$(quote vips copy "$image" "$work/vips.png")" >&2
hyperfine --style basic --runs 2 --export-json "$work/magick.json" \
  -n imagemagick "$(quote "${shear_magick[@]}")" >&2

python3 - "$work" <<'PY'
import json, os, statistics, sys
work = sys.argv[1]
times = {}
for name in ("fast.json", "magick.json"):
    for result in json.load(open(os.path.join(work, name)))["results"]:
        times[result["command"]] = statistics.median(result["times"])
size = {k: os.path.getsize(os.path.join(work, f)) for k, f in
        (("tool", "tool.png"), ("vips copy", "vips.png"), ("imagemagick", "magick.png"))}
tool, vips, magick = times["tool"], times["vips copy"], times["imagemagick"]
print("\nThe tool end to end on a 4096x4096 8-bit RGBA PNG (median wall-clock seconds):")
print(f"{'program':<14}{'s':>8}{'MB written':>12}")
for name in ("tool", "vips copy", "imagemagick"):
    print(f"{name:<14}{times[name]:8.2f}{size[name] / 1e6:12.1f}")
checks = [
    (f"time vs vips copy: {tool / vips:.2f}x (at most 1.25x)", tool <= 1.25 * vips),
    (f"size vs vips copy: {size['tool'] / size['vips copy']:.2f}x (at most 1.1x)", size["tool"] <= 1.1 * size["vips copy"]),
    (f"ImageMagick / tool: {magick / tool:.1f}x faster (at least 10x)", magick >= 10 * tool),
]
for text, ok in checks:
    print(("  ok    " if ok else "  MISSED ") + text)
sys.exit(0 if all(ok for _, ok in checks) else 1)
PY
