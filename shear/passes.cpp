// The row and column shear passes.
//
// Both passes produce exactly what the straightforward per-pixel loop
// produces (classify p = c + offset, call the sampler of its region, clear
// alpha in the outside regions when transparent), only faster:
//
// * Along one line, p grows with the coordinate, so the five regions are five
//   consecutive runs.  Their limits are found once per line by bisection on
//   the very same comparisons ClassifyPosition makes, and each run is then
//   produced by a loop that knows its region and mode.
// * p is still computed per pixel, exactly as c + offset: its fractional part
//   is not constant along a line once rounding to double comes in.
// * The blend runs on SSE2 doubles, one rounding per operation as before.
// * The column pass walks memory by rows: it takes a strip of columns and
//   sweeps it in short tiles, top to bottom.
// The two partial regions hold at most a couple of pixels per line; they go
// through the shared sampler tables unchanged.
#include "shear/passes.h"

#include <algorithm>
#include <cstddef>

#include "shear/blend_simd.h"
#include "shear/vector_level.h"

#if defined(__GNUC__) && defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#define PG_AVX2_PATH 1
#include <immintrin.h>
#endif

namespace {

using shear_detail::BlendPair;
using shear_detail::FromBits;
using shear_detail::LoadAdjacentPair;
using shear_detail::LoadPair;
using shear_detail::ToBits;

constexpr std::uint32_t kKeepAll = 0xFFFFFFFFu;
constexpr std::uint32_t kClearAlpha = 0x00FFFFFFu;

void ReportLine(const ProgressSink& sink, std::int32_t line, std::int32_t count) {
    if (sink.callback != nullptr) {
        // 64-bit product: the 32-bit one would overflow past 214748 lines.
        const auto done = static_cast<std::int32_t>(static_cast<std::int64_t>(line) * kProgressTotal / count);
        sink.callback(done, kProgressTotal, sink.userData);
    }
}

// ---- where the regions of a line begin ---------------------------------------

// The first coordinate of each region within [from, to), for one line; the
// OutsideBefore run starts at `from`, the OutsideAfter run ends at `to`.  A
// region absent from the line has an empty run.
struct RegionStarts {
    std::int32_t partialBefore, interior, partialAfter, outsideAfter;

    // The same runs restricted to [from, to).
    RegionStarts Within(std::int32_t from, std::int32_t to) const {
        auto clamp = [&](std::int32_t c) { return std::min(std::max(c, from), to); };
        return RegionStarts{clamp(partialBefore), clamp(interior), clamp(partialAfter), clamp(outsideAfter)};
    }
};

// The first c in [from, to] for which holds(c + offset), given that it holds
// from some c on: c + offset, rounded, never decreases as c grows.
template <class Predicate>
std::int32_t FirstWhere(std::int32_t from, std::int32_t to, double offset, Predicate holds) {
    while (from < to) {
        const std::int32_t mid = from + (to - from) / 2;
        if (holds(static_cast<double>(mid) + offset)) {
            to = mid;
        } else {
            from = mid + 1;
        }
    }
    return from;
}

// The comparisons are those of ClassifyPosition, so every pixel lands in the
// region that ClassifyPosition would give it.
RegionStarts FindRegions(double offset, std::int32_t from, std::int32_t to, std::int32_t n) {
    const double length = static_cast<double>(n);
    const double last = length - 1.0;
    RegionStarts starts;
    starts.partialBefore = FirstWhere(from, to, offset, [](double p) { return p > -1.0; });
    starts.interior = FirstWhere(starts.partialBefore, to, offset, [](double p) { return p >= 0.0; });
    starts.partialAfter = FirstWhere(starts.interior, to, offset, [last](double p) { return p > last; });
    starts.outsideAfter =
        FirstWhere(starts.partialAfter, to, offset, [length](double p) { return p >= length; });
    return starts;
}

// ---- the two kinds of line ----------------------------------------------------

// Everything a pass hands down to the runs of one line.
struct Image {
    const PixelBGRA* source;
    PixelBGRA* destination;
    std::int32_t w, h;
    const UndefinedAreaPolicy* policy;
};

// Row y: coordinate c along it is the column.
struct RowLine {
    const Image& image;
    std::int32_t y;
    const PixelBGRA* in;  // source row y
    PixelBGRA* out;       // destination row y

    RowLine(const Image& img, std::int32_t row)
        : image(img), y(row), in(img.source + static_cast<std::ptrdiff_t>(row) * img.w),
          out(img.destination + static_cast<std::ptrdiff_t>(row) * img.w) {}

