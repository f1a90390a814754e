// The line kernels without vector instructions: each pixel's four channels
// kept together in the window, one output pixel at a time.  The build for
// processors without x86 vectors uses them at every level.
#include "shear/line_kernel_common.h"

namespace shear_detail {
namespace {

void WidenPixelMajor(const PixelBGRA* line, std::int32_t n, std::int32_t from, std::int32_t to, void* wide,
                     std::int32_t) {
    WidenScalar<PixelMajor>(line, from, to, wide);
    if (to == n) WidenEndSlot<PixelMajor>(wide, n);
}

}  // namespace

const LineKernels kScalarLineKernels = {
    false,
    sizeof(double),
    WidenPixelMajor,
    {BlendRunScalar<PositionMap::Identity, PixelMajor>, BlendRunScalar<PositionMap::AddLength, PixelMajor>,
     BlendRunScalar<PositionMap::SubtractLength, PixelMajor>, BlendRunScalar<PositionMap::MirrorBefore, PixelMajor>,
     BlendRunScalar<PositionMap::MirrorAfter, PixelMajor>},
};

}  // namespace shear_detail
