// Where a shifted position falls on its line, and what colour it takes there.
#pragma once

#include <cstdint>

#include "shear/pixel.h"

// What is shown where a shifted position falls beyond an end of its line.
// The settings keep a mode as its 32-bit value, which indexes the sampler
// tables.
enum class UndefinedAreaMode : std::int32_t {
    EdgePixel,
    OriginalPixel,
    Repeat,
    Fold,
    DrawingColour,
    BackgroundColour,
};
constexpr std::int32_t kUndefinedAreaModeCount = 6;
static_assert(static_cast<std::int32_t>(UndefinedAreaMode::BackgroundColour) + 1 == kUndefinedAreaModeCount,
              "every mode has a column in the sampler tables");

constexpr std::int32_t ValueOf(UndefinedAreaMode mode) { return static_cast<std::int32_t>(mode); }

// Whether a stored value names a mode.
constexpr bool IsValidUndefinedAreaMode(std::int32_t value) { return value >= 0 && value < kUndefinedAreaModeCount; }

struct UndefinedAreaPolicy {
    std::int32_t mode;         // the value of an UndefinedAreaMode
    PixelBGRA fill;            // colour of DrawingColour and BackgroundColour
    std::int32_t transparent;  // non-zero: outside regions lose their alpha
};

// The four non-interior regions come first so that they index the sampler
// tables directly.  "Before" is the side of coordinate 0.
enum SampleRegion : std::int32_t {
    OutsideBefore = 0,  // p <= -1
    OutsideAfter = 1,   // p >= n
    PartialBefore = 2,  // -1 < p < 0
    PartialAfter = 3,   // n - 1 < p < n
    Interior = 4,       // 0 <= p <= n - 1
};
constexpr int kEdgeRegionCount = 4;

inline bool IsOutsideRegion(SampleRegion region) { return region == OutsideBefore || region == OutsideAfter; }

// Classifies position p against a line of n pixels.
inline SampleRegion ClassifyPosition(double p, std::int32_t n) {
    const double length = static_cast<double>(n);
    if (p < 0.0) return p <= -1.0 ? OutsideBefore : PartialBefore;
    if (p <= length - 1.0) return Interior;
    return p < length ? PartialAfter : OutsideAfter;
}

// Every sampler takes the whole argument list: the source image (w x h, row
// stride w), the output pixel's own coordinates, the shifted position p along
// the sampled line (row y for row samplers, column x for column samplers), and
// the policy, of which only `fill` is read.  A sampler reads only source pixels
// inside the image as long as -n <= p <= 2n - 1.
using PixelSampler = PixelBGRA (*)(const PixelBGRA* source, std::int32_t x, std::int32_t y, double p, std::int32_t w,
                                   std::int32_t h, const UndefinedAreaPolicy& policy);

// Interior samplers: blend of the two source pixels straddling p (0 <= p <= n-1).
PixelBGRA SampleRowInterior(const PixelBGRA* source, std::int32_t x, std::int32_t y, double p, std::int32_t w,
                            std::int32_t h, const UndefinedAreaPolicy& policy);
PixelBGRA SampleColumnInterior(const PixelBGRA* source, std::int32_t x, std::int32_t y, double p, std::int32_t w,
                               std::int32_t h, const UndefinedAreaPolicy& policy);

// [region][mode] for the four non-interior regions.
extern const PixelSampler RowSamplers[kEdgeRegionCount][kUndefinedAreaModeCount];
extern const PixelSampler ColumnSamplers[kEdgeRegionCount][kUndefinedAreaModeCount];