    std::int32_t Length() const { return image.w; }
    std::uint32_t Source(std::int32_t k) const { return ToBits(in[k]); }
    shear_detail::PixelPair Neighbours(std::int32_t k) const { return LoadAdjacentPair(in + k); }
    void Store(std::int32_t c, std::uint32_t bits) const { out[c] = FromBits(bits); }
    PixelBGRA EdgeSample(SampleRegion region, std::int32_t c, double p) const {
        return RowSamplers[region][image.policy->mode](image.source, c, y, p, image.w, image.h,
                                                        *image.policy);
    }
};

// Column x: coordinate c along it is the row.
struct ColumnLine {
    const Image& image;
    std::int32_t x;
    const PixelBGRA* in;  // source pixel (x, 0)
    PixelBGRA* out;       // destination pixel (x, 0)

    ColumnLine(const Image& img, std::int32_t column)
        : image(img), x(column), in(img.source + column), out(img.destination + column) {}

    std::ptrdiff_t Step() const { return image.w; }
    std::int32_t Length() const { return image.h; }
    std::uint32_t Source(std::int32_t k) const { return ToBits(in[k * Step()]); }
    shear_detail::PixelPair Neighbours(std::int32_t k) const {
        const PixelBGRA* first = in + k * Step();
        return LoadPair(first, first + Step());
    }
    void Store(std::int32_t c, std::uint32_t bits) const { out[c * Step()] = FromBits(bits); }
    PixelBGRA EdgeSample(SampleRegion region, std::int32_t c, double p) const {
        return ColumnSamplers[region][image.policy->mode](image.source, x, c, p, image.w, image.h,
                                                           *image.policy);
    }
};

// ---- runs ---------------------------------------------------------------------

// The interior sampler over [from, to), at the position positionOf(c) gives
// for each c: i = trunc(q), t = (i + 1) - q, blend of pixels i and i + 1.  At
// q = n - 1 exactly t is 1 and the result is the last pixel, whose missing
// neighbour is not read.
template <class Line, class Position>
void InteriorRun(const Line& line, std::int32_t from, std::int32_t to, Position positionOf,
                 std::uint32_t keep) {
    const std::int32_t n = line.Length();
    for (std::int32_t c = from; c < to; ++c) {
        const double q = positionOf(c);
        const std::int32_t i = static_cast<std::int32_t>(q);
        std::uint32_t pixel;
        if (i + 1 < n) {
            const double t = static_cast<double>(i + 1) - q;
            pixel = BlendPair(line.Neighbours(i), t);
        } else {
            pixel = line.Source(i);
        }
        line.Store(c, pixel & keep);
    }
}

#if PG_AVX2_PATH

// The same blend with one pixel's four channels in one AVX2 register.
__attribute__((target("avx2"))) inline std::uint32_t BlendPairAvx2(__m128i pair, __m256d t, __m256d u) {
    const __m256i channels = _mm256_cvtepu8_epi32(pair);  // first b g r a, second b g r a
    const __m256d first = _mm256_cvtepi32_pd(_mm256_castsi256_si128(channels));
    const __m256d second = _mm256_cvtepi32_pd(_mm256_extracti128_si256(channels, 1));
    const __m256d sum = _mm256_add_pd(_mm256_mul_pd(first, t), _mm256_mul_pd(second, u));
    __m128i bytes = _mm256_cvttpd_epi32(sum);
    bytes = _mm_packs_epi32(bytes, bytes);
    bytes = _mm_packus_epi16(bytes, bytes);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
}

// InteriorRun four pixels at a time: the positions, indices and weights of
// four pixels are computed side by side (the same operations, lane by lane),
// then each pixel is blended in one register.  A group of four that reaches
// the last pixel of the line goes through the plain loop.
template <class Line, class Position>
__attribute__((target("avx2"))) void InteriorRunAvx2(const Line& line, std::int32_t from, std::int32_t to,
                                                     Position positionOf, std::uint32_t keep) {
    const std::int32_t n = line.Length();
    const __m128i lastIndex = _mm_set1_epi32(n - 1);
    alignas(32) double weights[4], complements[4];
    alignas(16) std::int32_t indices[4];
    std::int32_t c = from;
    for (; c + 4 <= to; c += 4) {
        const __m256d q = _mm256_set_pd(positionOf(c + 3), positionOf(c + 2), positionOf(c + 1), positionOf(c));
        const __m128i i = _mm256_cvttpd_epi32(q);
        if (_mm_movemask_epi8(_mm_cmplt_epi32(i, lastIndex)) != 0xFFFF) {
            _mm256_zeroupper();
            InteriorRun(line, c, c + 4, positionOf, keep);
            continue;
        }
        const __m256d t = _mm256_sub_pd(_mm256_cvtepi32_pd(_mm_add_epi32(i, _mm_set1_epi32(1))), q);
        const __m256d u = _mm256_sub_pd(_mm256_set1_pd(1.0), t);
        _mm256_store_pd(weights, t);
        _mm256_store_pd(complements, u);
        _mm_store_si128(reinterpret_cast<__m128i*>(indices), i);
        for (int k = 0; k < 4; ++k) {
            const std::uint32_t pixel = BlendPairAvx2(line.Neighbours(indices[k]), _mm256_broadcast_sd(&weights[k]),
                                                      _mm256_broadcast_sd(&complements[k]));
            line.Store(c + k, pixel & keep);
        }
    }
    // The rest of the engine is SSE2 code; with the upper halves of the wide
    // registers left dirty, every SSE2 instruction would pay for it.
    _mm256_zeroupper();
    InteriorRun(line, c, to, positionOf, keep);
}

#endif  // PG_AVX2_PATH

VectorLevel gVectorCap = VectorLevel::Avx2;

// The interior sampler over a run, with the widest vectors available.
template <class Line, class Position>
void SampleRun(const Line& line, std::int32_t from, std::int32_t to, Position positionOf, std::uint32_t keep) {
#if PG_AVX2_PATH
    if (ActiveVectorLevel() == VectorLevel::Avx2) {
        InteriorRunAvx2(line, from, to, positionOf, keep);
        return;
    }
#endif
    InteriorRun(line, from, to, positionOf, keep);
}

template <class Line>
void ConstantRun(const Line& line, std::int32_t from, std::int32_t to, std::uint32_t bits) {
    for (std::int32_t c = from; c < to; ++c) line.Store(c, bits);
}

// Each output pixel takes the unshifted source pixel at its own position.
template <class Line>
void OwnPixelRun(const Line& line, std::int32_t from, std::int32_t to, std::uint32_t keep) {
    for (std::int32_t c = from; c < to; ++c) line.Store(c, line.Source(c) & keep);
}

// The partial regions: a pixel or two per line, through the shared tables.
template <class Line>
void PartialRun(const Line& line, SampleRegion region, std::int32_t from, std::int32_t to, double offset) {
    for (std::int32_t c = from; c < to; ++c) {
        const double p = static_cast<double>(c) + offset;
        line.Store(c, ToBits(line.EdgeSample(region, c, p)));
    }
}

// One of the two outside regions, mode by mode as in the sampler tables.
template <class Line>
void OutsideRun(const Line& line, SampleRegion region, std::int32_t from, std::int32_t to, double offset) {
    if (from >= to) return;
    const UndefinedAreaPolicy& policy = *line.image.policy;
    const std::uint32_t keep = policy.transparent != 0 ? kClearAlpha : kKeepAll;
    const bool before = region == OutsideBefore;
    const std::int32_t n = line.Length();
    const double length = static_cast<double>(n);
    switch (policy.mode) {
        case EdgePixel:
            ConstantRun(line, from, to, line.Source(before ? 0 : n - 1) & keep);
            return;
        case OriginalPixel:
            OwnPixelRun(line, from, to, keep);
            return;
        case Repeat:
            if (before) {
                SampleRun(line, from, to, [=](std::int32_t c) { return (static_cast<double>(c) + offset) + length; }, keep);
            } else {
                SampleRun(line, from, to, [=](std::int32_t c) { return (static_cast<double>(c) + offset) - length; }, keep);
            }
            return;
        case Fold:
            if (before) {
                SampleRun(line, from, to, [=](std::int32_t c) { return -(static_cast<double>(c) + offset) - 1.0; }, keep);
            } else {
                const double twice = static_cast<double>(2 * n);
                SampleRun(line, from, to, [=](std::int32_t c) { return (twice - (static_cast<double>(c) + offset)) - 1.0; }, keep);
            }
            return;
        default:  // DrawingColour, BackgroundColour
            ConstantRun(line, from, to, ToBits(policy.fill) & keep);
            return;
    }
}

// Pixels [from, to) of one line, whose regions start at `starts` (already
// restricted to [from, to)).
template <class Line>
void ProduceRuns(const Line& line, std::int32_t from, std::int32_t to, double offset, const RegionStarts& starts) {
    OutsideRun(line, OutsideBefore, from, starts.partialBefore, offset);
    PartialRun(line, PartialBefore, starts.partialBefore, starts.interior, offset);
    SampleRun(line, starts.interior, starts.partialAfter,
                [offset](std::int32_t c) { return static_cast<double>(c) + offset; }, kKeepAll);
    PartialRun(line, PartialAfter, starts.partialAfter, starts.outsideAfter, offset);
    OutsideRun(line, OutsideAfter, starts.outsideAfter, to, offset);
}

// Callers replace an unknown mode by EdgePixel before it reaches the engine;
// doing it here too keeps a stray value from indexing past the tables.
UndefinedAreaPolicy SanePolicy(const UndefinedAreaPolicy& policy) {
    UndefinedAreaPolicy sane = policy;
    if (sane.mode < 0 || sane.mode >= kUndefinedAreaModeCount) sane.mode = EdgePixel;
    return sane;
}

// The column pass works on strips of this many columns, each swept from top
// to bottom in tiles of kTileRows rows: every tile reads and writes short
// pieces of consecutive rows, so memory is walked row by row.
constexpr std::int32_t kStripColumns = 64;
constexpr std::int32_t kTileRows = 32;

}  // namespace

