// The column pass: bands of sixteen neighbouring columns, each produced row
// by row from a compact copy of its source columns (column_band.h), sixteen
// bands side by side at a time.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "shear/column_band.h"
#include "shear/line_regions.h"
#include "shear/passes.h"
#include "shear/scratch.h"
#include "shear/shear_line.h"
#include "shear/vector_level.h"

using namespace shear_detail;

namespace {

// A strip of sixteen bands is produced a chunk of rows at a time, band after
// band: reads and writes then keep to stretches of 1 KiB of each row.  Each
// row of a tall image lies on a page of its own, so the wider the strip, the
// fewer times each page is looked up; sixteen bands measured faster than
// eight, and thirty-two no faster than sixteen.  Longer chunks let the
// kernels keep a band's weights over more rows (column_band.h).
constexpr int kStripBands = 16;
constexpr std::int32_t kChunkRows = 128;

std::uint32_t Bits(const PixelBGRA& pixel) {
    std::uint32_t bits;
    std::memcpy(&bits, &pixel, sizeof bits);
    return bits;
}

// What the pass needs to describe one band's lanes.
struct ColumnPassFrame {
    const PixelBGRA* source;
    std::int32_t w, h;
    ProcessRect rect;
    UndefinedAreaPolicy policy;
    UndefinedAreaMode mode;
    std::uint32_t outsideKeep;
    BandRowsFunction bandRows;
};

// One band of up to sixteen columns from `left` (lanes past them give zero
// pixels): its lanes (with the rows of its copy) and its columns' regions.
struct Band {
    ColumnBand lanes;
    RegionStarts starts[kBandColumns];
    std::int32_t left, columns;
};

// How the outside run of a mode that blends maps its positions: q = p + shift,
// or q = (shift - p) - 1 when mirrored (the samplers' Repeat and Fold).
bool OutsideMap(const ColumnPassFrame& frame, bool before, double& shift, bool& mirrored) {
    const double length = static_cast<double>(frame.h);
    if (frame.mode == UndefinedAreaMode::Repeat) {
        shift = before ? length : -length;
        mirrored = false;
        return true;
    }
    if (frame.mode == UndefinedAreaMode::Fold) {
        shift = before ? 0.0 : static_cast<double>(2 * frame.h);
        mirrored = true;
        return true;
    }
    return false;
}

// Lane k of `lanes` for a stretch of rows in which column x stays in `region`
// (a partial region only for row y, which it holds alone).
void DescribeLane(const ColumnPassFrame& frame, ColumnBand& lanes, int k, std::int32_t x, SampleRegion region,
                  std::int32_t y) {
    const LaneBits bit = LaneBits{1} << k;
    lanes.shift[k] = 0.0;
    lanes.keep[k] = kKeepAll;
    lanes.constant[k] = 0;
    if (region == Interior) {
        lanes.blended |= bit;
        return;
    }
    if (region == PartialBefore || region == PartialAfter) {
        const double p = static_cast<double>(y) + lanes.offset[k];
        lanes.constant[k] =
            Bits(ColumnSamplers[region][frame.policy.mode](frame.source, x, y, p, frame.w, frame.h, frame.policy));
        return;
    }
    const bool before = region == OutsideBefore;
    lanes.keep[k] = frame.outsideKeep;
    bool mirrored = false;
    if (OutsideMap(frame, before, lanes.shift[k], mirrored)) {
        lanes.blended |= bit;
        if (mirrored) lanes.mirrored |= bit;
        return;
    }
    switch (frame.mode) {
        case UndefinedAreaMode::EdgePixel:
            lanes.constant[k] = Bits(frame.source[static_cast<std::ptrdiff_t>(before ? 0 : frame.h - 1) * frame.w + x]);
            return;
        case UndefinedAreaMode::OriginalPixel:
            lanes.original |= bit;
            return;
        default:  // DrawingColour, BackgroundColour
            lanes.constant[k] = Bits(frame.policy.fill);
            return;
    }
}

// The source rows that rows [from, to) of a lane read, added to [first, end).
void AddRowsRead(const ColumnPassFrame& frame, double offset, double shift, bool mirrored, std::int32_t from,
                 std::int32_t to, std::int32_t& first, std::int32_t& end) {
    if (from >= to) return;
    auto row = [&](std::int32_t y) {
        const double p = static_cast<double>(y) + offset;
        return static_cast<std::int32_t>(mirrored ? (shift - p) - 1.0 : p + shift);
    };
    const std::int32_t a = row(from), b = row(to - 1);
    first = std::min(first, std::max(std::min(a, b), 0));
    end = std::max(end, std::min(std::max(a, b) + 2, frame.h));
}

// The band's source rows: those its blended lanes straddle and, in
// OriginalPixel mode, those of its outside runs.
void FindRowsRead(const ColumnPassFrame& frame, Band& band) {
    band.lanes.firstRow = frame.h;
    band.lanes.endRow = 0;
    const std::int32_t top = frame.rect.top, bottom = frame.rect.bottom;
    for (int k = 0; k < band.columns; ++k) {
        const RegionStarts& s = band.starts[k];
        const double offset = band.lanes.offset[k];
        AddRowsRead(frame, offset, 0.0, false, s.interior, s.partialAfter, band.lanes.firstRow, band.lanes.endRow);
        double shift = 0.0;
        bool mirrored = false;
        if (OutsideMap(frame, true, shift, mirrored)) {
            AddRowsRead(frame, offset, shift, mirrored, top, s.partialBefore, band.lanes.firstRow, band.lanes.endRow);
        }
        if (OutsideMap(frame, false, shift, mirrored)) {
            AddRowsRead(frame, offset, shift, mirrored, s.outsideAfter, bottom, band.lanes.firstRow, band.lanes.endRow);
        }
        if (frame.mode == UndefinedAreaMode::OriginalPixel && (top < s.partialBefore || s.outsideAfter < bottom)) {
            band.lanes.firstRow = std::min(band.lanes.firstRow, top);
            band.lanes.endRow = std::max(band.lanes.endRow, bottom);
        }
    }
    if (band.lanes.firstRow >= band.lanes.endRow) band.lanes.firstRow = band.lanes.endRow = 0;
}

// Copies each band's source rows into its block of `copies` (band b's at
// copies + b * copyPixels), sixteen pixels a row.  The strip's bands are
// copied row by row together, so that each source row is read as one
// stretch of the strip's width.
void CopyStripRows(const ColumnPassFrame& frame, const Band* bands, int bandCount, PixelBGRA* copies,
                   std::ptrdiff_t copyPixels) {
    std::int32_t first = frame.h, end = 0;
    for (int b = 0; b < bandCount; ++b) {
        if (bands[b].lanes.firstRow < bands[b].lanes.endRow) {
            first = std::min(first, bands[b].lanes.firstRow);
            end = std::max(end, bands[b].lanes.endRow);
        }
    }
    // Each row lies a whole pitch from the last, on a page of its own, where
    // the hardware's prefetching does not follow: the rows are asked for some
    // way ahead, as data read once, so that they do not push the copies the
    // kernels read next out of the caches.
    constexpr std::int32_t kAhead = 8;
    const std::ptrdiff_t stride = frame.w;
    const std::int32_t stripLeft = bands[0].left;
    const std::int32_t stripWidth = bands[bandCount - 1].left + bands[bandCount - 1].columns - stripLeft;
    for (std::int32_t r = first; r < end; ++r) {
        const PixelBGRA* in = frame.source + static_cast<std::ptrdiff_t>(r) * stride + stripLeft;
        if (r + kAhead < end) {
            for (std::int32_t k = 0; k < stripWidth; k += 16) __builtin_prefetch(in + kAhead * stride + k, 0, 0);
        }
        for (int b = 0; b < bandCount; ++b) {
            const Band& band = bands[b];
            if (r < band.lanes.firstRow || r >= band.lanes.endRow) continue;
            PixelBGRA* to =
                copies + b * copyPixels + static_cast<std::ptrdiff_t>(r - band.lanes.firstRow) * kBandColumns;
            if (band.columns == kBandColumns) {
                std::memcpy(to, in + (band.left - stripLeft), kBandColumns * sizeof(PixelBGRA));
            } else {
                std::memcpy(to, in + (band.left - stripLeft),
                            static_cast<std::size_t>(band.columns) * sizeof(PixelBGRA));
            }
        }
    }
}

// Rows [from, to) of the band into out (row stride outStride, first row
// `from`), cut where any of its columns changes region.
void ProduceBandRows(const ColumnPassFrame& frame, Band& band, const PixelBGRA* copy, std::int32_t from,
                     std::int32_t to, PixelBGRA* out, std::ptrdiff_t outStride) {
    ColumnBand& lanes = band.lanes;
    for (std::int32_t y = from; y < to;) {
        lanes.mirrored = lanes.blended = lanes.original = 0;
        std::int32_t end = to;
        for (int k = 0; k < band.columns; ++k) {
            const RegionStarts& s = band.starts[k];
            SampleRegion region;
            std::int32_t regionEnd;
            if (y < s.partialBefore) {
                region = OutsideBefore, regionEnd = s.partialBefore;
            } else if (y < s.interior) {
                region = PartialBefore, regionEnd = y + 1;
            } else if (y < s.partialAfter) {
                region = Interior, regionEnd = s.partialAfter;
            } else if (y < s.outsideAfter) {
                region = PartialAfter, regionEnd = y + 1;
            } else {
                region = OutsideAfter, regionEnd = to;
            }
            end = std::min(end, regionEnd);
            DescribeLane(frame, lanes, k, band.left + k, region, y);
        }
        frame.bandRows(lanes, copy, frame.h, y, end, out + static_cast<std::ptrdiff_t>(y - from) * outStride,
                       outStride);
        y = end;
    }
}

// The band column by column, pixel by pixel: when no scratch memory could be had.
void PlainBand(const ColumnPassFrame& frame, const Band& band, PixelBGRA* destination) {
    for (int k = 0; k < band.columns; ++k) {
        const std::int32_t x = band.left + k;
        auto sample = [&](SampleRegion region, std::int32_t y, double p) {
            return region == Interior ? SampleColumnInterior(frame.source, x, y, p, frame.w, frame.h, frame.policy)
                                      : ColumnSamplers[region][frame.policy.mode](frame.source, x, y, p, frame.w,
                                                                                  frame.h, frame.policy);
        };
        PlainLine(frame.h, band.lanes.offset[k], frame.rect.top, frame.rect.bottom, frame.policy.transparent,
                  destination + x, frame.w, sample);
    }
}

}  // namespace

