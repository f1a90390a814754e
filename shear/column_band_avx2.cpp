// The AVX2 band kernel, compiled for AVX2 (without FMA: every product is
// rounded before it is added).  A band row is two groups of eight lanes, each
// gathered at once and blended four pixels of one channel per register, or,
// in steady rows whose weights lie on the 2^-44 grid (column_band_common.h),
// eight pixels of one channel per register in whole numbers.
#include <immintrin.h>

#include "shear/column_band_common.h"

namespace shear_detail {
namespace {

// Eight lanes of a band, as vectors; the masks have all bits of a lane set.
struct GroupAvx2 {
    __m256d offsetLow, offsetHigh, shiftLow, shiftHigh, mirroredLow, mirroredHigh;
    __m256i constant, keep, columns, blended, original;
    bool anyOriginal;
};

inline __m256i LaneMask(LaneBits bits, int first) {
    const __m256i lanes = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    const __m256i mine = _mm256_set1_epi32(static_cast<int>(bits >> first & 0xFF));
    return _mm256_cmpeq_epi32(_mm256_and_si256(mine, lanes), lanes);
}

inline GroupAvx2 LoadGroupAvx2(const ColumnBand& band, int first) {
    GroupAvx2 group;
    group.offsetLow = _mm256_loadu_pd(band.offset + first);
    group.offsetHigh = _mm256_loadu_pd(band.offset + first + 4);
    group.shiftLow = _mm256_loadu_pd(band.shift + first);
    group.shiftHigh = _mm256_loadu_pd(band.shift + first + 4);
    const __m256i mirrored = LaneMask(band.mirrored, first);
    group.mirroredLow = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm256_castsi256_si128(mirrored)));
    group.mirroredHigh = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm256_extracti128_si256(mirrored, 1)));
    group.constant = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(band.constant + first));
    group.keep = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(band.keep + first));
    group.columns = _mm256_add_epi32(_mm256_set1_epi32(first), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    group.blended = LaneMask(band.blended, first);
    group.original = LaneMask(band.original, first);
    group.anyOriginal = (band.original >> first & 0xFF) != 0;
    return group;
}

// Four lanes' sampled positions.
inline __m256d MappedAvx2(__m256d y, __m256d offset, __m256d shift, __m256d mirrored) {
    const __m256d p = _mm256_add_pd(y, offset);
    return _mm256_blendv_pd(_mm256_add_pd(p, shift), _mm256_sub_pd(_mm256_sub_pd(shift, p), _mm256_set1_pd(1.0)),
                            mirrored);
}

// One channel of eight pixels, in two halves: first * t + second * u, truncated.
inline __m256i BlendChannelAvx2(__m256i first, __m256i second, __m256d tLow, __m256d uLow, __m256d tHigh,
                                __m256d uHigh) {
    const __m128i low =
        _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(first)), tLow),
                                          _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(second)), uLow)));
    const __m128i high = _mm256_cvttpd_epi32(
        _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(first, 1)), tHigh),
                      _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(second, 1)), uHigh)));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// The blended lanes' pixels at slots `index` of the band copy.
inline __m256i GatherAvx2(const GroupAvx2& group, const PixelBGRA* rows, __m256i index) {
    return _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(rows), index, group.blended,
                                       4);
}

// The blended lanes' pixels of the band copy's rows `row` (counted from its
// first row), one row per lane.
inline __m256i FetchAvx2(const GroupAvx2& group, const PixelBGRA* rows, __m256i row) {
    return GatherAvx2(group, rows, _mm256_add_epi32(_mm256_slli_epi32(row, 4), group.columns));
}

// Whether every blended lane of a and b holds the same value.
inline bool AllBlendedEqual(const GroupAvx2& group, __m256i a, __m256i b) {
    const __m256i differs = _mm256_andnot_si256(_mm256_cmpeq_epi32(a, b), group.blended);
    return _mm256_testz_si256(differs, differs) != 0;
}

