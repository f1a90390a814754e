// The line kernels at each vector level.  Every level does, lane by lane, the
// operations of the scalar samplers in the same order (no fused
// multiply-add), so all of them give the same bits.
#include "shear/line_kernel.h"

#include <algorithm>
#include <limits>

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

// Doubles per channel plane.  A chunk of kChunkPixels output pixels reads at
// most kChunkPixels + 2 neighbouring source pixels, slot n may follow them,
// and the planes are shifted by up to seven slots for alignment.  (The
// AVX-512 kernel also reads up to fourteen slots past a group's last one,
// into the next plane or the rest of the block, which is sized for doubles
// while its planes hold int32; those values are used only when widened.)
inline std::ptrdiff_t PlaneStride(std::int32_t) { return kChunkPixels + 16; }

// Where channel ch of widened pixel k lives, in either layout.
struct PixelMajor {
    using Element = double;
    explicit PixelMajor(std::int32_t) {}
    std::ptrdiff_t At(std::int32_t k, int ch) const { return kChannels * static_cast<std::ptrdiff_t>(k) + ch; }
};
template <class T>
struct PlanesOf {
    using Element = T;
    std::ptrdiff_t stride;
    explicit PlanesOf(std::int32_t n) : stride(PlaneStride(n)) {}
    std::ptrdiff_t At(std::int32_t k, int ch) const { return ch * stride + k; }
};
// Planes of doubles (AVX2), and planes of int32 that the AVX-512 kernel
// converts as it loads them: half the bytes to write and read per pixel.
using ChannelPlanes = PlanesOf<double>;
using IntPlanes = PlanesOf<std::int32_t>;

// BlendPixels of widened pixels i and i + 1 at weight t.
template <class Layout>
inline std::uint32_t BlendWide(const void* widened, const Layout& layout, std::int32_t i, double t) {
    const auto* wide = static_cast<const typename Layout::Element*>(widened);
    const double u = 1.0 - t;
    std::uint32_t bits = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        const double first = static_cast<double>(wide[layout.At(i, ch)]);
        const double second = static_cast<double>(wide[layout.At(i + 1, ch)]);
        bits |= static_cast<std::uint32_t>(Channel(first, t, second, u)) << (8 * ch);
    }
    return bits;
}

template <PositionMap M, class Layout>
void BlendRunScalar(const void* wide, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                    std::uint32_t keep, PixelBGRA* out) {
    const Layout layout(n);
    const double length = static_cast<double>(n);
    const double twice = static_cast<double>(2 * n);
    for (std::int32_t c = from; c < to; ++c) {
        const double q = MapPosition<M>(static_cast<double>(c) + offset, length, twice);
        const std::int32_t i = static_cast<std::int32_t>(q);
        const std::uint32_t bits = BlendWide(wide, layout, i, static_cast<double>(i + 1) - q) & keep;
        __builtin_memcpy(&out[c - from], &bits, sizeof bits);
    }
}

template <class Layout>
void WidenScalar(const PixelBGRA* line, std::int32_t n, std::int32_t from, std::int32_t to, void* widened) {
    auto* wide = static_cast<typename Layout::Element*>(widened);
    const Layout layout(n);
    for (std::int32_t k = from; k < to; ++k) {
        wide[layout.At(k, 0)] = line[k].blue;
        wide[layout.At(k, 1)] = line[k].green;
        wide[layout.At(k, 2)] = line[k].red;
        wide[layout.At(k, 3)] = line[k].alpha;
    }
}

#if PG_X86_VECTORS

// Asks for the source pixels `ahead` pixels from pixel k, which the next
// chunk will widen: the blending in between leaves the hardware too little
// time to fetch them unasked.  A prefetch never faults, so the address may
// lie outside the line; it is formed as an integer.
inline void PrefetchAhead(const PixelBGRA* line, std::int32_t k, std::int32_t ahead) {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(line + k) +
                                   static_cast<std::uintptr_t>(static_cast<std::ptrdiff_t>(ahead) * 4);
    _mm_prefetch(reinterpret_cast<const char*>(address), _MM_HINT_T0);
}

// ---- SSE2: the position arithmetic ------------------------------------------------

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

