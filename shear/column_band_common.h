// The per-pixel work of a band lane, shared by the band kernels for what
// their vector groups leave over, written with the samplers' operations in
// their order so that every level gives the same bits.
//
// Each kernel file is compiled for its own instruction set, so everything
// here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shear/column_band.h"

// On 32-bit Windows the stack is only 4-byte aligned when a function is
// entered; the functions that use wide registers align it themselves.
#if defined(__i386__)
#define PG_BAND_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define PG_BAND_ALIGN_STACK
#endif

namespace shear_detail {
namespace {

inline std::uint32_t PixelBits(const PixelBGRA& pixel) {
    std::uint32_t bits;
    __builtin_memcpy(&bits, &pixel, sizeof bits);
    return bits;
}

// How the rows every blended lane reads move from one output row to the
// next: +1 when no blended lane is mirrored, -1 when all are, 0 when they
// differ (each kernel then fetches both neighbours of every row).
inline int RowDirection(const ColumnBand& band) {
    const LaneBits mirrored = band.mirrored & band.blended;
    if (mirrored == 0) return 1;
    return mirrored == band.blended ? -1 : 0;
}

// Lane k's pixel in row y, before `keep`.
inline std::uint32_t BandPixel(const ColumnBand& band, int k, const PixelBGRA* rows, std::int32_t h, std::int32_t y) {
    if ((band.blended >> k & 1) != 0) {
        const double p = static_cast<double>(y) + band.offset[k];
        const double q = (band.mirrored >> k & 1) != 0 ? (band.shift[k] - p) - 1.0 : p + band.shift[k];
        const std::int32_t i = static_cast<std::int32_t>(q);
        const double t = static_cast<double>(i + 1) - q;
        // At i = h - 1, t is 1 and the second pixel weighs nothing: the last
        // pixel stands in for the one below the image.
        const std::int32_t below = i + 1 < h ? i + 1 : i;
        return PixelBits(BlendPixels(rows[static_cast<std::ptrdiff_t>(i - band.firstRow) * kBandColumns + k], t,
                                     rows[static_cast<std::ptrdiff_t>(below - band.firstRow) * kBandColumns + k]));
    }
    if ((band.original >> k & 1) != 0)
        return PixelBits(rows[static_cast<std::ptrdiff_t>(y - band.firstRow) * kBandColumns + k]);
    return band.constant[k];
}

}  // namespace
}  // namespace shear_detail
