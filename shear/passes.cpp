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
// * The interior run and the Repeat and Fold outside runs (whose positions
//   are mapped back into the line) go through the vector line kernels of
//   line_kernel.h; the two partial regions hold at most a couple of pixels
//   per line and go through the shared sampler tables unchanged.
// * The column pass turns strips of columns into contiguous lines by
//   transposing them, runs the same line code on them, and transposes the
//   result back, so memory is walked row by row.
#include "shear/passes.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "shear/line_kernel.h"
#include "shear/vector_level.h"

#if defined(__GNUC__) && defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#define PG_X86_VECTORS 1
#include <emmintrin.h>
#endif

namespace {

using shear_detail::BlendSpan;
using shear_detail::PositionMap;
using shear_detail::WideScratchBytes;

constexpr std::uint32_t kKeepAll = 0xFFFFFFFFu;
constexpr std::uint32_t kClearAlpha = 0x00FFFFFFu;

std::uint32_t ToBits(const PixelBGRA& pixel) {
    std::uint32_t bits;
    std::memcpy(&bits, &pixel, sizeof bits);
    return bits;
}

PixelBGRA FromBits(std::uint32_t bits) {
    PixelBGRA pixel;
    std::memcpy(&pixel, &bits, sizeof pixel);
    return pixel;
}

// The line kernels write whole aligned blocks of output with non-temporal
// stores; this makes them visible to everyone before the caller is told
// about the pixels they wrote.
void FinishStreaming() {
#if PG_X86_VECTORS
    _mm_sfence();
#endif
}

void ReportLine(const ProgressSink& sink, std::int32_t line, std::int32_t count) {
    if (sink.callback != nullptr) {
        FinishStreaming();
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

// ---- scratch memory -------------------------------------------------------------

// One block of memory per pass call, 64-byte aligned, or none when the
// allocation fails (the pass then takes the plain per-pixel route).
class Scratch {
public:
    explicit Scratch(std::uint64_t bytes) {
        if (bytes + 64 <= static_cast<std::uint64_t>(static_cast<std::size_t>(-1) / 2)) {
            raw_ = new (std::nothrow) unsigned char[static_cast<std::size_t>(bytes) + 64];
        }
    }
    ~Scratch() { delete[] raw_; }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool Ok() const { return raw_ != nullptr; }
    // The block, starting at a 64-byte boundary.
    unsigned char* Aligned() const {
        const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(raw_);
        return raw_ + ((64 - address % 64) % 64);
    }

private:
    unsigned char* raw_ = nullptr;
};

// Aligned room for `pixels` pixels, rounded up to whole 64-byte blocks.
std::uint64_t PixelBytes(std::uint64_t pixels) { return (pixels * sizeof(PixelBGRA) + 63) / 64 * 64; }

// ---- one line -------------------------------------------------------------------

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
bool OutsideMap(std::int32_t mode, bool before, PositionMap& map) {
    if (mode == Repeat) {
        map = before ? PositionMap::AddLength : PositionMap::SubtractLength;
        return true;
    }
    if (mode == Fold) {
        map = before ? PositionMap::MirrorBefore : PositionMap::MirrorAfter;
        return true;
    }
    return false;
}

void FillRun(PixelBGRA* out, std::int32_t count, std::uint32_t bits) {
    const PixelBGRA pixel = FromBits(bits);
    std::fill(out, out + count, pixel);
}

// The outside run [from, to) of a mode that does not blend.
void ConstantOutsideRun(const Line& line, const UndefinedAreaPolicy& policy, bool before, std::int32_t from,
                        std::int32_t to, std::uint32_t keep) {
    PixelBGRA* out = line.out + (from - line.from);
    switch (policy.mode) {
        case EdgePixel:
            FillRun(out, to - from, ToBits(line.in[before ? 0 : line.n - 1]) & keep);
            return;
        case OriginalPixel:
            for (std::int32_t c = from; c < to; ++c) out[c - from] = FromBits(ToBits(line.in[c]) & keep);
            return;
        default:  // DrawingColour, BackgroundColour
            FillRun(out, to - from, ToBits(policy.fill) & keep);
            return;
    }
}

template <class Partial>
void ShearLine(const Line& line, const UndefinedAreaPolicy& policy, VectorLevel level, double* wide,
               Partial partial) {
    const RegionStarts starts = FindRegions(line.offset, line.from, line.to, line.n);
    const std::uint32_t outsideKeep = policy.transparent != 0 ? kClearAlpha : kKeepAll;

    // The runs that blend: the interior, and the outside runs of Repeat and Fold.
    BlendedRun spans[3];
    int spanCount = 0;
    PositionMap map;
    const bool blendBefore = OutsideMap(policy.mode, true, map);
    if (blendBefore && line.from < starts.partialBefore) spans[spanCount++] = {map, line.from, starts.partialBefore, outsideKeep};
    if (starts.interior < starts.partialAfter) spans[spanCount++] = {PositionMap::Identity, starts.interior, starts.partialAfter, kKeepAll};
    const bool blendAfter = OutsideMap(policy.mode, false, map);
    if (blendAfter && starts.outsideAfter < line.to) spans[spanCount++] = {map, starts.outsideAfter, line.to, outsideKeep};

    for (int s = 0; s < spanCount; ++s) {
        BlendSpan(level, spans[s].map, line.in, line.n, line.offset, spans[s].from, spans[s].to, spans[s].keep,
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

// ---- transposition ----------------------------------------------------------------

// dst[k * dstStride + r] = src[r * srcStride + k] for r < rows, k < columns,
// in 4 x 4 blocks.  The blocks are taken row block by row block of the
// source when `bySourceRows`, else column block by column block, so that the
// side that lives in the large image is walked along its rows.
void Transpose(const PixelBGRA* src, std::ptrdiff_t srcStride, std::int32_t rows, std::int32_t columns,
               PixelBGRA* dst, std::ptrdiff_t dstStride, bool bySourceRows) {
    const std::int32_t rows4 = rows & ~3, columns4 = columns & ~3;
    // Into the image, when every piece is aligned, the pieces go past the
    // cache with non-temporal stores: an ordinary store would first fetch
    // each destination line it writes, doubling the memory traffic.  (The
    // destination rows are then not asked for ahead either.)  The pass calls
    // FinishStreaming before it reports the columns written.
    const bool stream = !bySourceRows && reinterpret_cast<std::uintptr_t>(dst) % 16 == 0 && dstStride % 4 == 0;
    auto block = [&](std::int32_t r, std::int32_t k) {
#if PG_X86_VECTORS
        const PixelBGRA* s = src + r * srcStride + k;
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + srcStride));
        const __m128i a2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * srcStride));
        const __m128i a3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * srcStride));
        const __m128i t0 = _mm_unpacklo_epi32(a0, a1), t1 = _mm_unpacklo_epi32(a2, a3);
        const __m128i t2 = _mm_unpackhi_epi32(a0, a1), t3 = _mm_unpackhi_epi32(a2, a3);
        PixelBGRA* d = dst + k * dstStride + r;
        if (stream) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi64(t0, t1));
            _mm_stream_si128(reinterpret_cast<__m128i*>(d + dstStride), _mm_unpackhi_epi64(t0, t1));
            _mm_stream_si128(reinterpret_cast<__m128i*>(d + 2 * dstStride), _mm_unpacklo_epi64(t2, t3));
            _mm_stream_si128(reinterpret_cast<__m128i*>(d + 3 * dstStride), _mm_unpackhi_epi64(t2, t3));
            return;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi64(t0, t1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + dstStride), _mm_unpackhi_epi64(t0, t1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * dstStride), _mm_unpacklo_epi64(t2, t3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * dstStride), _mm_unpackhi_epi64(t2, t3));