// SSE2 reads the same double planes as AVX2 (see below), two pixels of one
// channel per register.

// One channel of the group's four pixels from the planes' slots
// base .. base + 4; t and u as for BlendChannelAvx2, in two halves.
inline __m128i BlendChannelSse2(const double* base, __m128d t01, __m128d u01, __m128d t23, __m128d u23) {
    const __m128d low = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(base), t01), _mm_mul_pd(_mm_loadu_pd(base + 1), u01));
    const __m128d high = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(base + 2), t23), _mm_mul_pd(_mm_loadu_pd(base + 3), u23));
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
}

// ---- the wider levels: channel planes, one channel of several pixels per
// register.  Along an interior, Repeat or Fold run the source index of
// neighbouring output pixels nearly always steps by exactly one (upwards, or
// downwards for Fold's mirrored runs), so the left neighbours of a group are
// one unaligned load from each plane and the right neighbours the load one
// slot further.  A group whose indices do not step so (p lands within a
// rounding error of a whole number) goes through the scalar loop.

// Indices of a group: expected i0 + k (or i0 - k for mirrored runs).
template <PositionMap M>
constexpr bool Descending() {
    return M == PositionMap::MirrorBefore || M == PositionMap::MirrorAfter;
}

// ---- AVX2: four pixels per group -----------------------------------------------

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

// One channel of the group's four pixels: the planes' slots base .. base + 4
// give the left and right neighbours, lane by lane in the order of t and u.
// (For mirrored runs the caller passes t and u reversed and reverses the
// finished pixels: each lane still does the very same operations, with two
// permutations per group instead of eight.)
__attribute__((target("avx2"))) inline __m128i BlendChannelAvx2(const double* base, __m256d t, __m256d u) {
    const __m256d first = _mm256_loadu_pd(base);
    const __m256d second = _mm256_loadu_pd(base + 1);
    return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(first, t), _mm256_mul_pd(second, u)));
}

template <PositionMap M>
PG_ALIGN_STACK __attribute__((target("avx2"))) void BlendRunAvx2(const void* widened, std::int32_t n, double offset,
                                                                 std::int32_t from, std::int32_t to,
                                                                 std::uint32_t keep, PixelBGRA* out) {
    const double* wide = static_cast<const double*>(widened);
    const std::ptrdiff_t stride = PlaneStride(n);
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
            const __m128i expected = Descending<M>() ? _mm_sub_epi32(_mm_set1_epi32(i0), lanes)
                                                     : _mm_add_epi32(_mm_set1_epi32(i0), lanes);
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
__attribute__((target("avx2"))) inline void StoreChannelAvx2(double* plane, __m256i values) {
    _mm256_store_pd(plane, _mm256_cvtepi32_pd(_mm256_castsi256_si128(values)));
    _mm256_store_pd(plane + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(values, 1)));
}

PG_ALIGN_STACK __attribute__((target("avx2"))) void WidenAvx2(const PixelBGRA* line, std::int32_t n,
                                                              std::int32_t from, std::int32_t to, void* widened,
                                                              std::int32_t ahead) {
    double* wide = static_cast<double*>(widened);
    const std::ptrdiff_t stride = PlaneStride(n);
    const __m256i low = _mm256_set1_epi32(0xFF);
    // Whole 64-byte blocks of each plane from here on.
    std::int32_t k = from;
    while (k < to && reinterpret_cast<std::uintptr_t>(wide + k) % 64 != 0) ++k;
    WidenScalar<ChannelPlanes>(line, n, from, k, wide);
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
    WidenScalar<ChannelPlanes>(line, n, k, to, wide);
}

// ---- SSE2: four pixels per group, in two halves ---------------------------------