// The group's eight finished pixels from the blends of its blended lanes:
// the constant or the own source pixel (`row`: the band copy's row y at the
// group) in the others, ANDed with keep.
inline __m256i CompleteAvx2(const GroupAvx2& group, __m256i blends, const PixelBGRA* row) {
    __m256i pixels = _mm256_blendv_epi8(group.constant, blends, group.blended);
    // Only when some lane wants it: a masked load whose address lies outside
    // the copy, even with every lane off, is very slow on some processors.
    if (group.anyOriginal) {
        pixels = _mm256_blendv_epi8(pixels, _mm256_maskload_epi32(reinterpret_cast<const int*>(row), group.original),
                                    group.original);
    }
    return _mm256_and_si256(pixels, group.keep);
}

// The group's eight finished pixels: the blend of `first` at weight t and
// `second` at weight u in the blended lanes, the constant or the own source
// pixel (`row`: the band copy's row y at the group) in the others, ANDed with
// keep.
inline __m256i FinishAvx2(const GroupAvx2& group, __m256i first, __m256i second, __m256d tLow, __m256d uLow,
                          __m256d tHigh, __m256d uHigh, const PixelBGRA* row) {
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m256i blue =
        BlendChannelAvx2(_mm256_and_si256(first, low), _mm256_and_si256(second, low), tLow, uLow, tHigh, uHigh);
    const __m256i green =
        BlendChannelAvx2(_mm256_and_si256(_mm256_srli_epi32(first, 8), low),
                         _mm256_and_si256(_mm256_srli_epi32(second, 8), low), tLow, uLow, tHigh, uHigh);
    const __m256i red =
        BlendChannelAvx2(_mm256_and_si256(_mm256_srli_epi32(first, 16), low),
                         _mm256_and_si256(_mm256_srli_epi32(second, 16), low), tLow, uLow, tHigh, uHigh);
    const __m256i alpha =
        BlendChannelAvx2(_mm256_srli_epi32(first, 24), _mm256_srli_epi32(second, 24), tLow, uLow, tHigh, uHigh);
    // Channels are 0..255, so the packs never saturate.  Each 128-bit half
    // then holds its four pixels' blues, greens, reds and alphas; one byte
    // shuffle puts each pixel's four together.
    const __m256i interleave = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5,
                                                9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m256i planar = _mm256_packus_epi16(_mm256_packus_epi32(blue, green), _mm256_packus_epi32(red, alpha));
    return CompleteAvx2(group, _mm256_shuffle_epi8(planar, interleave), row);
}

// One channel's blend for weights on the 2^-44 grid, as BlendWholeChannel,
// shifted into place in its pixels.
template <int ch>
inline __m256i BlendWholeChannelAvx2(__m256i first, __m256i second, __m256i high, __m256i low) {
    const __m256i mask = _mm256_set1_epi32(0xFF);
    const __m256i a = ch == 3 ? _mm256_srli_epi32(first, 24) : _mm256_and_si256(_mm256_srli_epi32(first, 8 * ch), mask);
    const __m256i b =
        ch == 3 ? _mm256_srli_epi32(second, 24) : _mm256_and_si256(_mm256_srli_epi32(second, 8 * ch), mask);
    const __m256i d = _mm256_sub_epi32(a, b);
    const __m256i lowPart = _mm256_srai_epi32(_mm256_mullo_epi32(d, low), kWholeWeightSplit);
    const __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(d, high), lowPart);
    return _mm256_slli_epi32(_mm256_add_epi32(b, _mm256_srai_epi32(sum, kWholeWeightSplit)), 8 * ch);
}

// FinishAvx2 for weights on the grid: the blend in whole numbers, eight
// lanes of 32 bits a channel.
inline __m256i FinishWholeAvx2(const GroupAvx2& group, __m256i first, __m256i second, __m256i high, __m256i low,
                               const PixelBGRA* row) {
    const __m256i pixels = _mm256_or_si256(_mm256_or_si256(BlendWholeChannelAvx2<0>(first, second, high, low),
                                                           BlendWholeChannelAvx2<1>(first, second, high, low)),
                                           _mm256_or_si256(BlendWholeChannelAvx2<2>(first, second, high, low),
                                                           BlendWholeChannelAvx2<3>(first, second, high, low)));
    return CompleteAvx2(group, pixels, row);
}