#else
        for (std::int32_t i = 0; i < 4; ++i)
            for (std::int32_t j = 0; j < 4; ++j) dst[(k + j) * dstStride + r + i] = src[(r + i) * srcStride + k + j];
#endif
    };
    // The image side is walked a few rows at a time, each row on a page of
    // its own: asking for the rows some way ahead hides the memory latency
    // that the hardware's own prefetching (which stays within a page) leaves.
    constexpr std::int32_t kAhead = 8;
    if (bySourceRows) {
        for (std::int32_t r = 0; r < rows4; r += 4) {
            for (std::int32_t ahead = r + kAhead; ahead < std::min(r + kAhead + 4, rows); ++ahead) {
                for (std::int32_t k = 0; k < columns; k += 16) __builtin_prefetch(src + ahead * srcStride + k, 0, 3);
            }
            for (std::int32_t k = 0; k < columns4; k += 4) block(r, k);
        }
    } else {
        for (std::int32_t k = 0; k < columns4; k += 4) {
            if (!stream) for (std::int32_t ahead = k + kAhead; ahead < std::min(k + kAhead + 4, columns); ++ahead) {
                for (std::int32_t r = 0; r < rows; r += 16) __builtin_prefetch(dst + ahead * dstStride + r, 1, 3);
            }
            for (std::int32_t r = 0; r < rows4; r += 4) block(r, k);
        }
    }
    // The ragged edges, one pixel at a time.
    for (std::int32_t r = 0; r < rows; ++r) {
        for (std::int32_t k = r < rows4 ? columns4 : 0; k < columns; ++k) dst[k * dstStride + r] = src[r * srcStride + k];
    }
}

