// The AVX-512 line kernels, compiled for AVX-512 F, BW, DQ and VL (without
// FMA).  The window holds planes of int32, converted to doubles as they are
// loaded; a group is eight output pixels, one channel per register.
#include <immintrin.h>

#include <limits>

#include "shear/line_kernel_common.h"

// GCC 12's AVX-512 headers start some intrinsics from an "undefined" register
// and then warn about it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace shear_detail {
namespace {

template <PositionMap M>
inline __m512d MapPosition(__m512d p, __m512d length, __m512d twice) {
    const __m512d one = _mm512_set1_pd(1.0);
    switch (M) {
        case PositionMap::Identity:
            return p;
        case PositionMap::AddLength:
            return _mm512_add_pd(p, length);
        case PositionMap::SubtractLength:
            return _mm512_sub_pd(p, length);
        case PositionMap::MirrorBefore:
            return _mm512_sub_pd(_mm512_xor_pd(p, _mm512_set1_pd(-0.0)), one);
        case PositionMap::MirrorAfter:
            return _mm512_sub_pd(_mm512_sub_pd(twice, p), one);
    }
    return p;
}

// Slots k .. k + 7 of a plane, as doubles.
inline __m512d LoadPlaneAvx512(const std::int32_t* slots) {
    return _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(slots)));
}

// The eight left neighbours of a group in one channel, slots base .. base + 7,
// and the eight slots after them, converted to doubles.  The right
// neighbours are slots base + 1 .. base + 8, the two vectors shifted by one
// lane.  Consecutive groups nearly always lie eight slots apart (upwards, or
// downwards for mirrored runs), so one of the two vectors is the other one of
// the previous group: each group converts eight slots per channel, not
// sixteen.
struct NeighboursAvx512 {
    __m512d left[kChannels], after[kChannels];
};

// One channel of the group's eight pixels from the converted slots: the left
// neighbours weigh t and the right ones u, lane by lane (reversed for
// mirrored runs, as the caller reverses t and u).
inline __m256i BlendChannelAvx512(__m512d left, __m512d after, __m512d t, __m512d u) {
    const __m512d right =
        _mm512_castsi512_pd(_mm512_alignr_epi64(_mm512_castpd_si512(after), _mm512_castpd_si512(left), 1));
    return _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(left, t), _mm512_mul_pd(right, u)));
}

// The same from the slots themselves: base .. base + 7 and base + 1 .. base + 8.
inline __m256i BlendNeighboursAvx512(const std::int32_t* base, __m512d t, __m512d u) {
    return _mm512_cvttpd_epi32(
        _mm512_add_pd(_mm512_mul_pd(LoadPlaneAvx512(base), t), _mm512_mul_pd(LoadPlaneAvx512(base + 1), u)));
}

// Keeping the eight converted vectors from one group to the next needs more
// than the eight vector registers of 32-bit code: there they would live on
// the stack, and converting each group's slots afresh is cheaper.
#if defined(__x86_64__)
constexpr bool kKeepSlotsAvx512 = true;
#else
constexpr bool kKeepSlotsAvx512 = false;
#endif