// What a group carries from one row to the next: its rows i, the pixels of
// the neighbour the next row shares with this one, and the pixels of the
// rows the next row is expected to fetch, gathered ahead so that the
// gather's wait overlaps this row's arithmetic.
struct CarryAvx2 {
    __m256i index, shared, expectedRows, expectedPixels;
};

// Row y of a group; `row` is the band copy's row y at the group.  Direction
// +1: every blended lane's i grows by one from row to row, so this row's
// first neighbours are the previous row's second ones and only the second
// are fetched; -1: every blended lane's i falls by one (mirrored positions),
// so the second neighbours are the previous row's first; 0: both are
// fetched.  A row whose indices do not follow on (a position within a
// rounding error of a whole number) fetches both.  The rows gathered ahead
// are kept between the copy's first row and `lastCopied`.
template <int Direction>
inline __m256i GroupRowAvx2(const GroupAvx2& group, CarryAvx2& carry, __m256d y, const PixelBGRA* rows,
                            __m256i firstRow, __m256i lastCopied, __m256i last, const PixelBGRA* row) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d qLow = MappedAvx2(y, group.offsetLow, group.shiftLow, group.mirroredLow);
    const __m256d qHigh = MappedAvx2(y, group.offsetHigh, group.shiftHigh, group.mirroredHigh);
    const __m256i i =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm256_cvttpd_epi32(qLow)), _mm256_cvttpd_epi32(qHigh), 1);
    const __m256i next = _mm256_add_epi32(i, _mm256_set1_epi32(1));
    const __m256d tLow = _mm256_sub_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(next)), qLow);
    const __m256d tHigh = _mm256_sub_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(next, 1)), qHigh);
    const __m256d uLow = _mm256_sub_pd(one, tLow);
    const __m256d uHigh = _mm256_sub_pd(one, tHigh);
    // At i = h - 1, t is 1 and the second pixel weighs nothing: the last row
    // stands in for the one below the image.
    const __m256i below = _mm256_min_epi32(next, last);
    __m256i first, second;
    bool followsOn = false;
    if (Direction != 0) {
        const __m256i direction = _mm256_set1_epi32(Direction);
        followsOn = AllBlendedEqual(group, i, _mm256_add_epi32(carry.index, direction));
        carry.index = i;
    }
    if (followsOn) {
        const __m256i fetchRows = Direction > 0 ? below : i;
        const __m256i fetched = AllBlendedEqual(group, fetchRows, carry.expectedRows)
                                    ? carry.expectedPixels
                                    : FetchAvx2(group, rows, _mm256_sub_epi32(fetchRows, firstRow));
        // The next row's, ahead of this row's arithmetic.
        carry.expectedRows = _mm256_max_epi32(
            _mm256_min_epi32(_mm256_add_epi32(fetchRows, _mm256_set1_epi32(Direction)), lastCopied), firstRow);
        carry.expectedPixels = FetchAvx2(group, rows, _mm256_sub_epi32(carry.expectedRows, firstRow));
        first = Direction > 0 ? carry.shared : fetched;
        second = Direction > 0 ? fetched : carry.shared;
    } else {
        first = FetchAvx2(group, rows, _mm256_sub_epi32(i, firstRow));
        second = FetchAvx2(group, rows, _mm256_sub_epi32(below, firstRow));
    }
    if (Direction != 0) carry.shared = Direction > 0 ? second : first;
    return FinishAvx2(group, first, second, tLow, uLow, tHigh, uHigh, row);
}

// A group's steady rows: each row's i is the previous one's plus Direction
// and the weights stay, so only the pixels change.  The pixels each row
// fetches (the row below when moving up, its own row when moving down) lie
// sixteen slots on (or back) from the previous row's in the band copy; each
// row's are gathered one row ahead.
struct SteadyAvx2 {
    __m256i index, limit, pixels;
    __m256d tLow, uLow, tHigh, uHigh;
    __m256i high, low;  // the weights' halves, for weights on the 2^-44 grid
};

