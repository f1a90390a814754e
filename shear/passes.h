// The row and column shear passes that produce the filter's result.
#pragma once

#include <cstdint>

#include "plugin/host_abi.h"
#include "shear/pixel.h"
#include "shear/profiles.h"
#include "shear/samplers.h"

// The filter's parameters, as the settings file holds them.
struct ParallelogramSettings {
    std::int32_t shape;      // ShapeKind
    std::int32_t dimension;  // percent, -100..100
    UndefinedAreaPolicy policy;
    std::int32_t preview;    // the dialog's preview checkbox
};

// Shifts every row of `rect` sideways (shapes 0..2).  Reads the whole source,
// writes only destination pixels inside `rect`, and reports progress after
// every row.  Preconditions: rect inside the w x h image, mode 0..5,
// dimension -100..100, source and destination distinct w x h buffers.
void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
               std::int32_t w, std::int32_t h, const ProgressSink& sink,
               const ParallelogramSettings& settings);

// The same for columns shifted vertically (shapes 3..5).
void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
                  std::int32_t w, std::int32_t h, const ProgressSink& sink,
                  const ParallelogramSettings& settings);
