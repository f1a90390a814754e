// The portable part of the filter's run: the fill colour and the pass.
#pragma once

#include <cstdint>

#include "shear/passes.h"

// Asks the host for a value (code, data); the host's result.
using ClientQuery = std::int32_t (*)(std::int32_t code, void* data);

// The colour of the undefined area for `policy`: for mode 4 the host's
// drawing colour (code 1), for mode 5 its background colour (code 3), each
// opaque black / opaque white when the host does not write one; for other
// modes no query and transparent black.  With `transparent` set the alpha
// byte is cleared afterwards.
PixelBGRA ResolveFillColour(const UndefinedAreaPolicy& policy, ClientQuery query);

// The rectangle clipped to a width x height image.  False when there is no
// pass to run: null rect, width or height below 1.
bool ClipRectToImage(const ProcessRect* rect, std::int32_t width, std::int32_t height, ProcessRect& clipped);

// Runs the row pass (shapes 0..2) or the column pass (3..5) over the clipped
// rectangle; runs nothing for null images, a shape or mode outside 0..5, or
// when ClipRectToImage refuses.
// Returns whether a pass ran.
bool RunShearPass(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect* rect, std::int32_t width,
                  std::int32_t height, const ProgressSink& sink, const ParallelogramSettings& settings);