template <int Direction>
inline void StartSteadyAvx2(const GroupAvx2& group, const CarryAvx2& carry, const PixelBGRA* rows, __m256i firstRow,
                            __m256i lastCopied, __m256i last, const SteadyLanes& lanes, int first, SteadyAvx2& steady) {
    steady.tLow = _mm256_load_pd(lanes.t + first);
    steady.tHigh = _mm256_load_pd(lanes.t + first + 4);
    steady.uLow = _mm256_load_pd(lanes.u + first);
    steady.uHigh = _mm256_load_pd(lanes.u + first + 4);
    const __m256i i0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.i + first));
    const __m256i i1 = _mm256_add_epi32(i0, _mm256_set1_epi32(Direction));
    const __m256i fetchRows = Direction > 0 ? _mm256_min_epi32(_mm256_add_epi32(i1, _mm256_set1_epi32(1)), last) : i1;
    steady.index = _mm256_add_epi32(_mm256_slli_epi32(_mm256_sub_epi32(fetchRows, firstRow), 4), group.columns);
    steady.limit = _mm256_add_epi32(_mm256_slli_epi32(_mm256_sub_epi32(lastCopied, firstRow), 4), group.columns);
    steady.pixels = AllBlendedEqual(group, fetchRows, carry.expectedRows) ? carry.expectedPixels
                                                                          : GatherAvx2(group, rows, steady.index);
}

// Ahead: whether another steady row follows, whose pixels are gathered now;
// Whole: whether the weights lie on the 2^-44 grid.
template <int Direction, bool Ahead, bool Whole>
inline __m256i SteadyRowAvx2(const GroupAvx2& group, CarryAvx2& carry, SteadyAvx2& steady, const PixelBGRA* rows,
                             const PixelBGRA* row) {
    const __m256i fetched = steady.pixels;
    if (Ahead) {
        // The next row's, ahead of this row's arithmetic; moving up, the
        // row below the image's last stands in as the last copied row.
        steady.index = _mm256_add_epi32(steady.index, _mm256_set1_epi32(Direction * kBandColumns));
        if (Direction > 0) steady.index = _mm256_min_epi32(steady.index, steady.limit);
        steady.pixels = GatherAvx2(group, rows, steady.index);
    }
    const __m256i first = Direction > 0 ? carry.shared : fetched;
    const __m256i second = Direction > 0 ? fetched : carry.shared;
    carry.shared = fetched;
    if (Whole) return FinishWholeAvx2(group, first, second, steady.high, steady.low, row);
    return FinishAvx2(group, first, second, steady.tLow, steady.uLow, steady.tHigh, steady.uHigh, row);
}

// Rows 1 .. steps of a steady block, the groups' carries holding row 0's.
template <int Direction, bool Whole>
inline void SteadyRowsAvx2(const GroupAvx2& left, const GroupAvx2& right, CarryAvx2& leftCarry, CarryAvx2& rightCarry,
                           SteadyAvx2& leftSteady, SteadyAvx2& rightSteady, const PixelBGRA* rows,
                           CopyAhead<Direction> ahead, const PixelBGRA* row, int steps, PixelBGRA* out,
                           std::ptrdiff_t outStride) {
    for (int j = 1; j <= steps; ++j, out += outStride, row += kBandColumns) {
        ahead.Next(rows);
        __m256i lo, hi;
        if (j < steps) {
            lo = SteadyRowAvx2<Direction, true, Whole>(left, leftCarry, leftSteady, rows, row);
            hi = SteadyRowAvx2<Direction, true, Whole>(right, rightCarry, rightSteady, rows, row + 8);
        } else {
            lo = SteadyRowAvx2<Direction, false, Whole>(left, leftCarry, leftSteady, rows, row);
            hi = SteadyRowAvx2<Direction, false, Whole>(right, rightCarry, rightSteady, rows, row + 8);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), hi);
    }
}

