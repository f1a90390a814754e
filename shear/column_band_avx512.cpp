// The AVX-512 band kernel, compiled for AVX-512 F, BW, DQ and VL (without
// FMA).  A band row is two groups of eight lanes, one channel of eight
// pixels per register; steady rows whose weights lie on the 2^-44 grid
// (column_band_common.h) blend all sixteen lanes at once in whole numbers.
#include <immintrin.h>

#include "shear/column_band_common.h"

// GCC 12's AVX-512 headers start some intrinsics from an "undefined" register
// and then warn about it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace shear_detail {
namespace {

// Eight lanes of a band, as vectors and masks.
struct GroupAvx512 {
    __m512d offset, shift;
    __m256i constant, keep, columns;
    __mmask8 mirrored, blended, original;
};

inline GroupAvx512 LoadGroupAvx512(const ColumnBand& band, int first) {
    GroupAvx512 group;
    group.offset = _mm512_loadu_pd(band.offset + first);
    group.shift = _mm512_loadu_pd(band.shift + first);
    group.constant = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(band.constant + first));
    group.keep = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(band.keep + first));
    group.columns = _mm256_add_epi32(_mm256_set1_epi32(first), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    group.mirrored = static_cast<__mmask8>(band.mirrored >> first);
    group.blended = static_cast<__mmask8>(band.blended >> first);
    group.original = static_cast<__mmask8>(band.original >> first);
    return group;
}

// The four channels of eight pixels as doubles.
struct ChannelsAvx512 {
    __m512d value[kBandChannels];
};

// The four channels of eight pixels, as doubles.
inline ChannelsAvx512 WidenAvx512(__m256i pixels) {
    const __m256i low = _mm256_set1_epi32(0xFF);
    ChannelsAvx512 channels;
    channels.value[0] = _mm512_cvtepi32_pd(_mm256_and_si256(pixels, low));
    channels.value[1] = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(pixels, 8), low));
    channels.value[2] = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(pixels, 16), low));
    channels.value[3] = _mm512_cvtepi32_pd(_mm256_srli_epi32(pixels, 24));
    return channels;
}

// The group's eight finished pixels: the blend of `first` at weight t and
// `second` at weight u in the blended lanes, the constant or the own source
// pixel (`row`: the band copy's row y at the group) in the others, ANDed with
// keep.
// Plain: every lane blends and keeps all its bits, so that the constants,
// own pixels and keep have nothing to do.
template <bool Plain = false>
inline __m256i FinishAvx512(const GroupAvx512& group, const ChannelsAvx512& first, const ChannelsAvx512& second,
                            __m512d t, __m512d u, const PixelBGRA* row) {
    __m256i channel[kBandChannels];
    for (int ch = 0; ch < kBandChannels; ++ch) {
        channel[ch] =
            _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(first.value[ch], t), _mm512_mul_pd(second.value[ch], u)));
    }
    // Channels are 0..255, so the packs never saturate.  Each 128-bit half
    // then holds its four pixels' blues, greens, reds and alphas; one byte
    // shuffle puts each pixel's four together.
    const __m256i interleave = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5,
                                                9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m256i planar =
        _mm256_packus_epi16(_mm256_packus_epi32(channel[0], channel[1]), _mm256_packus_epi32(channel[2], channel[3]));
    if (Plain) return _mm256_shuffle_epi8(planar, interleave);
    __m256i pixels = _mm256_mask_mov_epi32(group.constant, group.blended, _mm256_shuffle_epi8(planar, interleave));
    // Only when some lane wants it: a masked load whose address lies outside
    // the copy, even with every lane off, is very slow on some processors.
    if (group.original != 0) pixels = _mm256_mask_loadu_epi32(pixels, group.original, row);
    return _mm256_and_si256(pixels, group.keep);
}

