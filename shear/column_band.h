// The column pass's inner loop: a band of up to sixteen neighbouring columns
// produced together, row by row, in the order of the image's memory.
//
// Each column of the band keeps one offset for all its rows, so output pixel
// (x, y) blends source pixels (x, i) and (x, i + 1), where i is the whole part
// of the column's position at y.  Walking y downwards, the band's pixels of
// one output row are a contiguous piece of that row (a whole cache line when
// the band is aligned), and the sixteen source pixels it blends are one pixel
// from each column's own source row: one gather per neighbour, and, since
// each column's row moves by one from one output row to the next, the
// neighbour the next row shares with this one is kept rather than fetched
// again.  The band's columns are first copied, row by row, into a compact
// block (64 bytes a row), so that those loads hit neighbouring cache lines
// instead of image rows a whole pitch apart (which all fall into the same
// few cache sets); nothing is transposed.
//
// The pass cuts the band's rows into stretches within which every column
// stays in one region (interior, before or after the line, or a partial
// region, which holds at most one row of a column), and describes each column
// for that stretch by a ColumnBand lane: blended at a mapped position,
// copied from its own source pixel, or a constant pixel.  Each vector level has
// its own kernel, in a file compiled for its instruction set
// (column_band_<level>.cpp).
//
// Within a stretch, a blended column's position keeps its fractional part
// from row to row as long as the sums that make it stay within one power of
// two; its weights are then the same on every row and its row steps by
// exactly one.  The kernels check that for a block of rows at once
// (KeepsWeights in column_band_common.h) and then only fetch and blend,
// which is most of a tall image's rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shear/pixel.h"
#include "shear/vector_level.h"
#include "shear/x86_vectors.h"

namespace shear_detail {

// Columns per band: sixteen pixels are one 64-byte cache line of a row.
constexpr int kBandColumns = 16;

// One bit per lane.
using LaneBits = std::uint32_t;

// Channels of a pixel: blue, green, red, alpha.
constexpr int kBandChannels = 4;

// One stretch of rows of a band, lane k describing column k.  Positions are
// p = y + offset[k]; a blended lane samples q = p + shift[k], or
// q = (shift[k] - p) - 1 when its bit in `mirrored` is set, which are the
// interior's q = p (shift 0), Repeat's p + n and p - n, and Fold's -p - 1
// (shift 0) and (2n - p) - 1 (shift 2n) with the samplers' own operations.
// Every pixel is ANDed with keep[k] at the end.
struct alignas(64) ColumnBand {
    double offset[kBandColumns];
    double shift[kBandColumns];
    std::uint32_t constant[kBandColumns];  // the pixel of lanes neither blended nor original
    std::uint32_t keep[kBandColumns];
    LaneBits mirrored;              // bit k: lane k's position is mirrored
    LaneBits blended;               // bit k: lane k blends source pixels (x, i) and (x, i + 1)
    LaneBits original;              // bit k: lane k is the source pixel at its own place (x, y)
    std::int32_t firstRow, endRow;  // the source rows the band's copy holds
};

// Rows [y0, y1) of a band: out[(y - y0) * outStride + k] for each lane k.
// The band's source pixels are a compact copy of its columns: source row r
// (band.firstRow <= r < band.endRow) at rows[(r - band.firstRow) * kBandColumns + k].  A blended lane
// reads only the rows its positions straddle, and the row below the last one
// never; an original lane reads row y; lanes that neither blend nor copy read
// nothing.
using BandRowsFunction = void (*)(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0,
                                  std::int32_t y1, PixelBGRA* out, std::ptrdiff_t outStride);

// Pixel by pixel; the kernel of builds without x86 vectors (built everywhere,
// so that the tests check it on x86 too).
void BandRowsScalar(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0, std::int32_t y1,
                    PixelBGRA* out, std::ptrdiff_t outStride);
#if PG_X86_VECTORS
void BandRowsSse2(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0, std::int32_t y1,
                  PixelBGRA* out, std::ptrdiff_t outStride);
void BandRowsAvx2(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0, std::int32_t y1,
                  PixelBGRA* out, std::ptrdiff_t outStride);
void BandRowsAvx512(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0, std::int32_t y1,
                    PixelBGRA* out, std::ptrdiff_t outStride);
// The AVX-512 kernel as 32-bit builds run it (their general rows fetch both
// neighbours afresh), callable in any build so that the tests check it.
void BandRowsAvx512Uncarried(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0,
                             std::int32_t y1, PixelBGRA* out, std::ptrdiff_t outStride);
#endif

// The vector kernels address a band's copy with 32-bit indices: images of
// more rows than this use the scalar kernel.
constexpr std::int32_t kBandRowLimit = 0x7FFFFFFF / (kBandColumns * 4) - 1;

// The kernel the column pass uses at `level` for an image of w x h pixels.
BandRowsFunction BandRowsFor(VectorLevel level, std::int32_t h);

}  // namespace shear_detail
