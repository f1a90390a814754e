// BlendSpan: a run of output pixels in chunks, each chunk's source pixels
// widened into the window and then blended, by the kernels of one level.
#include "shear/line_kernel.h"

#include <algorithm>

#include "shear/line_kernel_common.h"

namespace shear_detail {
namespace {

// The mapped position of coordinate c, as the kernels compute it.
double MappedPosition(PositionMap map, std::int32_t n, double offset, std::int32_t c) {
    const double p = static_cast<double>(c) + offset;
    const double length = static_cast<double>(n);
    const double twice = static_cast<double>(2 * n);
    switch (map) {
        case PositionMap::Identity:
            return MapPosition<PositionMap::Identity>(p, length, twice);
        case PositionMap::AddLength:
            return MapPosition<PositionMap::AddLength>(p, length, twice);
        case PositionMap::SubtractLength:
            return MapPosition<PositionMap::SubtractLength>(p, length, twice);
        case PositionMap::MirrorBefore:
            return MapPosition<PositionMap::MirrorBefore>(p, length, twice);
        case PositionMap::MirrorAfter:
            return MapPosition<PositionMap::MirrorAfter>(p, length, twice);
    }
    return p;
}

// The widened window of a chunk whose source pixels start at index `lo`,
// addressed by absolute source index: slot k of it is k - lo slots into the
// scratch block, and planes are shifted so that the groups starting at
// `groupStart` load whole aligned blocks.  Only the window's own slots are
// ever touched, so the address is formed as an integer.
void* ChunkWindow(const LineKernels& kernels, double* scratch, std::int32_t lo, std::int32_t groupStart) {
    const std::ptrdiff_t values = kernels.planes ? ((lo - groupStart) & 7) - static_cast<std::ptrdiff_t>(lo)
                                                 : -static_cast<std::ptrdiff_t>(kChannels) * lo;
    const std::ptrdiff_t bytes = values * kernels.valueBytes;
    return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(scratch) + static_cast<std::uintptr_t>(bytes));
}

}  // namespace

const LineKernels& LineKernelsFor(VectorLevel level) {
#if PG_X86_VECTORS
    switch (level) {
        case VectorLevel::Avx512:
            return kAvx512LineKernels;
        case VectorLevel::Avx2:
            return kAvx2LineKernels;
        case VectorLevel::Baseline:
            return kSse2LineKernels;
    }
#endif
    (void)level;
    return kScalarLineKernels;
}

std::uint64_t WideScratchBytes() {
    return static_cast<std::uint64_t>(kChannels) * static_cast<std::uint64_t>(kPlaneStride) * sizeof(double);
}

void BlendSpan(const LineKernels& kernels, PositionMap map, const PixelBGRA* line, std::int32_t n, double offset,
               std::int32_t from, std::int32_t to, std::uint32_t keep, PixelBGRA* out, double* scratch) {
    const bool mirrored = map == PositionMap::MirrorBefore || map == PositionMap::MirrorAfter;
    const BlendRunFunction blend = kernels.blend[static_cast<int>(map)];
    for (std::int32_t chunkFrom = from; chunkFrom < to; chunkFrom += kChunkPixels) {
        const std::int32_t chunkTo = std::min(to, chunkFrom + kChunkPixels);
        // The mapped positions never decrease (or never increase) along a
        // run, so the chunk's ends bound the source pixels it reads.
        const double first = MappedPosition(map, n, offset, chunkFrom);
        const double last = MappedPosition(map, n, offset, chunkTo - 1);
        const std::int32_t lo = std::max(static_cast<std::int32_t>(std::min(first, last)), 0);
        const std::int32_t end = std::min(static_cast<std::int32_t>(std::max(first, last)) + 2, n);
        const std::int32_t groupStart = static_cast<std::int32_t>(first) - (mirrored ? 7 : 0);
        void* const wide = ChunkWindow(kernels, scratch, lo, groupStart);
        kernels.widen(line, n, lo, end, wide, mirrored ? -kChunkPixels : kChunkPixels);
        blend(wide, n, offset, chunkFrom, chunkTo, keep, out + (chunkFrom - from));
    }
}

}  // namespace shear_detail