template <PositionMap M>
PG_ALIGN_STACK void BlendRunAvx512(const void* widened, std::int32_t n, double offset, std::int32_t from,
                                   std::int32_t to, std::uint32_t keep, PixelBGRA* out) {
    const std::int32_t* wide = static_cast<const std::int32_t*>(widened);
    const std::ptrdiff_t stride = kPlaneStride;
    const __m512d off = _mm512_set1_pd(offset);
    const __m512d length = _mm512_set1_pd(static_cast<double>(n));
    const __m512d twice = _mm512_set1_pd(static_cast<double>(2 * n));
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d steps = _mm512_set_pd(7.0, 6.0, 5.0, 4.0, 3.0, 2.0, 1.0, 0.0);
    const __m256i lanes = _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i oneInt = _mm256_set1_epi32(1);
    const __m256i keepMask = _mm256_set1_epi32(static_cast<int>(keep));
    const __m512i reverse = _mm512_set_epi64(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i reversePixels = _mm256_set_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i interleave = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5,
                                                9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m512d eight = _mm512_set1_pd(8.0);
    // c + 0 .. c + 7 as doubles: whole numbers, so stepping them by 8 is exact.
    __m512d coordinates = _mm512_add_pd(_mm512_set1_pd(static_cast<double>(from)), steps);
    NeighboursAvx512 slots;
    // No previous group: a base no group's base is eight slots away from
    // (ptrdiff_t has 32 bits in the 32-bit build).
    std::ptrdiff_t lastBase = std::numeric_limits<std::ptrdiff_t>::min() / 2;
    // Indices are never negative: no group follows on from these.
    const __m256i noIndices = _mm256_set1_epi32(-1);
    const __m256i eightInt = _mm256_set1_epi32(8);
    __m256i nextIndices = noIndices;
    const __m512d minusEight = _mm512_set1_pd(-8.0);
    __m512d nextWhole = _mm512_setzero_pd();
    std::int32_t c = from;
    for (; c + 8 <= to; c += 8, coordinates = _mm512_add_pd(coordinates, eight)) {
        const __m512d p = _mm512_add_pd(coordinates, off);
        const __m512d q = MapPosition<M>(p, length, twice);
        const __m256i i = _mm512_cvttpd_epi32(q);
        // Nearly always the indices are the previous group's moved by eight,
        // which makes them consecutive too; only otherwise is lane 0 taken
        // out and all of them checked against it.
        const bool followsOn = _mm256_cmpeq_epi32_mask(i, nextIndices) == 0xFF;
        nextIndices = Descending<M>() ? _mm256_sub_epi32(i, eightInt) : _mm256_add_epi32(i, eightInt);
        std::ptrdiff_t baseSlot = Descending<M>() ? lastBase - 8 : lastBase + 8;
        // i + 1 as doubles: whole numbers, so moving them by eight is exact.
        nextWhole = _mm512_add_pd(nextWhole, Descending<M>() ? minusEight : eight);
        if (!followsOn) {
            const std::int32_t i0 = _mm_cvtsi128_si32(_mm256_castsi256_si128(i));
            const __m256i expected = Descending<M>() ? _mm256_sub_epi32(_mm256_set1_epi32(i0), lanes)
                                                     : _mm256_add_epi32(_mm256_set1_epi32(i0), lanes);
            if (_mm256_cmpeq_epi32_mask(i, expected) != 0xFF) {
                nextIndices = noIndices;
                BlendRunScalar<M, IntPlanes>(wide, n, offset, c, c + 8, keep, out + (c - from));
                continue;
            }
            baseSlot = Descending<M>() ? i0 - 7 : i0;
            nextWhole = _mm512_cvtepi32_pd(_mm256_add_epi32(i, oneInt));
        }
        __m512d t = _mm512_sub_pd(nextWhole, q);
        __m512d u = _mm512_sub_pd(one, t);
        if (Descending<M>()) {
            t = _mm512_permutexvar_pd(reverse, t);
            u = _mm512_permutexvar_pd(reverse, u);
        }
        const std::int32_t* base = wide + baseSlot;
        __m256i blue, green, red, alpha;
        if (kKeepSlotsAvx512) {
            if (baseSlot == lastBase + 8) {
                for (int ch = 0; ch < kChannels; ++ch) {
                    slots.left[ch] = slots.after[ch];
                    slots.after[ch] = LoadPlaneAvx512(base + ch * stride + 8);
                }
            } else if (baseSlot == lastBase - 8) {
                for (int ch = 0; ch < kChannels; ++ch) {
                    slots.after[ch] = slots.left[ch];
                    slots.left[ch] = LoadPlaneAvx512(base + ch * stride);
                }
            } else {
                for (int ch = 0; ch < kChannels; ++ch) {
                    slots.left[ch] = LoadPlaneAvx512(base + ch * stride);
                    slots.after[ch] = LoadPlaneAvx512(base + ch * stride + 8);
                }
            }
            blue = BlendChannelAvx512(slots.left[0], slots.after[0], t, u);
            green = BlendChannelAvx512(slots.left[1], slots.after[1], t, u);
            red = BlendChannelAvx512(slots.left[2], slots.after[2], t, u);
            alpha = BlendChannelAvx512(slots.left[3], slots.after[3], t, u);
        } else {
            // Each channel on its own: left and right neighbours loaded and
            // converted straight from their slots, nothing kept across groups.
            blue = BlendNeighboursAvx512(base, t, u);
            green = BlendNeighboursAvx512(base + stride, t, u);
            red = BlendNeighboursAvx512(base + 2 * stride, t, u);
            alpha = BlendNeighboursAvx512(base + 3 * stride, t, u);
        }
        // The base the next group's slots are checked against.
        lastBase = baseSlot;
        // Channels are 0..255, so the packs never saturate.  Each 128-bit
        // half then holds its four pixels' blues, greens, reds and alphas;
        // one byte shuffle puts each pixel's four together.
        const __m256i planar = _mm256_packus_epi16(_mm256_packus_epi32(blue, green), _mm256_packus_epi32(red, alpha));
        __m256i pixels = _mm256_shuffle_epi8(planar, interleave);
        if (Descending<M>()) pixels = _mm256_permutevar8x32_epi32(pixels, reversePixels);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + (c - from)), _mm256_and_si256(pixels, keepMask));
    }
    _mm256_zeroupper();
    BlendRunScalar<M, IntPlanes>(wide, n, offset, c, to, keep, out + (c - from));
}

PG_ALIGN_STACK void WidenAvx512(const PixelBGRA* line, std::int32_t n, std::int32_t from, std::int32_t to,
                                void* widened, std::int32_t ahead) {
    std::int32_t* wide = static_cast<std::int32_t*>(widened);
    const std::ptrdiff_t stride = kPlaneStride;
    const __m512i low = _mm512_set1_epi32(0xFF);
    // Whole 64-byte blocks of each plane from here on.
    std::int32_t k = from;
    while (k < to && reinterpret_cast<std::uintptr_t>(wide + k) % 64 != 0) ++k;
    WidenScalar<IntPlanes>(line, from, k, wide);
    for (; k + 16 <= to; k += 16) {
        PrefetchAhead(line, k, ahead);
        const __m512i pixels = _mm512_loadu_si512(line + k);
        std::int32_t* plane = wide + k;
        _mm512_store_si512(plane, _mm512_and_si512(pixels, low));
        _mm512_store_si512(plane + stride, _mm512_and_si512(_mm512_srli_epi32(pixels, 8), low));
        _mm512_store_si512(plane + 2 * stride, _mm512_and_si512(_mm512_srli_epi32(pixels, 16), low));
        _mm512_store_si512(plane + 3 * stride, _mm512_srli_epi32(pixels, 24));
    }
    _mm256_zeroupper();
    WidenScalar<IntPlanes>(line, k, to, wide);
    if (to == n) WidenEndSlot<IntPlanes>(wide, n);
}

}  // namespace

const LineKernels kAvx512LineKernels = {
    true,
    sizeof(std::int32_t),
    WidenAvx512,
    {BlendRunAvx512<PositionMap::Identity>, BlendRunAvx512<PositionMap::AddLength>,
     BlendRunAvx512<PositionMap::SubtractLength>, BlendRunAvx512<PositionMap::MirrorBefore>,
     BlendRunAvx512<PositionMap::MirrorAfter>},
};

}  // namespace shear_detail