template <PositionMap M>
void BlendRunSse2(const void* widened, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                  std::uint32_t keep, PixelBGRA* out) {
    const double* wide = static_cast<const double*>(widened);
    const std::ptrdiff_t stride = PlaneStride(n);
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
        const __m128i expected = Descending<M>() ? _mm_sub_epi32(_mm_set1_epi32(i0), lanes)
                                                 : _mm_add_epi32(_mm_set1_epi32(i0), lanes);
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
    const std::ptrdiff_t stride = PlaneStride(n);
    const __m128i low = _mm_set1_epi32(0xFF);
    // Whole 16-byte pieces of each plane from here on.
    std::int32_t k = from;
    while (k < to && reinterpret_cast<std::uintptr_t>(wide + k) % 16 != 0) ++k;
    WidenScalar<ChannelPlanes>(line, n, from, k, wide);
    for (; k + 4 <= to; k += 4) {
        if (k % 16 == 0) PrefetchAhead(line, k, ahead);
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + k));
        double* plane = wide + k;
        StoreChannelSse2(plane, _mm_and_si128(pixels, low));
        StoreChannelSse2(plane + stride, _mm_and_si128(_mm_srli_epi32(pixels, 8), low));
        StoreChannelSse2(plane + 2 * stride, _mm_and_si128(_mm_srli_epi32(pixels, 16), low));
        StoreChannelSse2(plane + 3 * stride, _mm_srli_epi32(pixels, 24));
    }
    WidenScalar<ChannelPlanes>(line, n, k, to, wide);
}

// ---- AVX-512: eight pixels per group ---------------------------------------------

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

// Slots k .. k + 7 of a plane, as doubles.
__attribute__((target(PG_AVX512))) inline __m512d LoadPlaneAvx512(const std::int32_t* slots) {
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

// As BlendChannelAvx2, eight pixels wide, from the converted slots.
__attribute__((target(PG_AVX512))) inline __m256i BlendChannelAvx512(__m512d left, __m512d after, __m512d t,
                                                                     __m512d u) {
    const __m512d right = _mm512_castsi512_pd(_mm512_alignr_epi64(_mm512_castpd_si512(after), _mm512_castpd_si512(left), 1));
    return _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(left, t), _mm512_mul_pd(right, u)));
}

// The same from the slots themselves: base .. base + 7 and base + 1 .. base + 8.
__attribute__((target(PG_AVX512))) inline __m256i BlendNeighboursAvx512(const std::int32_t* base, __m512d t,
                                                                        __m512d u) {
    return _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(LoadPlaneAvx512(base), t),
                                             _mm512_mul_pd(LoadPlaneAvx512(base + 1), u)));
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
PG_ALIGN_STACK __attribute__((target(PG_AVX512))) void BlendRunAvx512(const void* widened, std::int32_t n,
                                                                      double offset, std::int32_t from,
                                                                      std::int32_t to, std::uint32_t keep,
                                                                      PixelBGRA* out) {
    const std::int32_t* wide = static_cast<const std::int32_t*>(widened);
    const std::ptrdiff_t stride = PlaneStride(n);
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
    const __m256i interleave = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,
                                                0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
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

PG_ALIGN_STACK __attribute__((target(PG_AVX512))) void WidenAvx512(const PixelBGRA* line, std::int32_t n,
                                                                   std::int32_t from, std::int32_t to, void* widened,
                                                                   std::int32_t ahead) {
    std::int32_t* wide = static_cast<std::int32_t*>(widened);
    const std::ptrdiff_t stride = PlaneStride(n);
    const __m512i low = _mm512_set1_epi32(0xFF);
    // Whole 64-byte blocks of each plane from here on.
    std::int32_t k = from;
    while (k < to && reinterpret_cast<std::uintptr_t>(wide + k) % 64 != 0) ++k;
    WidenScalar<IntPlanes>(line, n, from, k, wide);
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
    WidenScalar<IntPlanes>(line, n, k, to, wide);
}

#endif  // PG_X86_VECTORS

using RunFunction = void (*)(const void*, std::int32_t, double, std::int32_t, std::int32_t, std::uint32_t,
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
    return BlendRunScalar<M, PixelMajor>;
}


}  // namespace

std::uint64_t WideScratchBytes() {
    return static_cast<std::uint64_t>(kChannels) * static_cast<std::uint64_t>(PlaneStride(0)) * sizeof(double);
}

// AVX2 and SSE2 widen into planes of doubles; without vectors the window
// keeps each pixel's channels together.
static bool UsesDoublePlanes(VectorLevel level) {
#if PG_X86_VECTORS
    return level != VectorLevel::Avx512;
#else
    (void)level;
    return false;
#endif
}

