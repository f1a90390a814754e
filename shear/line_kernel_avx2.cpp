// The AVX2 line kernels, compiled for AVX2 (without FMA: every product is
// rounded before it is added).  The window holds planes of doubles; a group
// is four output pixels, one channel per register.
#include <immintrin.h>

#include "shear/line_kernel_common.h"

namespace shear_detail {
namespace {

// Channel planes, one channel of several pixels per register.  Along an
// interior, Repeat or Fold run the source index of neighbouring output pixels
// nearly always steps by exactly one (upwards, or downwards for Fold's
// mirrored runs), so the left neighbours of a group are one unaligned load
// from each plane and the right neighbours the load one slot further.  A group
// whose indices do not step so (p lands within a rounding error of a whole
// number) goes through the scalar loop.

template <PositionMap M>
inline __m256d MapPosition(__m256d p, __m256d length, __m256d twice) {
    const __m256d one = _mm256_set1_pd(1.0);
    switch (M) {
        case PositionMap::Identity:
            return p;
        case PositionMap::AddLength:
            return _mm256_add_pd(p, length);
        case PositionMap::SubtractLength:
            return _mm256_sub_pd(p, length);
        case PositionMap::MirrorBefore:
            return _mm256_sub_pd(_mm256_xor_pd(p, _mm256_set1_pd(-0.0)), one);
        case PositionMap::MirrorAfter:
            return _mm256_sub_pd(_mm256_sub_pd(twice, p), one);
    }
    return p;
}

// One channel of the group's four pixels: the planes' slots base .. base + 4
// give the left and right neighbours, lane by lane in the order of t and u.
// (For mirrored runs the caller passes t and u reversed and reverses the
// finished pixels: each lane still does the very same operations, with two
// permutations per group instead of eight.)
inline __m128i BlendChannelAvx2(const double* base, __m256d t, __m256d u) {
    const __m256d first = _mm256_loadu_pd(base);
    const __m256d second = _mm256_loadu_pd(base + 1);
    return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(first, t), _mm256_mul_pd(second, u)));
}

template <PositionMap M>
PG_ALIGN_STACK void BlendRunAvx2(const void* widened, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                                 std::uint32_t keep, PixelBGRA* out) {
    const double* wide = static_cast<const double*>(widened);
    const std::ptrdiff_t stride = kPlaneStride;
    const __m256d off = _mm256_set1_pd(offset);
    const __m256d length = _mm256_set1_pd(static_cast<double>(n));
    const __m256d twice = _mm256_set1_pd(static_cast<double>(2 * n));
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d steps = _mm256_set_pd(3.0, 2.0, 1.0, 0.0);
    const __m128i lanes = _mm_set_epi32(3, 2, 1, 0);
    const __m128i oneInt = _mm_set1_epi32(1);
    const __m128i keepMask = _mm_set1_epi32(static_cast<int>(keep));
    const __m256d four = _mm256_set1_pd(4.0);
    const __m128i fourInt = _mm_set1_epi32(4);
    // Indices are never negative: no group follows on from these.
    const __m128i noIndices = _mm_set1_epi32(-1);
    __m128i nextIndices = noIndices;
    std::int32_t i0 = 0;
    // c + 0 .. c + 3 as doubles: whole numbers, so stepping them by 4 is exact.
    __m256d coordinates = _mm256_add_pd(_mm256_set1_pd(static_cast<double>(from)), steps);
    std::int32_t c = from;
    for (; c + 4 <= to; c += 4, coordinates = _mm256_add_pd(coordinates, four)) {
        const __m256d p = _mm256_add_pd(coordinates, off);
        const __m256d q = MapPosition<M>(p, length, twice);
        const __m128i i = _mm256_cvttpd_epi32(q);
        // As in the AVX-512 kernel: indices that are the previous group's
        // moved by four are consecutive too.
        const bool followsOn = _mm_movemask_epi8(_mm_cmpeq_epi32(i, nextIndices)) == 0xFFFF;
        nextIndices = Descending<M>() ? _mm_sub_epi32(i, fourInt) : _mm_add_epi32(i, fourInt);
        if (followsOn) {
            i0 += Descending<M>() ? -4 : 4;
        } else {
            i0 = _mm_cvtsi128_si32(i);
            const __m128i expected =
                Descending<M>() ? _mm_sub_epi32(_mm_set1_epi32(i0), lanes) : _mm_add_epi32(_mm_set1_epi32(i0), lanes);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(i, expected)) != 0xFFFF) {
                nextIndices = noIndices;
                BlendRunScalar<M, ChannelPlanes>(wide, n, offset, c, c + 4, keep, out + (c - from));
                continue;
            }
        }
        __m256d t = _mm256_sub_pd(_mm256_cvtepi32_pd(_mm_add_epi32(i, oneInt)), q);
        __m256d u = _mm256_sub_pd(one, t);
        if (Descending<M>()) {
            t = _mm256_permute4x64_pd(t, 0x1B);
            u = _mm256_permute4x64_pd(u, 0x1B);
        }
        const double* base = wide + (Descending<M>() ? i0 - 3 : i0);
        const __m128i blue = BlendChannelAvx2(base, t, u);
        const __m128i green = BlendChannelAvx2(base + stride, t, u);
        const __m128i red = BlendChannelAvx2(base + 2 * stride, t, u);
        const __m128i alpha = BlendChannelAvx2(base + 3 * stride, t, u);
        __m128i pixels = _mm_or_si128(_mm_or_si128(blue, _mm_slli_epi32(green, 8)),
                                      _mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(alpha, 24)));
        if (Descending<M>()) pixels = _mm_shuffle_epi32(pixels, 0x1B);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (c - from)), _mm_and_si128(pixels, keepMask));
    }
    // The rest of the engine is SSE2 code, which would pay for upper halves
    // of the wide registers left dirty.
    _mm256_zeroupper();
    BlendRunScalar<M, ChannelPlanes>(wide, n, offset, c, to, keep, out + (c - from));
}

