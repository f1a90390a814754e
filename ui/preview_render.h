// The preview's rendering of one window of the image, written pixel by pixel
// into a sink (the preview pane, or a plain buffer in tests).
#pragma once

#include <cstdint>

#include "shear/passes.h"
#include "ui/preview_math.h"

// Whatever receives the rendered pixels, in pane coordinates.  `alpha` is
// always the pixel's own alpha byte.
class PixelSink {
public:
    virtual ~PixelSink() = default;
    virtual void PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) = 0;
};

// The image the preview reads: width x height pixels, row stride width.
struct PreviewImage {
    const PixelBGRA* pixels;
    std::int32_t width;
    std::int32_t height;
};

// One window to render: `size` pixels of the image from `source` go to the
// sink from `destination` on.  The caller keeps the window inside the image.
struct PreviewWindow {
    PreviewPoint destination;
    PreviewPoint source;
    PreviewSize size;
};

// What the shear preview needs beyond the window.  `mask` is the host's
// selection mask (one byte per image pixel, 0xFF = not selected) or null.
struct PreviewShear {
    ProcessRect bounds;  // the selection's bounding box; amplitude and profile follow it
    const std::uint8_t* mask;
    std::int32_t shape;      // ShapeKind
    std::int32_t dimension;  // -100..100
    UndefinedAreaPolicy policy;
};

// The window's pixels unchanged.
void RenderUnchanged(PixelSink& sink, const PreviewImage& image, const PreviewWindow& window);

// The row shear (shapes 0..2) and the column shear (shapes 3..5) of the
// window.  Same pixels as the final passes over `bounds`, except that an
// unselected pixel stays unchanged, an outside-region pixel with the
// transparent option is all zero, and a position too far off the image for
// the samplers (possible only on lines beyond `bounds`) shows the pixel
// unchanged rather than reading outside the image.
void RenderRowShear(PixelSink& sink, const PreviewImage& image, const PreviewWindow& window, const PreviewShear& shear);
void RenderColumnShear(PixelSink& sink, const PreviewImage& image, const PreviewWindow& window,
                       const PreviewShear& shear);
