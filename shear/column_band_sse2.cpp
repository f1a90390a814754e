// The SSE2 band kernel: the baseline every supported x86 machine has.  A band
// row is four groups of four lanes; a group whose lanes all blend fetches its
// eight source pixels one by one and blends two pixels of one channel per
// register, any other group goes pixel by pixel.
#include <emmintrin.h>

#include "shear/column_band_common.h"

namespace shear_detail {
namespace {

// Four lanes of a band, as vectors; the masks have all bits of a lane set.
struct GroupSse2 {
    __m128d offset01, offset23, shift01, shift23, mirrored01, mirrored23;
    __m128i keep;
    bool blended;  // all four lanes blend
};

inline __m128d LaneMaskSse2(LaneBits bits, int lane) {
    return _mm_castsi128_pd(_mm_set_epi32(-static_cast<int>(bits >> (lane + 1) & 1),
                                          -static_cast<int>(bits >> (lane + 1) & 1),
                                          -static_cast<int>(bits >> lane & 1), -static_cast<int>(bits >> lane & 1)));
}

inline GroupSse2 LoadGroupSse2(const ColumnBand& band, int first) {
    GroupSse2 group;
    group.offset01 = _mm_loadu_pd(band.offset + first);
    group.offset23 = _mm_loadu_pd(band.offset + first + 2);
    group.shift01 = _mm_loadu_pd(band.shift + first);
    group.shift23 = _mm_loadu_pd(band.shift + first + 2);
    group.mirrored01 = LaneMaskSse2(band.mirrored, first);
    group.mirrored23 = LaneMaskSse2(band.mirrored, first + 2);
    group.keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(band.keep + first));
    group.blended = (band.blended >> first & 0xF) == 0xF;
    return group;
}

// Two lanes' sampled positions.
inline __m128d MappedSse2(__m128d y, __m128d offset, __m128d shift, __m128d mirrored) {
    const __m128d p = _mm_add_pd(y, offset);
    const __m128d folded = _mm_sub_pd(_mm_sub_pd(shift, p), _mm_set1_pd(1.0));
    return _mm_or_pd(_mm_and_pd(mirrored, folded), _mm_andnot_pd(mirrored, _mm_add_pd(p, shift)));
}

// One channel of four pixels, in two halves: first * t + second * u, truncated.
inline __m128i BlendChannelSse2(__m128i first, __m128i second, __m128d t01, __m128d u01, __m128d t23, __m128d u23) {
    const __m128i low =
        _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(first), t01), _mm_mul_pd(_mm_cvtepi32_pd(second), u01)));
    const __m128i high = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(first, 8)), t23),
                                                     _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(second, 8)), u23)));
    return _mm_unpacklo_epi64(low, high);
}

// Four pixels read one by one, put together in a register (a vector load of
// pixels just stored one by one would wait for the stores).
inline __m128i FourPixelsSse2(const PixelBGRA& a, const PixelBGRA& b, const PixelBGRA& c, const PixelBGRA& d) {
    const auto one = [](const PixelBGRA& pixel) { return _mm_cvtsi32_si128(static_cast<int>(PixelBits(pixel))); };
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(one(a), one(b)), _mm_unpacklo_epi32(one(c), one(d)));
}

// The blended lanes' pixels of the band copy's rows `index` (absolute rows,
// one per lane).
inline __m128i FetchSse2(const PixelBGRA* column, const std::int32_t* index, std::int32_t firstRow) {
    const auto at = [&](int k) -> const PixelBGRA& {
        return column[static_cast<std::ptrdiff_t>(index[k] - firstRow) * kBandColumns + k];
    };
    return FourPixelsSse2(at(0), at(1), at(2), at(3));
}

// The four blended pixels of a group from their two neighbours, first at
// weight t and second at weight u, ANDed with keep.
inline __m128i FinishSse2(const GroupSse2& group, __m128i first, __m128i second, __m128d t01, __m128d u01, __m128d t23,
                          __m128d u23) {
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i blue = BlendChannelSse2(_mm_and_si128(first, low), _mm_and_si128(second, low), t01, u01, t23, u23);
    const __m128i green = BlendChannelSse2(_mm_and_si128(_mm_srli_epi32(first, 8), low),
                                           _mm_and_si128(_mm_srli_epi32(second, 8), low), t01, u01, t23, u23);
    const __m128i red = BlendChannelSse2(_mm_and_si128(_mm_srli_epi32(first, 16), low),
                                         _mm_and_si128(_mm_srli_epi32(second, 16), low), t01, u01, t23, u23);
    const __m128i alpha = BlendChannelSse2(_mm_srli_epi32(first, 24), _mm_srli_epi32(second, 24), t01, u01, t23, u23);
    const __m128i pixels = _mm_or_si128(_mm_or_si128(blue, _mm_slli_epi32(green, 8)),
                                        _mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(alpha, 24)));
    return _mm_and_si128(pixels, group.keep);
}