// Eight pixels' values of one channel into its plane (32-byte aligned).
inline void StoreChannelAvx2(double* plane, __m256i values) {
    _mm256_store_pd(plane, _mm256_cvtepi32_pd(_mm256_castsi256_si128(values)));
    _mm256_store_pd(plane + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(values, 1)));
}

PG_ALIGN_STACK void WidenAvx2(const PixelBGRA* line, std::int32_t n, std::int32_t from, std::int32_t to, void* widened,
                              std::int32_t ahead) {
    double* wide = static_cast<double*>(widened);
    const std::ptrdiff_t stride = kPlaneStride;
    const __m256i low = _mm256_set1_epi32(0xFF);
    // Whole 64-byte blocks of each plane from here on.
    std::int32_t k = from;
    while (k < to && reinterpret_cast<std::uintptr_t>(wide + k) % 64 != 0) ++k;
    WidenScalar<ChannelPlanes>(line, from, k, wide);
    for (; k + 8 <= to; k += 8) {
        if (k % 16 == 0) PrefetchAhead(line, k, ahead);
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + k));
        double* plane = wide + k;
        StoreChannelAvx2(plane, _mm256_and_si256(pixels, low));
        StoreChannelAvx2(plane + stride, _mm256_and_si256(_mm256_srli_epi32(pixels, 8), low));
        StoreChannelAvx2(plane + 2 * stride, _mm256_and_si256(_mm256_srli_epi32(pixels, 16), low));
        StoreChannelAvx2(plane + 3 * stride, _mm256_srli_epi32(pixels, 24));
    }
    _mm256_zeroupper();
    WidenScalar<ChannelPlanes>(line, k, to, wide);
    if (to == n) WidenEndSlot<ChannelPlanes>(wide, n);
}

}  // namespace

const LineKernels kAvx2LineKernels = {
    true,
    sizeof(double),
    WidenAvx2,
    {BlendRunAvx2<PositionMap::Identity>, BlendRunAvx2<PositionMap::AddLength>,
     BlendRunAvx2<PositionMap::SubtractLength>, BlendRunAvx2<PositionMap::MirrorBefore>,
     BlendRunAvx2<PositionMap::MirrorAfter>},
};

}  // namespace shear_detail
