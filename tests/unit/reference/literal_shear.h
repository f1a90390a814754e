// A deliberately plain, line-by-line rendition of the shear: per-pixel
// classification, the undefined-area samplers written out as one switch over
// (region, mode), its own blend, amplitude and offset profiles.  It shares
// only the plain data types with the engine and calls none of its functions,
// so a wrong entry in the engine's tables or a slip in its fast paths shows up
// as a difference.  Slow on purpose; used by the differential test and as the
// baseline of the benchmarks.
#pragma once

#include <cstdint>

#include "shear/passes.h"

namespace literal {

void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w, std::int32_t h,
               const ProgressSink& sink, const ParallelogramSettings& settings);

void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w,
                  std::int32_t h, const ProgressSink& sink, const ParallelogramSettings& settings);

}  // namespace literal
