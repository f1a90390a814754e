// The line kernels at each vector level.  Every level does, lane by lane, the
// operations of the scalar samplers in the same order (no fused
// multiply-add), so all of them give the same bits.
#include "shear/line_kernel.h"

#if defined(__GNUC__) && defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#define PG_X86_VECTORS 1
#include <immintrin.h>
// GCC 12's AVX-512 headers start some intrinsics from an "undefined" register
// and then warn about it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// On 32-bit Windows the stack is only 4-byte aligned when a function is
// entered; the functions that use wide registers align it themselves.
#if defined(__i386__)
#define PG_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define PG_ALIGN_STACK
#endif

namespace shear_detail {
namespace {

// ---- scalar: the loop tails -----------------------------------------------------

template <PositionMap M>
inline double MapPosition(double p, double length, double twice) {
    switch (M) {
        case PositionMap::Identity: return p;
        case PositionMap::AddLength: return p + length;
        case PositionMap::SubtractLength: return p - length;
        case PositionMap::MirrorBefore: return -p - 1.0;
        case PositionMap::MirrorAfter: return (twice - p) - 1.0;
    }
    return p;
}

inline std::uint8_t Channel(double first, double t, double second, double u) {
    return static_cast<std::uint8_t>(static_cast<int>(first * t + second * u));
}

// BlendPixels of widened pixels i and i + 1 at weight t.
inline PixelBGRA BlendWide(const double* wide, std::int32_t i, double t) {
    const double u = 1.0 - t;
    const double* a = wide + kChannels * static_cast<std::ptrdiff_t>(i);
    const double* b = a + kChannels;
    return PixelBGRA{Channel(a[0], t, b[0], u), Channel(a[1], t, b[1], u), Channel(a[2], t, b[2], u),
                     Channel(a[3], t, b[3], u)};
}

template <PositionMap M>
void BlendRunScalar(const double* wide, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                    std::uint32_t keep, PixelBGRA* out) {
    const double length = static_cast<double>(n);
    const double twice = static_cast<double>(2 * n);
    for (std::int32_t c = from; c < to; ++c) {
        const double q = MapPosition<M>(static_cast<double>(c) + offset, length, twice);
        const std::int32_t i = static_cast<std::int32_t>(q);
        const PixelBGRA pixel = BlendWide(wide, i, static_cast<double>(i + 1) - q);
        std::uint32_t bits;
        __builtin_memcpy(&bits, &pixel, sizeof bits);
        bits &= keep;
        __builtin_memcpy(&out[c - from], &bits, sizeof bits);
    }
}

void WidenScalar(const PixelBGRA* line, std::int32_t from, std::int32_t to, double* wide) {
    for (std::int32_t k = from; k < to; ++k) {
        double* d = wide + kChannels * static_cast<std::ptrdiff_t>(k);
        d[0] = line[k].blue, d[1] = line[k].green, d[2] = line[k].red, d[3] = line[k].alpha;
    }
}

#if PG_X86_VECTORS

// ---- SSE2: two doubles per register, four pixels per group ---------------------

template <PositionMap M>
inline __m128d MapPosition(__m128d p, __m128d length, __m128d twice) {
    const __m128d one = _mm_set1_pd(1.0);
    switch (M) {
        case PositionMap::Identity: return p;
        case PositionMap::AddLength: return _mm_add_pd(p, length);
        case PositionMap::SubtractLength: return _mm_sub_pd(p, length);
        case PositionMap::MirrorBefore: return _mm_sub_pd(_mm_xor_pd(p, _mm_set1_pd(-0.0)), one);
        case PositionMap::MirrorAfter: return _mm_sub_pd(_mm_sub_pd(twice, p), one);
    }
    return p;
}

// One pixel's four channels as int32: blend of the widened pixel at `a` and
// the next one.
inline __m128i BlendOneSse2(const double* a, __m128d t, __m128d u) {
    const __m128d blueGreen = _mm_add_pd(_mm_mul_pd(_mm_load_pd(a), t), _mm_mul_pd(_mm_load_pd(a + 4), u));
    const __m128d redAlpha = _mm_add_pd(_mm_mul_pd(_mm_load_pd(a + 2), t), _mm_mul_pd(_mm_load_pd(a + 6), u));
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(blueGreen), _mm_cvttpd_epi32(redAlpha));
}

// Four pixels of int32 channels to sixteen bytes.  Channels are 0..255, so the
// saturating packs never saturate.
inline __m128i PackFour(__m128i p0, __m128i p1, __m128i p2, __m128i p3) {
    return _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
}

template <PositionMap M>
void BlendRunSse2(const double* wide, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                  std::uint32_t keep, PixelBGRA* out) {
    const __m128d off = _mm_set1_pd(offset);
    const __m128d length = _mm_set1_pd(static_cast<double>(n));
    const __m128d twice = _mm_set1_pd(static_cast<double>(2 * n));
    const __m128d one = _mm_set1_pd(1.0);
    const __m128i oneInt = _mm_set1_epi32(1);
    const __m128i keepMask = _mm_set1_epi32(static_cast<int>(keep));
    std::int32_t c = from;
    for (; c + 4 <= to; c += 4) {
        const __m128d base = _mm_set1_pd(static_cast<double>(c));
        const __m128d q01 = MapPosition<M>(_mm_add_pd(_mm_add_pd(base, _mm_set_pd(1.0, 0.0)), off), length, twice);
        const __m128d q23 = MapPosition<M>(_mm_add_pd(_mm_add_pd(base, _mm_set_pd(3.0, 2.0)), off), length, twice);
        const __m128i i01 = _mm_cvttpd_epi32(q01);
        const __m128i i23 = _mm_cvttpd_epi32(q23);
        const __m128d t01 = _mm_sub_pd(_mm_cvtepi32_pd(_mm_add_epi32(i01, oneInt)), q01);
        const __m128d t23 = _mm_sub_pd(_mm_cvtepi32_pd(_mm_add_epi32(i23, oneInt)), q23);
        const __m128d u01 = _mm_sub_pd(one, t01);
        const __m128d u23 = _mm_sub_pd(one, t23);
        const double* a0 = wide + kChannels * static_cast<std::ptrdiff_t>(_mm_cvtsi128_si32(i01));
        const double* a1 = wide + kChannels * static_cast<std::ptrdiff_t>(_mm_cvtsi128_si32(_mm_srli_si128(i01, 4)));
        const double* a2 = wide + kChannels * static_cast<std::ptrdiff_t>(_mm_cvtsi128_si32(i23));
        const double* a3 = wide + kChannels * static_cast<std::ptrdiff_t>(_mm_cvtsi128_si32(_mm_srli_si128(i23, 4)));
        const __m128i p0 = BlendOneSse2(a0, _mm_unpacklo_pd(t01, t01), _mm_unpacklo_pd(u01, u01));
        const __m128i p1 = BlendOneSse2(a1, _mm_unpackhi_pd(t01, t01), _mm_unpackhi_pd(u01, u01));
        const __m128i p2 = BlendOneSse2(a2, _mm_unpacklo_pd(t23, t23), _mm_unpacklo_pd(u23, u23));
        const __m128i p3 = BlendOneSse2(a3, _mm_unpackhi_pd(t23, t23), _mm_unpackhi_pd(u23, u23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (c - from)),
                         _mm_and_si128(PackFour(p0, p1, p2, p3), keepMask));
    }
    BlendRunScalar<M>(wide, n, offset, c, to, keep, out + (c - from));
}

void WidenSse2(const PixelBGRA* line, std::int32_t from, std::int32_t to, double* wide) {
    const __m128i zero = _mm_setzero_si128();
    std::int32_t k = from;
    for (; k + 4 <= to; k += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + k));
        const __m128i low = _mm_unpacklo_epi8(bytes, zero);
        const __m128i high = _mm_unpackhi_epi8(bytes, zero);
        const __m128i pixels[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                                   _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
        double* d = wide + kChannels * static_cast<std::ptrdiff_t>(k);
        for (int j = 0; j < 4; ++j) {
            _mm_store_pd(d + 4 * j, _mm_cvtepi32_pd(pixels[j]));
            _mm_store_pd(d + 4 * j + 2, _mm_cvtepi32_pd(_mm_srli_si128(pixels[j], 8)));
        }
    }
    WidenScalar(line, k, to, wide);
}