// Progress and the strips: a strip's columns are all computed before any of
// them is reported, and then reported one by one in order.  So every column
// is complete when its report is made, as in a column-by-column loop; what a
// callback may additionally see is the later columns of the same strip
// already written.  The sequence of reports itself is exactly one per column,
// in order, with the same values.
void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w,
                  std::int32_t h, const ProgressSink& sink, const ParallelogramSettings& settings) {
    if (!IsValidShape(settings.shape)) return;
    const double amplitude = ShearAmplitude(rect.bottom - rect.top, settings.dimension);
    if (rect.left >= rect.right) return;
    const std::int32_t count = rect.right - rect.left;
    if (rect.top >= rect.bottom) {
        // Columns without pixels: nothing to write, but each column is still a line done.
        for (std::int32_t line = 0; line < count; ++line) ReportLine(sink, line, count);
        return;
    }
    const OffsetProfile profile = ProfileOf(static_cast<ShapeKind>(settings.shape));
    ColumnPassFrame frame{source,
                          w,
                          h,
                          rect,
                          SanePolicy(settings.policy),
                          UndefinedAreaMode::EdgePixel,
                          kKeepAll,
                          BandRowsFor(ActiveVectorLevel(), h)};
    frame.mode = static_cast<UndefinedAreaMode>(frame.policy.mode);
    frame.outsideKeep = frame.policy.transparent != 0 ? kClearAlpha : kKeepAll;

    // One block: the copies of a strip's bands' source rows, and the rows of
    // a band narrower than sixteen columns (at either end of the rectangle),
    // a few at a time, which are produced there and copied out.
    const std::ptrdiff_t copyPixels =
        static_cast<std::ptrdiff_t>(PixelBytes(static_cast<std::uint64_t>(kBandColumns) * h) / sizeof(PixelBGRA));
    const std::uint64_t copyBytes = static_cast<std::uint64_t>(copyPixels) * sizeof(PixelBGRA) * kStripBands;
    const Scratch scratch(copyBytes + PixelBytes(static_cast<std::uint64_t>(kBandColumns) * kChunkRows));
    PixelBGRA* const copies = scratch.Ok() ? reinterpret_cast<PixelBGRA*>(scratch.Aligned()) : nullptr;
    PixelBGRA* const narrow = scratch.Ok() ? reinterpret_cast<PixelBGRA*>(scratch.Aligned() + copyBytes) : nullptr;

    // The bands after the first start on a 64-byte boundary of the first
    // produced row (of every row, when the row pitch is whole 64-byte
    // blocks), so that each of their rows is one whole cache line.  Ordinary
    // stores: writing past the cache measured slower here, at every level.
    const std::uintptr_t firstAddress =
        reinterpret_cast<std::uintptr_t>(destination + static_cast<std::ptrdiff_t>(rect.top) * w + rect.left);
    std::int32_t firstBand = kBandColumns;
    int firstStripBands = kStripBands;
    if (firstAddress % sizeof(PixelBGRA) == 0) {
        if (firstAddress % 64 != 0) firstBand = static_cast<std::int32_t>((64 - firstAddress % 64) / sizeof(PixelBGRA));
        // Likewise the strips after the first start on a boundary of the
        // strip's width in bytes, so that each strip's piece of a row lies
        // within one page: a strip across two pages looks up twice as many
        // pages for each of its rows, and the pass measured up to 10 %
        // slower for images that start 64 bytes into a page.
        constexpr std::uintptr_t kStripBytes = kStripBands * kBandColumns * sizeof(PixelBGRA);
        const std::uintptr_t afterFirstBand = firstAddress + firstBand * sizeof(PixelBGRA);
        const std::uintptr_t toBoundary = (kStripBytes - afterFirstBand % kStripBytes) % kStripBytes;
        firstStripBands = 1 + static_cast<int>(toBoundary / (kBandColumns * sizeof(PixelBGRA)));
    }

    Band bands[kStripBands];
    for (std::int32_t stripLeft = rect.left, stripRight = rect.left; stripLeft < rect.right; stripLeft = stripRight) {
        // The strip's bands, their columns' offsets, regions and source rows.
        int bandCount = 0;
        const int stripBands = stripLeft == rect.left ? firstStripBands : kStripBands;
        for (; stripRight < rect.right && bandCount < stripBands; ++bandCount) {
            Band& band = bands[bandCount];
            band.lanes = ColumnBand{};
            band.left = stripRight;
            band.columns = std::min(stripRight == rect.left ? firstBand : kBandColumns, rect.right - stripRight);
            for (int k = 0; k < band.columns; ++k) {
                band.lanes.offset[k] = profile(band.left + k - rect.left, amplitude, count);
                band.starts[k] = FindRegions(band.lanes.offset[k], rect.top, rect.bottom, h);
            }
            FindRowsRead(frame, band);
            stripRight += band.columns;
        }
        if (copies == nullptr) {
            for (int b = 0; b < bandCount; ++b) PlainBand(frame, bands[b], destination);
        } else {
            CopyStripRows(frame, bands, bandCount, copies, copyPixels);
            // A few rows at a time, band after band: the strip's rows are
            // written as neighbouring cache lines close together in time,
            // which memory takes much faster than lines a pitch apart.
            for (std::int32_t from = rect.top; from < rect.bottom; from += kChunkRows) {
                const std::int32_t to = std::min(from + kChunkRows, rect.bottom);
                for (int b = 0; b < bandCount; ++b) {
                    const Band& band = bands[b];
                    const PixelBGRA* const copy = copies + b * copyPixels;
                    PixelBGRA* const out = destination + static_cast<std::ptrdiff_t>(from) * w + band.left;
                    if (band.columns == kBandColumns) {
                        ProduceBandRows(frame, bands[b], copy, from, to, out, w);
                        continue;
                    }
                    ProduceBandRows(frame, bands[b], copy, from, to, narrow, kBandColumns);
                    for (std::int32_t y = from; y < to; ++y) {
                        std::memcpy(out + static_cast<std::ptrdiff_t>(y - from) * w,
                                    narrow + static_cast<std::ptrdiff_t>(y - from) * kBandColumns,
                                    static_cast<std::size_t>(band.columns) * sizeof(PixelBGRA));
                    }
                }
            }
        }
        for (std::int32_t x = stripLeft; x < stripRight; ++x) ReportLine(sink, x - rect.left, count);
    }
}
