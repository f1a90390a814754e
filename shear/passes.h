// The row and column shear passes that produce the filter's result.
#pragma once

#include <cstdint>

#include "plugin/host_abi.h"
#include "shear/pixel.h"
#include "shear/profiles.h"
#include "shear/samplers.h"

// The filter's parameters, as the settings file holds them.
struct ParallelogramSettings {
    std::int32_t shape;      // the value of a ShapeKind
    std::int32_t dimension;  // percent, -100..100
    UndefinedAreaPolicy policy;
    std::int32_t preview;  // the dialog's preview checkbox
};

// Shifts every row of `rect` sideways with the offset profile of
// settings.shape (a row shape).  Reads the whole source, writes only
// destination pixels inside `rect`, and reports progress after every row.
// Preconditions: rect inside the w x h image, dimension -100..100, source
// and destination distinct w x h buffers.  A mode that names no
// UndefinedAreaMode is taken as EdgePixel; a shape that names no ShapeKind
// writes and reports nothing.
void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w, std::int32_t h,
               const ProgressSink& sink, const ParallelogramSettings& settings);

// The same for columns shifted vertically (the column shapes).
void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w,
                  std::int32_t h, const ProgressSink& sink, const ParallelogramSettings& settings);

// The filter's shear of `rect`: ShearRows for a row shape, ShearColumns for a
// column shape.  False, with nothing written or reported, when settings.shape
// names no ShapeKind.
bool ShearRectangle(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w,
                    std::int32_t h, const ProgressSink& sink, const ParallelogramSettings& settings);