// Callers replace an unknown mode by EdgePixel before it reaches the engine;
// doing it here too keeps a stray value from indexing past the tables.
UndefinedAreaPolicy SanePolicy(const UndefinedAreaPolicy& policy) {
    UndefinedAreaPolicy sane = policy;
    if (sane.mode < 0 || sane.mode >= kUndefinedAreaModeCount) sane.mode = EdgePixel;
    return sane;
}

// The column pass works on strips of this many columns: each source row
// contributes two whole cache lines to the strip, and a strip's transposed
// columns and produced columns (512 KB each for 4096 rows) stay in the
// second-level cache, which 64 columns overflowed.
constexpr std::int32_t kStripColumns = 32;

VectorLevel gVectorCap = VectorLevel::Avx512;

}  // namespace

VectorLevel DetectedVectorLevel() {
#if PG_X86_VECTORS
    // These checks cover the operating system's support for the wide
    // registers too.
    static const VectorLevel detected = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
            return VectorLevel::Avx512;
        }
        if (__builtin_cpu_supports("avx2")) return VectorLevel::Avx2;
        return VectorLevel::Baseline;
    }();
    return detected;
#else
    return VectorLevel::Baseline;
#endif
}

VectorLevel ActiveVectorLevel() { return std::min(DetectedVectorLevel(), gVectorCap); }

void LimitVectorLevel(VectorLevel cap) { gVectorCap = cap; }