// ---- AVX2: one pixel's four channels per register, four pixels per group -------

template <PositionMap M>
__attribute__((target("avx2"))) inline __m256d MapPosition(__m256d p, __m256d length, __m256d twice) {
    const __m256d one = _mm256_set1_pd(1.0);
    switch (M) {
        case PositionMap::Identity: return p;
        case PositionMap::AddLength: return _mm256_add_pd(p, length);
        case PositionMap::SubtractLength: return _mm256_sub_pd(p, length);
        case PositionMap::MirrorBefore: return _mm256_sub_pd(_mm256_xor_pd(p, _mm256_set1_pd(-0.0)), one);
        case PositionMap::MirrorAfter: return _mm256_sub_pd(_mm256_sub_pd(twice, p), one);
    }
    return p;
}

__attribute__((target("avx2"))) inline __m128i BlendOneAvx2(const double* a, __m256d t, __m256d u) {
    return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(_mm256_load_pd(a), t), _mm256_mul_pd(_mm256_load_pd(a + 4), u)));
}

template <PositionMap M>
PG_ALIGN_STACK __attribute__((target("avx2"))) void BlendRunAvx2(const double* wide, std::int32_t n, double offset,
                                                                 std::int32_t from, std::int32_t to,
                                                                 std::uint32_t keep, PixelBGRA* out) {
    const __m256d off = _mm256_set1_pd(offset);
    const __m256d length = _mm256_set1_pd(static_cast<double>(n));
    const __m256d twice = _mm256_set1_pd(static_cast<double>(2 * n));
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d steps = _mm256_set_pd(3.0, 2.0, 1.0, 0.0);
    const __m128i oneInt = _mm_set1_epi32(1);
    const __m128i keepMask = _mm_set1_epi32(static_cast<int>(keep));
    std::int32_t c = from;
    for (; c + 4 <= to; c += 4) {
        const __m256d p = _mm256_add_pd(_mm256_add_pd(_mm256_set1_pd(static_cast<double>(c)), steps), off);
        const __m256d q = MapPosition<M>(p, length, twice);
        const __m128i i = _mm256_cvttpd_epi32(q);
        const __m256d t = _mm256_sub_pd(_mm256_cvtepi32_pd(_mm_add_epi32(i, oneInt)), q);
        const __m256d u = _mm256_sub_pd(one, t);
        const __m128i offsets = _mm_slli_epi32(i, 2);  // kChannels doubles per pixel
        const double* a0 = wide + _mm_cvtsi128_si32(offsets);
        const double* a1 = wide + _mm_extract_epi32(offsets, 1);
        const double* a2 = wide + _mm_extract_epi32(offsets, 2);
        const double* a3 = wide + _mm_extract_epi32(offsets, 3);
        const __m128i p0 = BlendOneAvx2(a0, _mm256_permute4x64_pd(t, 0x00), _mm256_permute4x64_pd(u, 0x00));
        const __m128i p1 = BlendOneAvx2(a1, _mm256_permute4x64_pd(t, 0x55), _mm256_permute4x64_pd(u, 0x55));
        const __m128i p2 = BlendOneAvx2(a2, _mm256_permute4x64_pd(t, 0xAA), _mm256_permute4x64_pd(u, 0xAA));
        const __m128i p3 = BlendOneAvx2(a3, _mm256_permute4x64_pd(t, 0xFF), _mm256_permute4x64_pd(u, 0xFF));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (c - from)),
                         _mm_and_si128(PackFour(p0, p1, p2, p3), keepMask));
    }
    // The rest of the engine is SSE2 code, which would pay for upper halves
    // of the wide registers left dirty.
    _mm256_zeroupper();
    BlendRunScalar<M>(wide, n, offset, c, to, keep, out + (c - from));
}

