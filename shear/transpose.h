// Copying a block of pixels with rows and columns exchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shear/pixel.h"

namespace shear_detail {

// dst[k * dstStride + r] = src[r * srcStride + k] for r < rows, k < columns,
// in 4 x 4 blocks.  The blocks are taken row block by row block of the
// source when `bySourceRows`, else column block by column block, so that the
// side that lives in the large image is walked along its rows.
void Transpose(const PixelBGRA* src, std::ptrdiff_t srcStride, std::int32_t rows, std::int32_t columns,
               PixelBGRA* dst, std::ptrdiff_t dstStride, bool bySourceRows);

// Transpose writes whole aligned pieces of the image with non-temporal
// stores; this makes them visible to everyone before the caller is told
// about the pixels they hold.
void FinishStreaming();

}  // namespace shear_detail