// Two groups' eight lanes as one register of sixteen.
inline __m512i JoinAvx512(__m256i low, __m256i high) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// What a group carries from one row to the next: its rows i, the converted
// pixels of the neighbour the next row shares with this one, and the pixels
// of the rows the next row is expected to fetch, gathered ahead so that the
// gather's wait overlaps this row's arithmetic.
struct CarryAvx512 {
    __m256i index;
    ChannelsAvx512 shared;
    __m256i expectedRows, expectedPixels;
};

// The blended lanes' pixels at slots `index` of the band copy.
inline __m256i GatherAtAvx512(const GroupAvx512& group, const PixelBGRA* rows, __m256i index) {
    return _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), group.blended, index, rows, 4);
}

// The blended lanes' pixels of the band copy's rows `row` (counted from its
// first row), one row per lane.
inline __m256i GatherAvx512(const GroupAvx512& group, const PixelBGRA* rows, __m256i row) {
    return GatherAtAvx512(group, rows, _mm256_add_epi32(_mm256_slli_epi32(row, 4), group.columns));
}

// Carrying, in the general rows, the converted pixels and the rows gathered
// ahead from one row to the next needs more than the eight vector registers
// of 32-bit code: there they would live on the stack, and fetching both
// neighbours afresh is cheaper.  The steady rows carry only the converted
// neighbour, in every build.
#if defined(__x86_64__)
constexpr bool kCarryAvx512 = true;
#else
constexpr bool kCarryAvx512 = false;
#endif

// Row y of a group.  Direction +1: every blended lane's i grows by one from
// row to row, so this row's first neighbour is the previous row's second
// and only the second is fetched; -1: every blended lane's i falls by one
// (mirrored positions), so the second neighbour is the previous row's first;
// 0: both are fetched.  A row whose indices do not follow on (a position
// within a rounding error of a whole number) fetches both.  The rows gathered
// ahead are kept between the copy's first row and `lastCopied`.  Without
// Carry, every row fetches both, and only the neighbour the steady rows
// start from is kept.
template <int Direction, bool Carry>
inline __m256i GroupRowAvx512(const GroupAvx512& group, CarryAvx512& carry, __m512d y, const PixelBGRA* rows,
                              __m256i firstRow, __m256i lastCopied, __m256i last, const PixelBGRA* row) {
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d p = _mm512_add_pd(y, group.offset);
    const __m512d q = _mm512_mask_blend_pd(group.mirrored, _mm512_add_pd(p, group.shift),
                                           _mm512_sub_pd(_mm512_sub_pd(group.shift, p), one));
    const __m256i i = _mm512_cvttpd_epi32(q);
    const __m256i next = _mm256_add_epi32(i, _mm256_set1_epi32(1));
    const __m512d t = _mm512_sub_pd(_mm512_cvtepi32_pd(next), q);
    const __m512d u = _mm512_sub_pd(one, t);
    // At i = h - 1, t is 1 and the second pixel weighs nothing: the last row
    // stands in for the one below the image.
    const __m256i below = _mm256_min_epi32(next, last);
    if (Direction != 0 && Carry) {
        const __m256i direction = _mm256_set1_epi32(Direction);
        const bool followsOn =
            _mm256_mask_cmpeq_epi32_mask(group.blended, i, _mm256_add_epi32(carry.index, direction)) == group.blended;
        carry.index = i;
        if (followsOn) {
            const __m256i fetchRows = Direction > 0 ? below : i;
            const bool asExpected =
                _mm256_mask_cmpeq_epi32_mask(group.blended, fetchRows, carry.expectedRows) == group.blended;
            const __m256i pixels =
                asExpected ? carry.expectedPixels : GatherAvx512(group, rows, _mm256_sub_epi32(fetchRows, firstRow));
            // The next row's, ahead of this row's arithmetic.
            carry.expectedRows =
                _mm256_max_epi32(_mm256_min_epi32(_mm256_add_epi32(fetchRows, direction), lastCopied), firstRow);
            carry.expectedPixels = GatherAvx512(group, rows, _mm256_sub_epi32(carry.expectedRows, firstRow));
            const ChannelsAvx512 fetched = WidenAvx512(pixels);
            const __m256i finished = Direction > 0 ? FinishAvx512(group, carry.shared, fetched, t, u, row)
                                                   : FinishAvx512(group, fetched, carry.shared, t, u, row);
            carry.shared = fetched;
            return finished;
        }
    }
    const ChannelsAvx512 first = WidenAvx512(GatherAvx512(group, rows, _mm256_sub_epi32(i, firstRow)));
    const ChannelsAvx512 second = WidenAvx512(GatherAvx512(group, rows, _mm256_sub_epi32(below, firstRow)));
    if (Direction != 0) carry.shared = Direction > 0 ? second : first;
    return FinishAvx512(group, first, second, t, u, row);
}