// `ahead`: where the next chunk's source pixels lie, relative to this one's.
static void WidenPixels(VectorLevel level, const PixelBGRA* line, std::int32_t n, std::int32_t from, std::int32_t to,
                        void* wide, std::int32_t ahead) {
#if PG_X86_VECTORS
    switch (level) {
        case VectorLevel::Avx512: WidenAvx512(line, n, from, to, wide, ahead); break;
        case VectorLevel::Avx2: WidenAvx2(line, n, from, to, wide, ahead); break;
        case VectorLevel::Baseline: WidenSse2(line, n, from, to, wide, ahead); break;
    }
#else
    (void)ahead;
    WidenScalar<PixelMajor>(line, n, from, to, wide);
#endif
    if (to == n) {
        for (int ch = 0; ch < kChannels; ++ch) {
            if (level == VectorLevel::Avx512) {
                static_cast<std::int32_t*>(wide)[IntPlanes(n).At(n, ch)] = 0;
            } else if (UsesDoublePlanes(level)) {
                static_cast<double*>(wide)[ChannelPlanes(n).At(n, ch)] = 0.0;
            } else {
                static_cast<double*>(wide)[PixelMajor(n).At(n, ch)] = 0.0;
            }
        }
    }
}

static void BlendRun(VectorLevel level, PositionMap map, const void* wide, std::int32_t n, double offset,
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

double MappedPosition(PositionMap map, std::int32_t n, double offset, std::int32_t c);

// The widened window of a chunk whose source pixels start at index `lo`,
// addressed by absolute source index: slot k of it is k - lo slots into the
// scratch block, shifted so that the groups starting at `groupStart` load
// whole aligned blocks.  Only the window's own slots are ever touched, so
// the address is formed as an integer.
static void* ChunkWindow(VectorLevel level, double* scratch, std::int32_t lo, std::int32_t groupStart) {
    std::ptrdiff_t bytes;
    if (level == VectorLevel::Avx512) {
        bytes = (((lo - groupStart) & 7) - static_cast<std::ptrdiff_t>(lo)) * static_cast<std::ptrdiff_t>(sizeof(std::int32_t));
    } else if (UsesDoublePlanes(level)) {
        bytes = (((lo - groupStart) & 7) - static_cast<std::ptrdiff_t>(lo)) * static_cast<std::ptrdiff_t>(sizeof(double));
    } else {
        bytes = -static_cast<std::ptrdiff_t>(kChannels) * lo * static_cast<std::ptrdiff_t>(sizeof(double));
    }
    return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(scratch) + static_cast<std::uintptr_t>(bytes));
}

void BlendSpan(VectorLevel level, PositionMap map, const PixelBGRA* line, std::int32_t n, double offset,
               std::int32_t from, std::int32_t to, std::uint32_t keep, PixelBGRA* out, double* scratch) {
    const bool mirrored = map == PositionMap::MirrorBefore || map == PositionMap::MirrorAfter;
    for (std::int32_t chunkFrom = from; chunkFrom < to; chunkFrom += kChunkPixels) {
        const std::int32_t chunkTo = std::min(to, chunkFrom + kChunkPixels);
        // The mapped positions never decrease (or never increase) along a
        // run, so the chunk's ends bound the source pixels it reads.
        const double first = MappedPosition(map, n, offset, chunkFrom);
        const double last = MappedPosition(map, n, offset, chunkTo - 1);
        const std::int32_t lo = std::max(static_cast<std::int32_t>(std::min(first, last)), 0);
        const std::int32_t end = std::min(static_cast<std::int32_t>(std::max(first, last)) + 2, n);
        const std::int32_t groupStart = static_cast<std::int32_t>(first) - (mirrored ? 7 : 0);
        void* const wide = ChunkWindow(level, scratch, lo, groupStart);
        WidenPixels(level, line, n, lo, end, wide, mirrored ? -kChunkPixels : kChunkPixels);
        BlendRun(level, map, wide, n, offset, chunkFrom, chunkTo, keep, out + (chunkFrom - from));
    }
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