void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
               std::int32_t w, std::int32_t h, const ProgressSink& sink,
               const ParallelogramSettings& settings) {
    const double amplitude = ShearAmplitude(rect.right - rect.left, settings.dimension);
    if (rect.top >= rect.bottom) return;
    const std::int32_t count = rect.bottom - rect.top;
    if (rect.left >= rect.right) {
        // Rows without pixels: nothing to write, but each row is still a line done.
        for (std::int32_t line = 0; line < count; ++line) ReportLine(sink, line, count);
        return;
    }
    const OffsetProfile profile = OffsetProfiles[settings.shape];
    const UndefinedAreaPolicy policy = SanePolicy(settings.policy);
    const VectorLevel level = ActiveVectorLevel();
    const Scratch scratch(WideScratchBytes());
    double* wide = nullptr;
    if (scratch.Ok()) {
        wide = reinterpret_cast<double*>(scratch.Aligned());
    }

    for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        const double offset = profile(y - rect.top, amplitude, count);
        const PixelBGRA* in = source + static_cast<std::ptrdiff_t>(y) * w;
        PixelBGRA* out = destination + static_cast<std::ptrdiff_t>(y) * w;
        auto sample = [&](SampleRegion region, std::int32_t c, double p) {
            return region == Interior ? SampleRowInterior(source, c, y, p, w, h, policy)
                                      : RowSamplers[region][policy.mode](source, c, y, p, w, h, policy);
        };
        if (wide != nullptr) {
            ShearLine(Line{in, w, out + rect.left, rect.left, rect.right, offset}, policy, level, wide, sample);
        } else {
            PlainLine(w, offset, rect.left, rect.right, policy.transparent, out, 1, sample);
        }
        ReportLine(sink, y - rect.top, count);
    }
    FinishStreaming();
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
    if (rect.top >= rect.bottom) {
        // Columns without pixels: nothing to write, but each column is still a line done.
        for (std::int32_t line = 0; line < count; ++line) ReportLine(sink, line, count);
        return;
    }
    const std::int32_t rows = rect.bottom - rect.top;
    const OffsetProfile profile = OffsetProfiles[settings.shape - LeftAndRight];
    const UndefinedAreaPolicy policy = SanePolicy(settings.policy);
    const VectorLevel level = ActiveVectorLevel();

    // One block: the widened line, the strip's source columns as lines of h
    // pixels, and its produced columns as lines of `rows` pixels.
    const std::uint64_t wideBytes = (WideScratchBytes() + 63) / 64 * 64;
    const std::uint64_t columnBytes = PixelBytes(static_cast<std::uint64_t>(kStripColumns) * h);
    const Scratch scratch(wideBytes + columnBytes + PixelBytes(static_cast<std::uint64_t>(kStripColumns) * rows));
    double* wide = nullptr;
    PixelBGRA* columns = nullptr;
    PixelBGRA* produced = nullptr;
    if (scratch.Ok()) {
        wide = reinterpret_cast<double*>(scratch.Aligned());
        columns = reinterpret_cast<PixelBGRA*>(scratch.Aligned() + wideBytes);
        produced = reinterpret_cast<PixelBGRA*>(scratch.Aligned() + wideBytes + columnBytes);
    }

    // The strips after the first start on a 64-byte boundary of the first
    // produced row (of every row, when the row pitch is whole 64-byte
    // blocks), so that the transpose back writes whole cache lines.
    const std::uintptr_t firstAddress =
        reinterpret_cast<std::uintptr_t>(destination + static_cast<std::ptrdiff_t>(rect.top) * w + rect.left);
    std::int32_t firstStrip = kStripColumns;
    if (firstAddress % sizeof(PixelBGRA) == 0 && firstAddress % 64 != 0) {
        firstStrip = kStripColumns - 16 + static_cast<std::int32_t>((64 - firstAddress % 64) / sizeof(PixelBGRA));
    }
    for (std::int32_t stripLeft = rect.left, strip = 0; stripLeft < rect.right; stripLeft += strip) {
        strip = std::min(stripLeft == rect.left ? firstStrip : kStripColumns, rect.right - stripLeft);
        if (wide != nullptr && rows > 0) {
            Transpose(source + stripLeft, w, h, strip, columns, h, true);
        }
        for (std::int32_t k = 0; k < strip; ++k) {
            const std::int32_t x = stripLeft + k;
            const double offset = profile(x - rect.left, amplitude, count);
            auto sample = [&](SampleRegion region, std::int32_t c, double p) {
                return region == Interior ? SampleColumnInterior(source, x, c, p, w, h, policy)
                                          : ColumnSamplers[region][policy.mode](source, x, c, p, w, h, policy);
            };
            if (wide != nullptr) {
                const Line line{columns + static_cast<std::ptrdiff_t>(k) * h, h,
                                produced + static_cast<std::ptrdiff_t>(k) * rows, rect.top, rect.bottom, offset};
                ShearLine(line, policy, level, wide, sample);
            } else {
                PlainLine(h, offset, rect.top, rect.bottom, policy.transparent, destination + x, w, sample);
            }
        }
        if (wide != nullptr && rows > 0) {
            Transpose(produced, rows, strip, rows,
                      destination + static_cast<std::ptrdiff_t>(rect.top) * w + stripLeft, w, false);
        }
        for (std::int32_t k = 0; k < strip; ++k) ReportLine(sink, stripLeft + k - rect.left, count);
    }
    FinishStreaming();
}
