// What each vector level's kernel file provides: the widening of a line's
// source pixels into the scratch window, and one blending loop per position
// map, with the layout of the window they share.
#pragma once

#include <cstdint>

#include "shear/line_kernel.h"
#include "shear/pixel.h"
#include "shear/x86_vectors.h"

namespace shear_detail {

// Widens source pixels [from, to) of the line into the window `wide`
// (addressed by source index), and the zero pixel at slot n when to == n.
// `ahead` is where the next chunk's source pixels lie, relative to these.
using WidenFunction = void (*)(const PixelBGRA* line, std::int32_t n, std::int32_t from, std::int32_t to, void* wide,
                               std::int32_t ahead);

// BlendSpan's work for output pixels [from, to) of one chunk whose source
// pixels are already in the window.
using BlendRunFunction = void (*)(const void* wide, std::int32_t n, double offset, std::int32_t from, std::int32_t to,
                                  std::uint32_t keep, PixelBGRA* out);

struct LineKernels {
    // The window holds one plane per channel (value k of channel ch at
    // ch * kPlaneStride + k), or else each pixel's channels together (at
    // kChannels * k + ch); each value takes valueBytes bytes.
    bool planes;
    std::int32_t valueBytes;
    WidenFunction widen;
    BlendRunFunction blend[kPositionMapCount];  // indexed by PositionMap
};

// Values per channel plane.  A chunk of kChunkPixels output pixels reads at
// most kChunkPixels + 2 neighbouring source pixels, slot n may follow them,
// and the planes are shifted by up to seven slots for alignment.  (The
// AVX-512 kernel also reads up to fourteen slots past a group's last one,
// into the next plane or the rest of the block, which is sized for doubles
// while its planes hold int32; those values are used only when widened.)
constexpr std::ptrdiff_t kPlaneStride = kChunkPixels + 16;

// Pixels of each channel together, in doubles: the build without x86 vectors
// (built everywhere, so that the tests check it on x86 too).
extern const LineKernels kScalarLineKernels;
// The x86 kernel files are built only for x86 targets, each with its own
// instruction-set flags.
#if PG_X86_VECTORS
// Planes of doubles, two pixels of one channel per register.
extern const LineKernels kSse2LineKernels;
// Planes of doubles, four pixels per register.
extern const LineKernels kAvx2LineKernels;
// Planes of int32 converted as they are loaded, eight pixels per register.
extern const LineKernels kAvx512LineKernels;
#endif

}  // namespace shear_detail
