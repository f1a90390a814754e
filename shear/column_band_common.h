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

// Rows a kernel produces at a time with one set of weights.
constexpr int kSteadyRows = 128;

// Row `from`'s row i and weights t and u of every blended lane of a band
// whose blended lanes all move one way (RowDirection not 0).
struct SteadyLanes {
    alignas(64) double t[kBandColumns];
    alignas(64) double u[kBandColumns];
    alignas(64) std::int32_t i[kBandColumns];
};

// The sign and exponent bits of x: equal for two numbers of one binade.
inline std::uint64_t Binade(double x) {
    std::uint64_t bits;
    __builtin_memcpy(&bits, &x, sizeof bits);
    return bits >> 52;
}

// Whether every blended lane keeps its weights t and u from row `from` to
// row `to`, its row i moving by exactly one each row (`direction`), and if
// so their values at row `from`.  Positions p = y + offset grow with y, the
// mapped ones q grow with them (or fall, when mirrored); a sum rounded in one
// binade keeps the fraction of its addend, so when p, q and, mirrored,
// shift - p lie in the same binade at both rows they do so in between, and
// every row in between has the same fraction, hence the same weights.
// Both rows' weights and rows are compared as well.
inline bool KeepsWeights(const ColumnBand& band, int direction, std::int32_t from, std::int32_t to,
                         SteadyLanes& lanes) {
    for (int k = 0; k < kBandColumns; ++k) {
        lanes.t[k] = 1.0, lanes.u[k] = 0.0, lanes.i[k] = 0;  // for the lanes that do not blend
        if ((band.blended >> k & 1) == 0) continue;
        const bool mirrored = (band.mirrored >> k & 1) != 0;
        double p[2], r[2], q[2], t[2];
        std::int32_t i[2];
        const std::int32_t ends[2] = {from, to};
        for (int e = 0; e < 2; ++e) {
            p[e] = static_cast<double>(ends[e]) + band.offset[k];
            r[e] = band.shift[k] - p[e];
            q[e] = mirrored ? r[e] - 1.0 : p[e] + band.shift[k];
            i[e] = static_cast<std::int32_t>(q[e]);
            t[e] = static_cast<double>(i[e] + 1) - q[e];
        }
        if (Binade(p[0]) != Binade(p[1]) || Binade(q[0]) != Binade(q[1]) ||
            (mirrored && Binade(r[0]) != Binade(r[1])) || t[0] != t[1] || i[1] - i[0] != direction * (to - from)) {
            return false;
        }
        lanes.t[k] = t[0];
        lanes.u[k] = 1.0 - t[0];
        lanes.i[k] = i[0];
    }
    return true;
}

// How many rows after `from` (at most kSteadyRows - 1, and before `end`)
// every blended lane keeps row `from`'s weights over (KeepsWeights), with
// those weights, or 0.  A long block over which a position crosses a power
// of two is tried again at half its length, down to kShortestRetry rows, so
// that a crossing costs fewer rows of the general path; shorter retries
// measured slower than they save.
constexpr int kShortestRetry = 32;

inline int SteadyRowsAfter(const ColumnBand& band, int direction, std::int32_t from, std::int32_t end,
                           SteadyLanes& lanes) {
    int steps = static_cast<int>(end - from < kSteadyRows ? end - from : kSteadyRows) - 1;
    while (steps > 0) {
        if (KeepsWeights(band, direction, from, from + steps, lanes)) return steps;
        if (steps / 2 < kShortestRetry) break;
        steps /= 2;
    }
    return 0;
}

// The band copy some rows ahead of a steady block's fetches.  Each steady
// row needs one row of the copy that no earlier row needed (the one past its
// furthest lane); asking for it kPrefetchRows rows early hides the wait for
// a copy that no longer sits in the nearest caches.
constexpr int kPrefetchRows = 16;

// The furthest of a steady block's first rows i in its direction: the
// highest of the blended lanes' moving up, the lowest moving down (within
// the band's copy).
template <int Direction>
inline std::int32_t FurthestRow(const ColumnBand& band, const SteadyLanes& lanes) {
    std::int32_t far = Direction > 0 ? band.firstRow : band.endRow - 1;
    for (int k = 0; k < kBandColumns; ++k) {
        if ((band.blended >> k & 1) == 0) continue;
        far = Direction > 0 ? (lanes.i[k] > far ? lanes.i[k] : far) : (lanes.i[k] < far ? lanes.i[k] : far);
    }
    return far;
}