// A group's steady rows: each row's i is the previous one's plus Direction
// and the weights stay, so only the pixels change.  The pixels each row
// fetches (the row below when moving up, its own row when moving down) lie
// sixteen slots on (or back) from the previous row's in the band copy; each
// row's are gathered one row ahead.
struct SteadyAvx512 {
    __m256i index, limit, pixels;
    __m512d t, u;
};

// `first`: the group's first lane.
template <int Direction>
inline void StartSteadyAvx512(const GroupAvx512& group, const CarryAvx512& carry, const PixelBGRA* rows,
                              __m256i firstRow, __m256i lastCopied, __m256i last, const SteadyLanes& lanes, int first,
                              SteadyAvx512& steady) {
    steady.t = _mm512_load_pd(lanes.t + first);
    steady.u = _mm512_load_pd(lanes.u + first);
    const __m256i i0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.i + first));
    const __m256i i1 = _mm256_add_epi32(i0, _mm256_set1_epi32(Direction));
    const __m256i fetchRows = Direction > 0 ? _mm256_min_epi32(_mm256_add_epi32(i1, _mm256_set1_epi32(1)), last) : i1;
    steady.index = _mm256_add_epi32(_mm256_slli_epi32(_mm256_sub_epi32(fetchRows, firstRow), 4), group.columns);
    steady.limit = _mm256_add_epi32(_mm256_slli_epi32(_mm256_sub_epi32(lastCopied, firstRow), 4), group.columns);
    const bool asExpected = _mm256_mask_cmpeq_epi32_mask(group.blended, fetchRows, carry.expectedRows) == group.blended;
    steady.pixels = asExpected ? carry.expectedPixels : GatherAtAvx512(group, rows, steady.index);
}

// Ahead: whether another steady row follows, whose pixels are gathered now.
template <int Direction, bool Ahead, bool Plain>
inline __m256i SteadyRowAvx512(const GroupAvx512& group, CarryAvx512& carry, SteadyAvx512& steady,
                               const PixelBGRA* rows, const PixelBGRA* row) {
    const __m256i pixels = steady.pixels;
    if (Ahead) {
        // The next row's, ahead of this row's arithmetic; moving up, the
        // row below the image's last stands in as the last copied row.
        steady.index = _mm256_add_epi32(steady.index, _mm256_set1_epi32(Direction * kBandColumns));
        if (Direction > 0) steady.index = _mm256_min_epi32(steady.index, steady.limit);
        steady.pixels = GatherAtAvx512(group, rows, steady.index);
    }
    const ChannelsAvx512 fetched = WidenAvx512(pixels);
    const __m256i finished = Direction > 0 ? FinishAvx512<Plain>(group, carry.shared, fetched, steady.t, steady.u, row)
                                           : FinishAvx512<Plain>(group, fetched, carry.shared, steady.t, steady.u, row);
    carry.shared = fetched;
    return finished;
}

