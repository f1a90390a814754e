// The inner loops shared by the row and the column pass: one line of n
// contiguous source pixels, blended at shifted positions into contiguous
// output pixels.
//
// The line is blended in chunks.  Before a chunk is blended, the source
// pixels it reads are widened once into a small scratch window, one value per
// channel (doubles, or int32 that the AVX-512 kernel converts as it loads
// them), so that each output pixel costs a few loads, two multiplications,
// one addition and a truncating conversion per channel.  The slot after the
// line's last pixel holds a zero pixel: at q = n - 1 exactly the weight t is
// 1, and first * 1 + 0 * 0 is `first` exactly, as the interior sampler gives
// it, without a branch for the last pixel.
//
// Each vector level has its own kernels, in a source file of its own that is
// compiled for that instruction set (line_kernel_<level>.cpp); a pass picks
// one level's table once and hands it to every BlendSpan call.
#pragma once

#include <cstdint>

#include "shear/pixel.h"
#include "shear/vector_level.h"

namespace shear_detail {

// How an output position p = c + offset becomes the interior position q that
// is sampled: unchanged (the interior), or moved back into the line by the
// Repeat and Fold modes, with the very operations of their samplers.
enum class PositionMap {
    Identity,        // q = p
    AddLength,       // q = p + n          (Repeat, before the line)
    SubtractLength,  // q = p - n          (Repeat, after it)
    MirrorBefore,    // q = -p - 1         (Fold, before the line)
    MirrorAfter,     // q = (2n - p) - 1   (Fold, after it)
};
constexpr int kPositionMapCount = 5;

// Values per widened pixel.
constexpr int kChannels = 4;

// Output pixels blended per chunk: each chunk widens just the source pixels
// it reads into a small window, which stays in the first-level cache.
constexpr std::int32_t kChunkPixels = 512;

// One vector level's kernels (see line_kernel_table.h).
struct LineKernels;

// The kernels the passes use at `level`.  A build without x86 vectors has
// only the scalar kernels and gives them for every level.
const LineKernels& LineKernelsFor(VectorLevel level);

// Bytes of scratch BlendSpan needs (a 64-byte aligned block).
std::uint64_t WideScratchBytes();

// For c in [from, to): p = (double)c + offset, q = map(p), i = trunc(q),
// t = (i + 1) - q, and out[c - from] = BlendPixels(line[i], t, line[i + 1])
// ANDed with `keep`; at q = n - 1 exactly t is 1 and line[n] is not read.
// Every q must lie in 0 .. n - 1.
void BlendSpan(const LineKernels& kernels, PositionMap map, const PixelBGRA* line, std::int32_t n, double offset,
               std::int32_t from, std::int32_t to, std::uint32_t keep, PixelBGRA* out, double* scratch);

}  // namespace shear_detail