VectorLevel DetectedVectorLevel() {
#if PG_AVX2_PATH
    // Checks the operating system's support for the wide registers too.
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    if (avx2) return VectorLevel::Avx2;
#endif
    return VectorLevel::Baseline;
}

VectorLevel ActiveVectorLevel() {
    const VectorLevel detected = DetectedVectorLevel();
    return detected == VectorLevel::Avx2 && gVectorCap == VectorLevel::Avx2 ? VectorLevel::Avx2
                                                                            : VectorLevel::Baseline;
}

void LimitVectorLevel(VectorLevel cap) { gVectorCap = cap; }

void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
               std::int32_t w, std::int32_t h, const ProgressSink& sink,
               const ParallelogramSettings& settings) {
    const double amplitude = ShearAmplitude(rect.right - rect.left, settings.dimension);
    if (rect.top >= rect.bottom) return;
    const std::int32_t count = rect.bottom - rect.top;
    const OffsetProfile profile = OffsetProfiles[settings.shape];
    const UndefinedAreaPolicy policy = SanePolicy(settings.policy);
    const Image image{source, destination, w, h, &policy};

    for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        const double offset = profile(y - rect.top, amplitude, count);
        const RegionStarts starts = FindRegions(offset, rect.left, rect.right, w);
        ProduceRuns(RowLine(image, y), rect.left, rect.right, offset, starts);
        ReportLine(sink, y - rect.top, count);
    }
}