PG_ALIGN_STACK __attribute__((target("avx2"))) void WidenAvx2(const PixelBGRA* line, std::int32_t from,
                                                              std::int32_t to, double* wide) {
    std::int32_t k = from;
    for (; k + 2 <= to; k += 2) {
        const __m256i channels = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + k)));
        double* d = wide + kChannels * static_cast<std::ptrdiff_t>(k);
        _mm256_store_pd(d, _mm256_cvtepi32_pd(_mm256_castsi256_si128(channels)));
        _mm256_store_pd(d + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(channels, 1)));
    }
    _mm256_zeroupper();
    WidenScalar(line, k, to, wide);
}

// ---- AVX-512: two pixels per register, eight pixels per group ------------------

#define PG_AVX512 "avx512f,avx512bw,avx512dq,avx512vl,avx2"

template <PositionMap M>
__attribute__((target(PG_AVX512))) inline __m512d MapPosition(__m512d p, __m512d length, __m512d twice) {
    const __m512d one = _mm512_set1_pd(1.0);
    switch (M) {
        case PositionMap::Identity: return p;
        case PositionMap::AddLength: return _mm512_add_pd(p, length);
        case PositionMap::SubtractLength: return _mm512_sub_pd(p, length);
        case PositionMap::MirrorBefore: return _mm512_sub_pd(_mm512_xor_pd(p, _mm512_set1_pd(-0.0)), one);
        case PositionMap::MirrorAfter: return _mm512_sub_pd(_mm512_sub_pd(twice, p), one);
    }
    return p;
}