template <int Direction>
void BandRowsAvx2Carrying(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0,
                          std::int32_t y1, PixelBGRA* out, std::ptrdiff_t outStride) {
    const GroupAvx2 left = LoadGroupAvx2(band, 0);
    const GroupAvx2 right = LoadGroupAvx2(band, 8);
    const __m256i first = _mm256_set1_epi32(band.firstRow);
    const __m256i last = _mm256_set1_epi32(h - 1);
    const __m256i lastCopied = _mm256_set1_epi32(band.endRow - 1);
    // Rows are never negative: no row follows on from these, nor is any
    // expected.
    CarryAvx2 leftCarry, rightCarry;
    leftCarry.index = leftCarry.expectedRows = _mm256_set1_epi32(-10);
    leftCarry.shared = leftCarry.expectedPixels = _mm256_setzero_si256();
    rightCarry = leftCarry;
    // y as a double: a whole number, so stepping it by one is exact.
    __m256d y = _mm256_set1_pd(static_cast<double>(y0));
    const __m256d one = _mm256_set1_pd(1.0);
    const PixelBGRA* row = rows + static_cast<std::ptrdiff_t>(y0 - band.firstRow) * kBandColumns;
    for (std::int32_t r = y0; r < y1;) {
        const __m256i lo = GroupRowAvx2<Direction>(left, leftCarry, y, rows, first, lastCopied, last, row);
        const __m256i hi = GroupRowAvx2<Direction>(right, rightCarry, y, rows, first, lastCopied, last, row + 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), hi);
        out += outStride, row += kBandColumns, y = _mm256_add_pd(y, one);
        const std::int32_t blockStart = r++;
        if (Direction == 0) continue;
        // The rows after it, up to a block, with the weights of the first
        // when they keep them: only the pixels change from row to row.
        SteadyLanes lanes;
        const int steps = SteadyRowsAfter(band, Direction, blockStart, y1, lanes);
        if (steps == 0) continue;
        SteadyAvx2 leftSteady, rightSteady;
        StartSteadyAvx2<Direction>(left, leftCarry, rows, first, lastCopied, last, lanes, 0, leftSteady);
        StartSteadyAvx2<Direction>(right, rightCarry, rows, first, lastCopied, last, lanes, 8, rightSteady);
        const CopyAhead<Direction> ahead(band, lanes);
        WholeLanes whole;
        if (WholeLanesOf(band, lanes, whole)) {
            leftSteady.high = _mm256_load_si256(reinterpret_cast<const __m256i*>(whole.high));
            leftSteady.low = _mm256_load_si256(reinterpret_cast<const __m256i*>(whole.low));
            rightSteady.high = _mm256_load_si256(reinterpret_cast<const __m256i*>(whole.high + 8));
            rightSteady.low = _mm256_load_si256(reinterpret_cast<const __m256i*>(whole.low + 8));
            SteadyRowsAvx2<Direction, true>(left, right, leftCarry, rightCarry, leftSteady, rightSteady, rows, ahead,
                                            row, steps, out, outStride);
        } else {
            SteadyRowsAvx2<Direction, false>(left, right, leftCarry, rightCarry, leftSteady, rightSteady, rows, ahead,
                                             row, steps, out, outStride);
        }
        r += steps, out += steps * outStride, row += steps * kBandColumns;
        // The rows the general path follows on from; what it expects is
        // gathered anew.
        const __m256i moved = _mm256_set1_epi32(Direction * steps);
        leftCarry.index = _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.i)), moved);
        rightCarry.index = _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.i + 8)), moved);
        leftCarry.expectedRows = rightCarry.expectedRows = _mm256_set1_epi32(-10);
        y = _mm256_set1_pd(static_cast<double>(r));
    }
}

}  // namespace

PG_BAND_ALIGN_STACK void BandRowsAvx2(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0,
                                      std::int32_t y1, PixelBGRA* out, std::ptrdiff_t outStride) {
    switch (RowDirection(band)) {
        case 1:
            BandRowsAvx2Carrying<1>(band, rows, h, y0, y1, out, outStride);
            break;
        case -1:
            BandRowsAvx2Carrying<-1>(band, rows, h, y0, y1, out, outStride);
            break;
        default:
            BandRowsAvx2Carrying<0>(band, rows, h, y0, y1, out, outStride);
            break;
    }
    _mm256_zeroupper();
}

}  // namespace shear_detail