// Progress and the column strips: a strip's columns are all computed before
// any of them is reported, and then reported one by one in order.  So every
// column is complete when its report is made, as in a column-by-column loop;
// what a callback may additionally see is the later columns of the same strip
// already written.  The sequence of reports itself is exactly one per column,
// in order, with the same values.
void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
                  std::int32_t w, std::int32_t h, const ProgressSink& sink,
                  const ParallelogramSettings& settings) {
    const double amplitude = ShearAmplitude(rect.bottom - rect.top, settings.dimension);
    if (rect.left >= rect.right) return;
    const std::int32_t count = rect.right - rect.left;
    const OffsetProfile profile = OffsetProfiles[settings.shape - LeftAndRight];
    const UndefinedAreaPolicy policy = SanePolicy(settings.policy);
    const Image image{source, destination, w, h, &policy};

    double offsets[kStripColumns];
    RegionStarts starts[kStripColumns];
    for (std::int32_t stripLeft = rect.left; stripLeft < rect.right; stripLeft += kStripColumns) {
        const std::int32_t columns = std::min(kStripColumns, rect.right - stripLeft);
        for (std::int32_t k = 0; k < columns; ++k) {
            offsets[k] = profile(stripLeft + k - rect.left, amplitude, count);
            starts[k] = FindRegions(offsets[k], rect.top, rect.bottom, h);
        }
        for (std::int32_t tileTop = rect.top; tileTop < rect.bottom; tileTop += kTileRows) {
            const std::int32_t tileBottom = std::min(tileTop + kTileRows, rect.bottom);
            for (std::int32_t k = 0; k < columns; ++k) {
                ProduceRuns(ColumnLine(image, stripLeft + k), tileTop, tileBottom, offsets[k],
                            starts[k].Within(tileTop, tileBottom));
            }
        }
        for (std::int32_t k = 0; k < columns; ++k) ReportLine(sink, stripLeft + k - rect.left, count);
    }
}
