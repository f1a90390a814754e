#include "shear/transpose.h"

#include <algorithm>

#include "shear/x86_vectors.h"

#if PG_X86_VECTORS
#include <emmintrin.h>
#endif

namespace shear_detail {

void FinishStreaming() {
#if PG_X86_VECTORS
    _mm_sfence();
#endif
}

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

}  // namespace shear_detail
