// One line of a pass: its runs of regions produced by the line kernels, the
// constant fills and the partial-region samplers, or, without scratch
// memory, the per-pixel loop itself.  Shared by the row and column passes.
//
// Both passes produce exactly what the straightforward per-pixel loop
// produces (classify p = c + offset, call the sampler of its region, clear
// alpha in the outside regions when transparent), only faster:
//
// * Along one line, p grows with the coordinate, so the five regions are five
//   consecutive runs (FindRegions), and each run is produced by a loop that
//   knows its region and mode.
// * p is still computed per pixel, exactly as c + offset: its fractional part
//   is not constant along a line once rounding to double comes in.
// * The interior run and the Repeat and Fold outside runs (whose positions
//   are mapped back into the line) go through the vector line kernels of
//   line_kernel.h; the two partial regions hold at most a couple of pixels
//   per line and go through the shared sampler tables unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shear/line_kernel.h"
#include "shear/line_regions.h"
#include "shear/passes.h"
#include "shear/pixel.h"
#include "shear/samplers.h"

namespace shear_detail {

constexpr std::uint32_t kKeepAll = 0xFFFFFFFFu;
constexpr std::uint32_t kClearAlpha = 0x00FFFFFFu;

// One line of n source pixels, in[0 .. n), of which output pixels [from, to)
// are produced into out[0 .. to - from).  `partial(region, c, p)` gives the
// pixels of the two partial regions.
struct Line {
    const PixelBGRA* in;
    std::int32_t n;
    PixelBGRA* out;
    std::int32_t from, to;
    double offset;
};

// A run of pixels whose colour is blended at mapped positions.
struct BlendedRun {
    PositionMap map;
    std::int32_t from, to;
    std::uint32_t keep;
};

// How the outside run of `mode` maps its positions, if it blends at all.
bool OutsideMap(UndefinedAreaMode mode, bool before, PositionMap& map);

// The outside run [from, to) of a mode that does not blend.
void ConstantOutsideRun(const Line& line, const UndefinedAreaPolicy& policy, bool before, std::int32_t from,
                        std::int32_t to, std::uint32_t keep);

template <class Partial>
void ShearLine(const Line& line, const UndefinedAreaPolicy& policy, const LineKernels& kernels, double* wide,
               Partial partial) {
    const RegionStarts starts = FindRegions(line.offset, line.from, line.to, line.n);
    const std::uint32_t outsideKeep = policy.transparent != 0 ? kClearAlpha : kKeepAll;
    const auto mode = static_cast<UndefinedAreaMode>(policy.mode);

    // The runs that blend: the interior, and the outside runs of Repeat and Fold.
    BlendedRun spans[3];
    int spanCount = 0;
    PositionMap map;
    const bool blendBefore = OutsideMap(mode, true, map);
    if (blendBefore && line.from < starts.partialBefore)
        spans[spanCount++] = {map, line.from, starts.partialBefore, outsideKeep};
    if (starts.interior < starts.partialAfter)
        spans[spanCount++] = {PositionMap::Identity, starts.interior, starts.partialAfter, kKeepAll};
    const bool blendAfter = OutsideMap(mode, false, map);
    if (blendAfter && starts.outsideAfter < line.to)
        spans[spanCount++] = {map, starts.outsideAfter, line.to, outsideKeep};

    for (int s = 0; s < spanCount; ++s) {
        BlendSpan(kernels, spans[s].map, line.in, line.n, line.offset, spans[s].from, spans[s].to, spans[s].keep,
                  line.out + (spans[s].from - line.from), wide);
    }

    if (!blendBefore) ConstantOutsideRun(line, policy, true, line.from, starts.partialBefore, outsideKeep);
    if (!blendAfter) ConstantOutsideRun(line, policy, false, starts.outsideAfter, line.to, outsideKeep);
    for (std::int32_t c = starts.partialBefore; c < starts.interior; ++c) {
        line.out[c - line.from] = partial(PartialBefore, c, static_cast<double>(c) + line.offset);
    }
    for (std::int32_t c = starts.partialAfter; c < starts.outsideAfter; ++c) {
        line.out[c - line.from] = partial(PartialAfter, c, static_cast<double>(c) + line.offset);
    }
}

// The per-pixel loop itself, for when no scratch memory could be had.
// `sample(region, c, p)` is the sampler of the region for output pixel c.
template <class Sample>
void PlainLine(std::int32_t n, double offset, std::int32_t from, std::int32_t to, std::int32_t transparent,
               PixelBGRA* out, std::ptrdiff_t step, Sample sample) {
    for (std::int32_t c = from; c < to; ++c) {
        const double p = static_cast<double>(c) + offset;
        const SampleRegion region = ClassifyPosition(p, n);
        PixelBGRA pixel = sample(region, c, p);
        if (IsOutsideRegion(region) && transparent != 0) pixel = WithoutAlpha(pixel);
        out[c * step] = pixel;
    }
}

// Callers replace an unknown mode by EdgePixel before it reaches the engine;
// doing it here too keeps a stray value from indexing past the tables.  The
// line code takes the policy's mode as a valid UndefinedAreaMode.
UndefinedAreaPolicy SanePolicy(const UndefinedAreaPolicy& policy);

// The progress report after line `line` of `count` (none without a callback).
void ReportLine(const ProgressSink& sink, std::int32_t line, std::int32_t count);

}  // namespace shear_detail