// What a group carries from one row to the next: its rows i, and the pixels
// of the neighbour the next row shares with this one.
struct CarrySse2 {
    __m128i index, shared;
};

// The four pixels of row y of a group whose lanes all blend; `column` is the
// band copy's first row at the group's first lane.  Direction as in the
// AVX-512 kernel: +1 or -1 when every lane's i moves that way from row to
// row, and only the new neighbours are fetched; 0: both are.
template <int Direction>
inline __m128i GroupRowSse2(const GroupSse2& group, CarrySse2& carry, __m128d y, const PixelBGRA* column,
                            std::int32_t firstRow, __m128i last) {
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d q01 = MappedSse2(y, group.offset01, group.shift01, group.mirrored01);
    const __m128d q23 = MappedSse2(y, group.offset23, group.shift23, group.mirrored23);
    const __m128i i = _mm_unpacklo_epi64(_mm_cvttpd_epi32(q01), _mm_cvttpd_epi32(q23));
    const __m128i next = _mm_add_epi32(i, _mm_set1_epi32(1));
    const __m128d t01 = _mm_sub_pd(_mm_cvtepi32_pd(next), q01);
    const __m128d t23 = _mm_sub_pd(_mm_cvtepi32_pd(_mm_srli_si128(next, 8)), q23);
    const __m128d u01 = _mm_sub_pd(one, t01);
    const __m128d u23 = _mm_sub_pd(one, t23);
    // At i = h - 1, t is 1 and the second pixel weighs nothing: the last row
    // stands in for the one below the image.  (SSE2 has no 32-bit minimum.)
    const __m128i over = _mm_cmpgt_epi32(next, last);
    const __m128i below = _mm_or_si128(_mm_and_si128(over, last), _mm_andnot_si128(over, next));
    alignas(16) std::int32_t firstRows[4], secondRows[4];
    __m128i first, second;
    bool followsOn = false;
    if (Direction != 0) {
        const __m128i expected = _mm_add_epi32(carry.index, _mm_set1_epi32(Direction));
        followsOn = _mm_movemask_epi8(_mm_cmpeq_epi32(i, expected)) == 0xFFFF;
        carry.index = i;
    }
    if (followsOn) {
        _mm_store_si128(reinterpret_cast<__m128i*>(firstRows), Direction > 0 ? below : i);
        const __m128i fetched = FetchSse2(column, firstRows, firstRow);
        first = Direction > 0 ? carry.shared : fetched;
        second = Direction > 0 ? fetched : carry.shared;
    } else {
        _mm_store_si128(reinterpret_cast<__m128i*>(firstRows), i);
        _mm_store_si128(reinterpret_cast<__m128i*>(secondRows), below);
        first = FetchSse2(column, firstRows, firstRow);
        second = FetchSse2(column, secondRows, firstRow);
    }
    if (Direction != 0) carry.shared = Direction > 0 ? second : first;
    return FinishSse2(group, first, second, t01, u01, t23, u23);
}

// A group's steady rows: each row's i is the previous one's plus Direction
// and the weights stay, so only the pixels change.  The pixel each lane
// fetches (the row below when moving up, its own row when moving down) is
// slot[k] slots into the band copy on the first steady row, and sixteen
// slots on (or back) on each row after.
struct SteadySse2 {
    std::ptrdiff_t slot[4];
    __m128d t01, u01, t23, u23;
};

template <int Direction>
inline void StartSteadySse2(const SteadyLanes& lanes, int first, std::int32_t firstRow, SteadySse2& steady) {
    steady.t01 = _mm_load_pd(lanes.t + first);
    steady.t23 = _mm_load_pd(lanes.t + first + 2);
    steady.u01 = _mm_load_pd(lanes.u + first);
    steady.u23 = _mm_load_pd(lanes.u + first + 2);
    for (int k = 0; k < 4; ++k) {
        // Row 1's fetch: i0 + 2 moving up, i0 - 1 moving down.
        const std::int32_t fetchRow = lanes.i[first + k] + (Direction > 0 ? 2 : -1);
        steady.slot[k] = static_cast<std::ptrdiff_t>(fetchRow - firstRow) * kBandColumns + first + k;
    }
}