// Rows 1 .. steps of a steady block, the group's carries holding row 0's.
template <int Direction, bool Plain>
inline void SteadyRowsAvx512(const GroupAvx512& left, const GroupAvx512& right, CarryAvx512& leftCarry,
                             CarryAvx512& rightCarry, SteadyAvx512& leftSteady, SteadyAvx512& rightSteady,
                             const PixelBGRA* rows, CopyAhead<Direction> ahead, const PixelBGRA* row, int steps,
                             PixelBGRA* out, std::ptrdiff_t outStride) {
    for (int j = 1; j <= steps; ++j, out += outStride, row += kBandColumns) {
        ahead.Next(rows);
        __m256i lo, hi;
        if (j < steps) {
            lo = SteadyRowAvx512<Direction, true, Plain>(left, leftCarry, leftSteady, rows, row);
            hi = SteadyRowAvx512<Direction, true, Plain>(right, rightCarry, rightSteady, rows, row + 8);
        } else {
            lo = SteadyRowAvx512<Direction, false, Plain>(left, leftCarry, leftSteady, rows, row);
            hi = SteadyRowAvx512<Direction, false, Plain>(right, rightCarry, rightSteady, rows, row + 8);
        }
        _mm512_storeu_si512(out, JoinAvx512(lo, hi));
    }
}

// The steady rows of a block whose blended lanes' weights all lie on the
// 2^-44 grid (WholeWeightOf): the blend in whole numbers, all sixteen lanes
// in one register, 32 bits a channel.
struct WholeBandAvx512 {
    __m512i high, low;       // each lane's weight halves
    __m512i constant, keep;  // as the lanes'
    __mmask16 blended, original;
};

inline bool WholeBandOf(const ColumnBand& band, const SteadyLanes& lanes, WholeBandAvx512& whole) {
    WholeLanes weights;
    if (!WholeLanesOf(band, lanes, weights)) return false;
    whole.high = _mm512_load_si512(weights.high);
    whole.low = _mm512_load_si512(weights.low);
    whole.constant = _mm512_loadu_si512(band.constant);
    whole.keep = _mm512_loadu_si512(band.keep);
    whole.blended = static_cast<__mmask16>(band.blended);
    whole.original = static_cast<__mmask16>(band.original);
    return true;
}

// The four channels of sixteen pixels, 0..255 in 32 bits each.
struct WholeChannelsAvx512 {
    __m512i value[kBandChannels];
};

inline WholeChannelsAvx512 ChannelsOfAvx512(__m512i pixels) {
    const __m512i low = _mm512_set1_epi32(0xFF);
    WholeChannelsAvx512 channels;
    channels.value[0] = _mm512_and_si512(pixels, low);
    channels.value[1] = _mm512_and_si512(_mm512_srli_epi32(pixels, 8), low);
    channels.value[2] = _mm512_and_si512(_mm512_srli_epi32(pixels, 16), low);
    channels.value[3] = _mm512_srli_epi32(pixels, 24);
    return channels;
}

// Sixteen blended pixels, each channel as BlendWholeChannel.
inline __m512i BlendWholeAvx512(const WholeChannelsAvx512& first, const WholeChannelsAvx512& second,
                                const WholeBandAvx512& whole) {
    __m512i channel[kBandChannels];
    for (int ch = 0; ch < kBandChannels; ++ch) {
        const __m512i d = _mm512_sub_epi32(first.value[ch], second.value[ch]);
        const __m512i lowPart = _mm512_srai_epi32(_mm512_mullo_epi32(d, whole.low), kWholeWeightSplit);
        const __m512i sum = _mm512_add_epi32(_mm512_mullo_epi32(d, whole.high), lowPart);
        channel[ch] = _mm512_add_epi32(second.value[ch], _mm512_srai_epi32(sum, kWholeWeightSplit));
    }
    return _mm512_or_si512(_mm512_or_si512(channel[0], _mm512_slli_epi32(channel[1], 8)),
                           _mm512_or_si512(_mm512_slli_epi32(channel[2], 16), _mm512_slli_epi32(channel[3], 24)));
}

// The two groups' converted channels as whole numbers, and back.
inline WholeChannelsAvx512 WholeChannelsOfAvx512(const ChannelsAvx512& left, const ChannelsAvx512& right) {
    WholeChannelsAvx512 channels;
    for (int ch = 0; ch < kBandChannels; ++ch) {
        channels.value[ch] = JoinAvx512(_mm512_cvttpd_epi32(left.value[ch]), _mm512_cvttpd_epi32(right.value[ch]));
    }
    return channels;
}

