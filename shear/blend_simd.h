// BlendPixels for two neighbouring source pixels, with SSE2 doubles.
//
// The arithmetic is the scalar blend's, operation for operation: each byte is
// converted exactly to double, multiplied by t (first) or u = 1 - t (second),
// the two products are added, and the sum is truncated toward zero.  SSE2
// simply does two channels per instruction; every lane is rounded exactly as
// the scalar code rounds, so the result is the same bit for bit.
#pragma once

#include <cstdint>
#include <cstring>

#include "shear/pixel.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace shear_detail {

inline std::uint32_t ToBits(const PixelBGRA& pixel) {
    std::uint32_t bits;
    std::memcpy(&bits, &pixel, sizeof bits);
    return bits;
}

inline PixelBGRA FromBits(std::uint32_t bits) {
    PixelBGRA pixel;
    std::memcpy(&pixel, &bits, sizeof pixel);
    return pixel;
}

#if defined(__SSE2__)

// The pair in the low eight bytes of a vector: `first` in bytes 0..3,
// `second` in bytes 4..7.
using PixelPair = __m128i;

inline PixelPair LoadAdjacentPair(const PixelBGRA* first) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(first));
}

inline PixelPair LoadPair(const PixelBGRA* first, const PixelBGRA* second) {
    return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(ToBits(*first))),
                              _mm_cvtsi32_si128(static_cast<int>(ToBits(*second))));
}

// BlendPixels(first, t, second) of the pair, as the pixel's 32 bits.
inline std::uint32_t BlendPair(PixelPair pair, double t) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i words = _mm_unpacklo_epi8(pair, zero);
    const __m128i first = _mm_unpacklo_epi16(words, zero);   // b g r a of first, as int32
    const __m128i second = _mm_unpackhi_epi16(words, zero);  // b g r a of second
    const __m128d weightFirst = _mm_set1_pd(t);
    const __m128d weightSecond = _mm_set1_pd(1.0 - t);
    // Blue and green, then red and alpha.
    const __m128d low = _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(first), weightFirst),
                                   _mm_mul_pd(_mm_cvtepi32_pd(second), weightSecond));
    const __m128d high =
        _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(first, 8)), weightFirst),
                   _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(second, 8)), weightSecond));
    // Truncation toward zero; every channel is within 0..255, so the
    // saturating packs below never saturate.
    __m128i channels = _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
    channels = _mm_packs_epi32(channels, channels);
    channels = _mm_packus_epi16(channels, channels);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(channels));
}

#else  // portable fallback: the scalar blend itself

struct PixelPair {
    PixelBGRA first, second;
};

inline PixelPair LoadAdjacentPair(const PixelBGRA* first) { return PixelPair{first[0], first[1]}; }

inline PixelPair LoadPair(const PixelBGRA* first, const PixelBGRA* second) {
    return PixelPair{*first, *second};
}

inline std::uint32_t BlendPair(const PixelPair& pair, double t) {
    return ToBits(BlendPixels(pair.first, t, pair.second));
}

#endif

}  // namespace shear_detail