// A steady row, `moved` slots on from row 1's.
template <int Direction>
inline __m128i SteadyRowSse2(const GroupSse2& group, CarrySse2& carry, const SteadySse2& steady, const PixelBGRA* rows,
                             std::ptrdiff_t moved) {
    const __m128i fetched = FourPixelsSse2(rows[steady.slot[0] + moved], rows[steady.slot[1] + moved],
                                           rows[steady.slot[2] + moved], rows[steady.slot[3] + moved]);
    const __m128i first = Direction > 0 ? carry.shared : fetched;
    const __m128i second = Direction > 0 ? fetched : carry.shared;
    carry.shared = fetched;
    return FinishSse2(group, first, second, steady.t01, steady.u01, steady.t23, steady.u23);
}

template <int Direction>
void BandRowsSse2Carrying(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0,
                          std::int32_t y1, PixelBGRA* out, std::ptrdiff_t outStride) {
    constexpr int kGroups = kBandColumns / 4;
    GroupSse2 groups[kGroups];
    CarrySse2 carries[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        groups[g] = LoadGroupSse2(band, 4 * g);
        // Rows are never negative: no row follows on from these.
        carries[g].index = _mm_set1_epi32(-10);
        carries[g].shared = _mm_setzero_si128();
    }
    const __m128i last = _mm_set1_epi32(h - 1);
    // y as a double: a whole number, so stepping it by one is exact.
    __m128d y = _mm_set1_pd(static_cast<double>(y0));
    const __m128d one = _mm_set1_pd(1.0);
    // Every lane of every group blends: only then are whole rows steady.
    bool allBlended = true;
    for (int g = 0; g < kGroups; ++g) allBlended = allBlended && groups[g].blended;
    for (std::int32_t r = y0; r < y1;) {
        for (int g = 0; g < kGroups; ++g) {
            __m128i pixels;
            if (groups[g].blended) {
                pixels = GroupRowSse2<Direction>(groups[g], carries[g], y, rows + 4 * g, band.firstRow, last);
            } else {
                alignas(16) std::uint32_t bits[4];
                for (int k = 0; k < 4; ++k) {
                    bits[k] = BandPixel(band, 4 * g + k, rows, h, r) & band.keep[4 * g + k];
                }
                pixels = _mm_load_si128(reinterpret_cast<const __m128i*>(bits));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * g), pixels);
        }
        out += outStride, y = _mm_add_pd(y, one);
        const std::int32_t blockStart = r++;
        if (Direction == 0 || !allBlended) continue;
        // The rows after it, up to a block, with the weights of the first
        // when they keep them: only the pixels change from row to row.  Not
        // where a lane reaches the row below the image's last, which its
        // last row stands in for.
        SteadyLanes lanes;
        const int steps = SteadyRowsAfter(band, Direction, blockStart, y1, lanes);
        if (steps == 0) continue;
        if (Direction > 0 && FurthestRow<Direction>(band, lanes) + steps + 1 >= band.endRow) continue;
        SteadySse2 steady[kGroups];
        for (int g = 0; g < kGroups; ++g) StartSteadySse2<Direction>(lanes, 4 * g, band.firstRow, steady[g]);
        std::ptrdiff_t moved = 0;
        CopyAhead<Direction> ahead(band, lanes);
        for (int j = 1; j <= steps; ++j, ++r, out += outStride, moved += Direction * kBandColumns) {
            ahead.Next(rows);
            for (int g = 0; g < kGroups; ++g) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * g),
                                 SteadyRowSse2<Direction>(groups[g], carries[g], steady[g], rows, moved));
            }
        }
        // The rows the general path follows on from.
        for (int g = 0; g < kGroups; ++g) {
            carries[g].index = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes.i + 4 * g)),
                                             _mm_set1_epi32(Direction * steps));
        }
        y = _mm_set1_pd(static_cast<double>(r));
    }
}

}  // namespace

void BandRowsSse2(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0, std::int32_t y1,
                  PixelBGRA* out, std::ptrdiff_t outStride) {
    switch (RowDirection(band)) {
        case 1:
            BandRowsSse2Carrying<1>(band, rows, h, y0, y1, out, outStride);
            break;
        case -1:
            BandRowsSse2Carrying<-1>(band, rows, h, y0, y1, out, outStride);
            break;
        default:
            BandRowsSse2Carrying<0>(band, rows, h, y0, y1, out, outStride);
            break;
    }
}

}  // namespace shear_detail