inline void ConvertedChannelsOfAvx512(const WholeChannelsAvx512& channels, ChannelsAvx512& left,
                                      ChannelsAvx512& right) {
    for (int ch = 0; ch < kBandChannels; ++ch) {
        left.value[ch] = _mm512_cvtepi32_pd(_mm512_castsi512_si256(channels.value[ch]));
        right.value[ch] = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(channels.value[ch], 1));
    }
}

// Rows 1 .. steps of a steady block with whole weights, the groups' carries
// and steady states holding row 0's; the carries' neighbours hold the last
// row's after it.
template <int Direction, bool Plain>
inline void WholeRowsAvx512(const WholeBandAvx512& whole, CarryAvx512& leftCarry, CarryAvx512& rightCarry,
                            const SteadyAvx512& leftSteady, const SteadyAvx512& rightSteady, const PixelBGRA* rows,
                            CopyAhead<Direction> ahead, const PixelBGRA* row, int steps, PixelBGRA* out,
                            std::ptrdiff_t outStride) {
    __m512i index = JoinAvx512(leftSteady.index, rightSteady.index);
    const __m512i limit = JoinAvx512(leftSteady.limit, rightSteady.limit);
    const __m512i step = _mm512_set1_epi32(Direction * kBandColumns);
    __m512i pixels = JoinAvx512(leftSteady.pixels, rightSteady.pixels);
    WholeChannelsAvx512 sharedChannels = WholeChannelsOfAvx512(leftCarry.shared, rightCarry.shared);
    for (int j = 1; j <= steps; ++j, out += outStride, row += kBandColumns) {
        ahead.Next(rows);
        const __m512i fetched = pixels;
        if (j < steps) {
            // The next row's, ahead of this row's arithmetic, as SteadyRowAvx512.
            index = _mm512_add_epi32(index, step);
            if (Direction > 0) index = _mm512_min_epi32(index, limit);
            pixels = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), whole.blended, index, rows, 4);
        }
        const WholeChannelsAvx512 fetchedChannels = ChannelsOfAvx512(fetched);
        __m512i result = Direction > 0 ? BlendWholeAvx512(sharedChannels, fetchedChannels, whole)
                                       : BlendWholeAvx512(fetchedChannels, sharedChannels, whole);
        sharedChannels = fetchedChannels;
        if (!Plain) {
            result = _mm512_mask_mov_epi32(whole.constant, whole.blended, result);
            if (whole.original != 0) result = _mm512_mask_loadu_epi32(result, whole.original, row);
            result = _mm512_and_si512(result, whole.keep);
        }
        _mm512_storeu_si512(out, result);
    }
    ConvertedChannelsOfAvx512(sharedChannels, leftCarry.shared, rightCarry.shared);
}

