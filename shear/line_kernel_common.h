// The scalar pieces every vector level's kernel file builds on: the mapped
// positions, the window layouts, and the per-pixel loops that blend what a
// vector group cannot (loop tails, groups whose source indices do not step by
// one).  Every level does, lane by lane, the operations of the scalar
// samplers in the same order (no fused multiply-add), so all of them give the
// same bits.
//
// Each kernel file is compiled for its own instruction set, so everything
// here has internal linkage: a copy compiled with AVX2 must never stand in
// for the SSE2 file's copy at link time.
#pragma once

#include <cstdint>

#include "shear/line_kernel_table.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
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

template <PositionMap M>
inline double MapPosition(double p, double length, double twice) {
    switch (M) {
        case PositionMap::Identity:
            return p;
        case PositionMap::AddLength:
            return p + length;
        case PositionMap::SubtractLength:
            return p - length;
        case PositionMap::MirrorBefore:
            return -p - 1.0;
        case PositionMap::MirrorAfter:
            return (twice - p) - 1.0;
    }
    return p;
}

// Indices of a group: expected i0 + k (or i0 - k for mirrored runs).
template <PositionMap M>
constexpr bool Descending() {
    return M == PositionMap::MirrorBefore || M == PositionMap::MirrorAfter;
}

inline std::uint8_t Channel(double first, double t, double second, double u) {
    return static_cast<std::uint8_t>(static_cast<int>(first * t + second * u));
}

// Where channel ch of widened pixel k lives, in either layout.
struct PixelMajor {
    using Element = double;
    static std::ptrdiff_t At(std::int32_t k, int ch) { return kChannels * static_cast<std::ptrdiff_t>(k) + ch; }
};
template <class T>
struct PlanesOf {
    using Element = T;
    static std::ptrdiff_t At(std::int32_t k, int ch) { return ch * kPlaneStride + k; }
};
// Planes of doubles (SSE2, AVX2), and planes of int32 that the AVX-512 kernel
// converts as it loads them: half the bytes to write and read per pixel.
using ChannelPlanes = PlanesOf<double>;
using IntPlanes = PlanesOf<std::int32_t>;

// BlendPixels of widened pixels i and i + 1 at weight t.
template <class Layout>
inline std::uint32_t BlendWide(const void* widened, std::int32_t i, double t) {
    const auto* wide = static_cast<const typename Layout::Element*>(widened);
    const double u = 1.0 - t;
    std::uint32_t bits = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        const double first = static_cast<double>(wide[Layout::At(i, ch)]);
        const double second = static_cast<double>(wide[Layout::At(i + 1, ch)]);
        bits |= static_cast<std::uint32_t>(Channel(first, t, second, u)) << (8 * ch);
    }
    return bits;
}

template <PositionMap M, class Layout>
void BlendRunScalar(const void* wide, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                    std::uint32_t keep, PixelBGRA* out) {
    const double length = static_cast<double>(n);
    const double twice = static_cast<double>(2 * n);
    for (std::int32_t c = from; c < to; ++c) {
        const double q = MapPosition<M>(static_cast<double>(c) + offset, length, twice);
        const std::int32_t i = static_cast<std::int32_t>(q);
        const std::uint32_t bits = BlendWide<Layout>(wide, i, static_cast<double>(i + 1) - q) & keep;
        __builtin_memcpy(&out[c - from], &bits, sizeof bits);
    }
}

template <class Layout>
void WidenScalar(const PixelBGRA* line, std::int32_t from, std::int32_t to, void* widened) {
    auto* wide = static_cast<typename Layout::Element*>(widened);
    for (std::int32_t k = from; k < to; ++k) {
        wide[Layout::At(k, 0)] = line[k].blue;
        wide[Layout::At(k, 1)] = line[k].green;
        wide[Layout::At(k, 2)] = line[k].red;
        wide[Layout::At(k, 3)] = line[k].alpha;
    }
}

// The zero pixel in slot n, after the line's last pixel.
template <class Layout>
void WidenEndSlot(void* widened, std::int32_t n) {
    auto* wide = static_cast<typename Layout::Element*>(widened);
    for (int ch = 0; ch < kChannels; ++ch) wide[Layout::At(n, ch)] = 0;
}

#if defined(__SSE2__)
// Asks for the source pixels `ahead` pixels from pixel k, which the next
// chunk will widen: the blending in between leaves the hardware too little
// time to fetch them unasked.  A prefetch never faults, so the address may
// lie outside the line; it is formed as an integer.
inline void PrefetchAhead(const PixelBGRA* line, std::int32_t k, std::int32_t ahead) {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(line + k) +
                                   static_cast<std::uintptr_t>(static_cast<std::ptrdiff_t>(ahead) * 4);
    _mm_prefetch(reinterpret_cast<const char*>(address), _MM_HINT_T0);
}
#endif

}  // namespace
}  // namespace shear_detail
