// The SSE2 line kernels: the baseline every supported x86 machine has (the
// 32-bit build requires it).  The window holds planes of doubles; a group is
// four output pixels, two of one channel per register.
#include <emmintrin.h>

#include "shear/line_kernel_common.h"

namespace shear_detail {
namespace {

template <PositionMap M>
inline __m128d MapPosition(__m128d p, __m128d length, __m128d twice) {
    const __m128d one = _mm_set1_pd(1.0);
    switch (M) {
        case PositionMap::Identity:
            return p;
        case PositionMap::AddLength:
            return _mm_add_pd(p, length);
        case PositionMap::SubtractLength:
            return _mm_sub_pd(p, length);
        case PositionMap::MirrorBefore:
            return _mm_sub_pd(_mm_xor_pd(p, _mm_set1_pd(-0.0)), one);
        case PositionMap::MirrorAfter:
            return _mm_sub_pd(_mm_sub_pd(twice, p), one);
    }
    return p;
}

// One channel of the group's four pixels from the planes' slots
// base .. base + 4: the left neighbours weigh t, the right ones u, lane by
// lane, in two halves.  Along an interior, Repeat or Fold run the source
// index of neighbouring output pixels nearly always steps by exactly one
// (upwards, or downwards for Fold's mirrored runs); a group whose indices do
// not step so goes through the scalar loop.
inline __m128i BlendChannelSse2(const double* base, __m128d t01, __m128d u01, __m128d t23, __m128d u23) {
    const __m128d low = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(base), t01), _mm_mul_pd(_mm_loadu_pd(base + 1), u01));
    const __m128d high = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(base + 2), t23), _mm_mul_pd(_mm_loadu_pd(base + 3), u23));
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
}

template <PositionMap M>
void BlendRunSse2(const void* widened, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                  std::uint32_t keep, PixelBGRA* out) {
    const double* wide = static_cast<const double*>(widened);
    const std::ptrdiff_t stride = kPlaneStride;
    const __m128d off = _mm_set1_pd(offset);
    const __m128d length = _mm_set1_pd(static_cast<double>(n));
    const __m128d twice = _mm_set1_pd(static_cast<double>(2 * n));
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d four = _mm_set1_pd(4.0);
    const __m128i lanes = _mm_set_epi32(3, 2, 1, 0);
    const __m128i oneInt = _mm_set1_epi32(1);
    const __m128i keepMask = _mm_set1_epi32(static_cast<int>(keep));
    // c + 0 .. c + 3 as doubles: whole numbers, so stepping them by 4 is exact.
    __m128d c01 = _mm_add_pd(_mm_set1_pd(static_cast<double>(from)), _mm_set_pd(1.0, 0.0));
    __m128d c23 = _mm_add_pd(_mm_set1_pd(static_cast<double>(from)), _mm_set_pd(3.0, 2.0));
    std::int32_t c = from;
    for (; c + 4 <= to; c += 4, c01 = _mm_add_pd(c01, four), c23 = _mm_add_pd(c23, four)) {
        const __m128d q01 = MapPosition<M>(_mm_add_pd(c01, off), length, twice);
        const __m128d q23 = MapPosition<M>(_mm_add_pd(c23, off), length, twice);
        const __m128i i = _mm_unpacklo_epi64(_mm_cvttpd_epi32(q01), _mm_cvttpd_epi32(q23));
        const std::int32_t i0 = _mm_cvtsi128_si32(i);
        const __m128i expected =
            Descending<M>() ? _mm_sub_epi32(_mm_set1_epi32(i0), lanes) : _mm_add_epi32(_mm_set1_epi32(i0), lanes);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(i, expected)) != 0xFFFF) {
            BlendRunScalar<M, ChannelPlanes>(wide, n, offset, c, c + 4, keep, out + (c - from));
            continue;
        }
        const __m128i next = _mm_add_epi32(i, oneInt);
        __m128d t01 = _mm_sub_pd(_mm_cvtepi32_pd(next), q01);
        __m128d t23 = _mm_sub_pd(_mm_cvtepi32_pd(_mm_srli_si128(next, 8)), q23);
        if (Descending<M>()) {
            // Slots in ascending order: the weights reversed, the finished
            // pixels reversed back below.
            const __m128d reversed01 = _mm_shuffle_pd(t23, t23, 1);
            t23 = _mm_shuffle_pd(t01, t01, 1);
            t01 = reversed01;
        }
        const __m128d u01 = _mm_sub_pd(one, t01);
        const __m128d u23 = _mm_sub_pd(one, t23);
        const double* base = wide + (Descending<M>() ? i0 - 3 : i0);
        const __m128i blue = BlendChannelSse2(base, t01, u01, t23, u23);
        const __m128i green = BlendChannelSse2(base + stride, t01, u01, t23, u23);
        const __m128i red = BlendChannelSse2(base + 2 * stride, t01, u01, t23, u23);
        const __m128i alpha = BlendChannelSse2(base + 3 * stride, t01, u01, t23, u23);
        __m128i pixels = _mm_or_si128(_mm_or_si128(blue, _mm_slli_epi32(green, 8)),
                                      _mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(alpha, 24)));
        if (Descending<M>()) pixels = _mm_shuffle_epi32(pixels, 0x1B);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (c - from)), _mm_and_si128(pixels, keepMask));
    }
    BlendRunScalar<M, ChannelPlanes>(wide, n, offset, c, to, keep, out + (c - from));
}

// Four pixels' values of one channel into its plane (16-byte aligned).
inline void StoreChannelSse2(double* plane, __m128i values) {
    _mm_store_pd(plane, _mm_cvtepi32_pd(values));
    _mm_store_pd(plane + 2, _mm_cvtepi32_pd(_mm_srli_si128(values, 8)));
}

void WidenSse2(const PixelBGRA* line, std::int32_t n, std::int32_t from, std::int32_t to, void* widened,
               std::int32_t ahead) {
    double* wide = static_cast<double*>(widened);
    const std::ptrdiff_t stride = kPlaneStride;
    const __m128i low = _mm_set1_epi32(0xFF);
    // Whole 16-byte pieces of each plane from here on.
    std::int32_t k = from;
    while (k < to && reinterpret_cast<std::uintptr_t>(wide + k) % 16 != 0) ++k;
    WidenScalar<ChannelPlanes>(line, from, k, wide);
    for (; k + 4 <= to; k += 4) {
        if (k % 16 == 0) PrefetchAhead(line, k, ahead);
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + k));
        double* plane = wide + k;
        StoreChannelSse2(plane, _mm_and_si128(pixels, low));
        StoreChannelSse2(plane + stride, _mm_and_si128(_mm_srli_epi32(pixels, 8), low));
        StoreChannelSse2(plane + 2 * stride, _mm_and_si128(_mm_srli_epi32(pixels, 16), low));
        StoreChannelSse2(plane + 3 * stride, _mm_srli_epi32(pixels, 24));
    }
    WidenScalar<ChannelPlanes>(line, k, to, wide);
    if (to == n) WidenEndSlot<ChannelPlanes>(wide, n);
}

}  // namespace

const LineKernels kSse2LineKernels = {
    true,
    sizeof(double),
    WidenSse2,
    {BlendRunSse2<PositionMap::Identity>, BlendRunSse2<PositionMap::AddLength>,
     BlendRunSse2<PositionMap::SubtractLength>, BlendRunSse2<PositionMap::MirrorBefore>,
     BlendRunSse2<PositionMap::MirrorAfter>},
};

}  // namespace shear_detail