// Two pixels' channels as eight int32: `first` holds the left neighbours of
// both, `second` the right ones, each weight repeated over its pixel's lanes.
__attribute__((target(PG_AVX512))) inline __m256i BlendTwo(__m512d first, __m512d second, __m512d t, __m512d u) {
    return _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(first, t), _mm512_mul_pd(second, u)));
}

__attribute__((target(PG_AVX512))) inline __m512d LoadTwo(const double* a, const double* b) {
    return _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_load_pd(a)), _mm256_load_pd(b), 1);
}

// Four pixels of int32 channels (two registers of two) to sixteen bytes.
__attribute__((target(PG_AVX512))) inline __m128i PackFourWide(__m256i p01, __m256i p23) {
    return _mm512_cvtepi32_epi8(_mm512_inserti64x4(_mm512_castsi256_si512(p01), p23, 1));
}

template <PositionMap M>
PG_ALIGN_STACK __attribute__((target(PG_AVX512))) void BlendRunAvx512(const double* wide, std::int32_t n,
                                                                      double offset, std::int32_t from,
                                                                      std::int32_t to, std::uint32_t keep,
                                                                      PixelBGRA* out) {
    const __m512d off = _mm512_set1_pd(offset);
    const __m512d length = _mm512_set1_pd(static_cast<double>(n));
    const __m512d twice = _mm512_set1_pd(static_cast<double>(2 * n));
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d steps = _mm512_set_pd(7.0, 6.0, 5.0, 4.0, 3.0, 2.0, 1.0, 0.0);
    const __m256i oneInt = _mm256_set1_epi32(1);
    const __m256i consecutive = _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i keepMask = _mm256_set1_epi32(static_cast<int>(keep));
    // Lanes of pixel 2j then 2j + 1, four each.
    const __m512i pair0 = _mm512_set_epi64(1, 1, 1, 1, 0, 0, 0, 0);
    const __m512i pair1 = _mm512_set_epi64(3, 3, 3, 3, 2, 2, 2, 2);
    const __m512i pair2 = _mm512_set_epi64(5, 5, 5, 5, 4, 4, 4, 4);
    const __m512i pair3 = _mm512_set_epi64(7, 7, 7, 7, 6, 6, 6, 6);
    alignas(32) std::int32_t index[8];
    std::int32_t c = from;
    for (; c + 8 <= to; c += 8) {
        const __m512d p = _mm512_add_pd(_mm512_add_pd(_mm512_set1_pd(static_cast<double>(c)), steps), off);
        const __m512d q = MapPosition<M>(p, length, twice);
        const __m256i i = _mm512_cvttpd_epi32(q);
        const __m512d t = _mm512_sub_pd(_mm512_cvtepi32_pd(_mm256_add_epi32(i, oneInt)), q);
        const __m512d u = _mm512_sub_pd(one, t);
        _mm256_store_si256(reinterpret_cast<__m256i*>(index), i);
        __m256i p01, p23, p45, p67;
        const __m256i expected = _mm256_add_epi32(_mm256_set1_epi32(index[0]), consecutive);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(i, expected)) == -1) {
            // Sources i0, i0 + 1, ..: pixel pairs lie side by side already.
            const double* a = wide + kChannels * static_cast<std::ptrdiff_t>(index[0]);
            p01 = BlendTwo(_mm512_loadu_pd(a), _mm512_loadu_pd(a + 4), _mm512_permutexvar_pd(pair0, t), _mm512_permutexvar_pd(pair0, u));
            p23 = BlendTwo(_mm512_loadu_pd(a + 8), _mm512_loadu_pd(a + 12), _mm512_permutexvar_pd(pair1, t), _mm512_permutexvar_pd(pair1, u));
            p45 = BlendTwo(_mm512_loadu_pd(a + 16), _mm512_loadu_pd(a + 20), _mm512_permutexvar_pd(pair2, t), _mm512_permutexvar_pd(pair2, u));
            p67 = BlendTwo(_mm512_loadu_pd(a + 24), _mm512_loadu_pd(a + 28), _mm512_permutexvar_pd(pair3, t), _mm512_permutexvar_pd(pair3, u));
        } else {
            const double* a[8];
            for (int k = 0; k < 8; ++k) a[k] = wide + kChannels * static_cast<std::ptrdiff_t>(index[k]);
            p01 = BlendTwo(LoadTwo(a[0], a[1]), LoadTwo(a[0] + 4, a[1] + 4), _mm512_permutexvar_pd(pair0, t), _mm512_permutexvar_pd(pair0, u));
            p23 = BlendTwo(LoadTwo(a[2], a[3]), LoadTwo(a[2] + 4, a[3] + 4), _mm512_permutexvar_pd(pair1, t), _mm512_permutexvar_pd(pair1, u));
            p45 = BlendTwo(LoadTwo(a[4], a[5]), LoadTwo(a[4] + 4, a[5] + 4), _mm512_permutexvar_pd(pair2, t), _mm512_permutexvar_pd(pair2, u));
            p67 = BlendTwo(LoadTwo(a[6], a[7]), LoadTwo(a[6] + 4, a[7] + 4), _mm512_permutexvar_pd(pair3, t), _mm512_permutexvar_pd(pair3, u));
        }
        const __m256i bytes = _mm256_set_m128i(PackFourWide(p45, p67), PackFourWide(p01, p23));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + (c - from)), _mm256_and_si256(bytes, keepMask));
    }
    _mm256_zeroupper();
    BlendRunScalar<M>(wide, n, offset, c, to, keep, out + (c - from));
}