template <int Direction>
class CopyAhead {
public:
    // For the block that starts at row 0 with `lanes`; the rows the block
    // fetches lie beyond the blended lanes' rows i by one (moving down) or
    // two (moving up: the row below).
    CopyAhead(const ColumnBand& band, const SteadyLanes& lanes) {
        const std::int32_t far = FurthestRow<Direction>(band, lanes);
        row_ = far + Direction * (kPrefetchRows + (Direction > 0 ? 1 : 0)) - band.firstRow;
        rows_ = band.endRow - band.firstRow;
    }

    // Asks for the copy's row kPrefetchRows on from the next steady row's.
    void Next(const PixelBGRA* rows) {
        row_ += Direction;
        if (row_ >= 0 && row_ < rows_)
            __builtin_prefetch(rows + static_cast<std::ptrdiff_t>(row_) * kBandColumns, 0, 3);
    }

private:
    std::int32_t row_, rows_;  // counted from the copy's first row
};

// Weights on a grid of 2^-44.  A weight t that is a whole multiple of 2^-44
// (every t is, once its position q reaches 256, where doubles lie 2^-44
// apart) has u = 1 - t on the grid too, and for channel values a and b of at
// most 255 the products a * t and b * u and their sum are all multiples of
// 2^-44 below 2^8, so below 2^52 grid steps: a double holds each exactly.
// The rounded blend is then the exact one, a * t + b * u =
// b + (a - b) * t, and its whole part b + floor((a - b) * T / 2^44) for
// T = t * 2^44, which 32-bit integers give exactly with T split into its
// upper and lower 22 bits: |a - b| <= 255 times either half stays below 2^30.
constexpr int kWholeWeightSplit = 22;
constexpr double kWholeWeightScale = 0x1p44;
static_assert(kWholeWeightScale == static_cast<double>(std::uint64_t{1} << (2 * kWholeWeightSplit)),
              "the grid's T splits into two halves");

struct WholeWeight {
    std::int32_t high, low;  // T = high * 2^22 + low
};

// Whether t (0 <= t <= 1) lies on the grid, and if so its halves.
inline bool WholeWeightOf(double t, WholeWeight& weight) {
    if (!(t >= 0.0 && t <= 1.0)) return false;
    const double scaled = t * kWholeWeightScale;  // exact: a power of two, no overflow
    const std::int64_t whole = static_cast<std::int64_t>(scaled);
    if (static_cast<double>(whole) != scaled) return false;
    weight.high = static_cast<std::int32_t>(whole >> kWholeWeightSplit);
    weight.low = static_cast<std::int32_t>(whole & ((std::int64_t{1} << kWholeWeightSplit) - 1));
    return true;
}

// One channel's blend, first at weight t and second at 1 - t, for t on the
// grid: floor((d * high * 2^22 + d * low) / 2^44) taken in two steps, each an
// arithmetic shift (a floor, also below zero).
inline std::int32_t BlendWholeChannel(std::int32_t first, std::int32_t second, const WholeWeight& weight) {
    const std::int32_t d = first - second;
    return second + ((d * weight.high + ((d * weight.low) >> kWholeWeightSplit)) >> kWholeWeightSplit);
}

// Every blended lane's weight halves for a steady block (zero for the other
// lanes), when all their weights lie on the grid.
struct WholeLanes {
    alignas(64) std::int32_t high[kBandColumns];
    alignas(64) std::int32_t low[kBandColumns];
};

inline bool WholeLanesOf(const ColumnBand& band, const SteadyLanes& lanes, WholeLanes& whole) {
    for (int k = 0; k < kBandColumns; ++k) {
        WholeWeight weight{0, 0};
        if ((band.blended >> k & 1) != 0 && !WholeWeightOf(lanes.t[k], weight)) return false;
        whole.high[k] = weight.high;
        whole.low[k] = weight.low;
    }
    return true;
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