template <int Direction, bool Carry>
void BandRowsAvx512Carrying(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0,
                            std::int32_t y1, PixelBGRA* out, std::ptrdiff_t outStride) {
    const GroupAvx512 left = LoadGroupAvx512(band, 0);
    const GroupAvx512 right = LoadGroupAvx512(band, 8);
    const __m256i first = _mm256_set1_epi32(band.firstRow);
    const __m256i last = _mm256_set1_epi32(h - 1);
    const __m256i lastCopied = _mm256_set1_epi32(band.endRow - 1);
    // Rows are never negative: no row follows on from these, nor is any
    // expected.
    CarryAvx512 leftCarry, rightCarry;
    leftCarry.index = rightCarry.index = leftCarry.expectedRows = rightCarry.expectedRows = _mm256_set1_epi32(-10);
    // y as a double: a whole number, so stepping it by one is exact.
    __m512d y = _mm512_set1_pd(static_cast<double>(y0));
    const __m512d one = _mm512_set1_pd(1.0);
    const PixelBGRA* row = rows + static_cast<std::ptrdiff_t>(y0 - band.firstRow) * kBandColumns;
    bool plain = band.blended == 0xFFFF && band.original == 0;
    for (int k = 0; k < kBandColumns; ++k) plain = plain && band.keep[k] == 0xFFFFFFFFu;
    for (std::int32_t r = y0; r < y1;) {
        const __m256i lo = GroupRowAvx512<Direction, Carry>(left, leftCarry, y, rows, first, lastCopied, last, row);
        const __m256i hi =
            GroupRowAvx512<Direction, Carry>(right, rightCarry, y, rows, first, lastCopied, last, row + 8);
        _mm512_storeu_si512(out, JoinAvx512(lo, hi));
        out += outStride, row += kBandColumns, y = _mm512_add_pd(y, one);
        const std::int32_t blockStart = r++;
        if (Direction == 0) continue;
        // The rows after it, up to a block, with the weights of the first
        // when they keep them: only the pixels change from row to row.
        SteadyLanes steadyLanes;
        const int steps = SteadyRowsAfter(band, Direction, blockStart, y1, steadyLanes);
        if (steps == 0) continue;
        SteadyAvx512 leftSteady, rightSteady;
        StartSteadyAvx512<Direction>(left, leftCarry, rows, first, lastCopied, last, steadyLanes, 0, leftSteady);
        StartSteadyAvx512<Direction>(right, rightCarry, rows, first, lastCopied, last, steadyLanes, 8, rightSteady);
        const CopyAhead<Direction> ahead(band, steadyLanes);
        WholeBandAvx512 whole;
        if (WholeBandOf(band, steadyLanes, whole)) {
            if (plain) {
                WholeRowsAvx512<Direction, true>(whole, leftCarry, rightCarry, leftSteady, rightSteady, rows, ahead,
                                                 row, steps, out, outStride);
            } else {
                WholeRowsAvx512<Direction, false>(whole, leftCarry, rightCarry, leftSteady, rightSteady, rows, ahead,
                                                  row, steps, out, outStride);
            }
        } else if (plain) {
            SteadyRowsAvx512<Direction, true>(left, right, leftCarry, rightCarry, leftSteady, rightSteady, rows, ahead,
                                              row, steps, out, outStride);
        } else {
            SteadyRowsAvx512<Direction, false>(left, right, leftCarry, rightCarry, leftSteady, rightSteady, rows, ahead,
                                               row, steps, out, outStride);
        }
        r += steps, out += steps * outStride, row += steps * kBandColumns;
        // The rows the general path follows on from; what it expects is gathered anew.
        const __m256i moved = _mm256_set1_epi32(Direction * steps);
        leftCarry.index = _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(steadyLanes.i)), moved);
        rightCarry.index =
            _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(steadyLanes.i + 8)), moved);
        leftCarry.expectedRows = rightCarry.expectedRows = _mm256_set1_epi32(-10);
        y = _mm512_set1_pd(static_cast<double>(r));
    }
}

template <bool Carry>
void BandRowsAvx512With(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0, std::int32_t y1,
                        PixelBGRA* out, std::ptrdiff_t outStride) {
    switch (RowDirection(band)) {
        case 1:
            BandRowsAvx512Carrying<1, Carry>(band, rows, h, y0, y1, out, outStride);
            break;
        case -1:
            BandRowsAvx512Carrying<-1, Carry>(band, rows, h, y0, y1, out, outStride);
            break;
        default:
            BandRowsAvx512Carrying<0, Carry>(band, rows, h, y0, y1, out, outStride);
            break;
    }
    _mm256_zeroupper();
}

}  // namespace

PG_BAND_ALIGN_STACK void BandRowsAvx512(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0,
                                        std::int32_t y1, PixelBGRA* out, std::ptrdiff_t outStride) {
    BandRowsAvx512With<kCarryAvx512>(band, rows, h, y0, y1, out, outStride);
}

PG_BAND_ALIGN_STACK void BandRowsAvx512Uncarried(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h,
                                                 std::int32_t y0, std::int32_t y1, PixelBGRA* out,
                                                 std::ptrdiff_t outStride) {
    BandRowsAvx512With<false>(band, rows, h, y0, y1, out, outStride);
}

}  // namespace shear_detail