PG_ALIGN_STACK __attribute__((target(PG_AVX512))) void WidenAvx512(const PixelBGRA* line, std::int32_t from,
                                                                   std::int32_t to, double* wide) {
    std::int32_t k = from;
    for (; k + 4 <= to; k += 4) {
        const __m512i channels = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + k)));
        double* d = wide + kChannels * static_cast<std::ptrdiff_t>(k);
        _mm512_storeu_pd(d, _mm512_cvtepi32_pd(_mm512_castsi512_si256(channels)));
        _mm512_storeu_pd(d + 8, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(channels, 1)));
    }
    _mm256_zeroupper();
    WidenScalar(line, k, to, wide);
}

#endif  // PG_X86_VECTORS

using RunFunction = void (*)(const double*, std::int32_t, double, std::int32_t, std::int32_t, std::uint32_t,
                             PixelBGRA*);

template <PositionMap M>
RunFunction RunFor(VectorLevel level) {
#if PG_X86_VECTORS
    switch (level) {
        case VectorLevel::Avx512: return BlendRunAvx512<M>;
        case VectorLevel::Avx2: return BlendRunAvx2<M>;
        case VectorLevel::Baseline: return BlendRunSse2<M>;
    }
#endif
    (void)level;
    return BlendRunScalar<M>;
}

}  // namespace

void WidenPixels(VectorLevel level, const PixelBGRA* line, std::int32_t from, std::int32_t to, double* wide) {
#if PG_X86_VECTORS
    switch (level) {
        case VectorLevel::Avx512: WidenAvx512(line, from, to, wide); return;
        case VectorLevel::Avx2: WidenAvx2(line, from, to, wide); return;
        case VectorLevel::Baseline: WidenSse2(line, from, to, wide); return;
    }
#endif
    (void)level;
    WidenScalar(line, from, to, wide);
}

void BlendRun(VectorLevel level, PositionMap map, const double* wide, std::int32_t n, double offset,
              std::int32_t from, std::int32_t to, std::uint32_t keep, PixelBGRA* out) {
    if (from >= to) return;
    RunFunction run = nullptr;
    switch (map) {
        case PositionMap::Identity: run = RunFor<PositionMap::Identity>(level); break;
        case PositionMap::AddLength: run = RunFor<PositionMap::AddLength>(level); break;
        case PositionMap::SubtractLength: run = RunFor<PositionMap::SubtractLength>(level); break;
        case PositionMap::MirrorBefore: run = RunFor<PositionMap::MirrorBefore>(level); break;
        case PositionMap::MirrorAfter: run = RunFor<PositionMap::MirrorAfter>(level); break;
    }
    run(wide, n, offset, from, to, keep, out);
}

double MappedPosition(PositionMap map, std::int32_t n, double offset, std::int32_t c) {
    const double p = static_cast<double>(c) + offset;
    const double length = static_cast<double>(n);
    const double twice = static_cast<double>(2 * n);
    switch (map) {
        case PositionMap::Identity: return MapPosition<PositionMap::Identity>(p, length, twice);
        case PositionMap::AddLength: return MapPosition<PositionMap::AddLength>(p, length, twice);
        case PositionMap::SubtractLength: return MapPosition<PositionMap::SubtractLength>(p, length, twice);
        case PositionMap::MirrorBefore: return MapPosition<PositionMap::MirrorBefore>(p, length, twice);
        case PositionMap::MirrorAfter: return MapPosition<PositionMap::MirrorAfter>(p, length, twice);
    }
    return p;
}

}  // namespace shear_detail
