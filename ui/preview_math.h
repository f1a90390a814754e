// Arithmetic of the preview pane that needs no window: compositing over the
// checkerboard, the visible window along one axis, panning limits and the
// error text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shear/pixel.h"

// Pairs that the pane hands to the renderer.
struct PreviewPoint {
    std::int32_t x;
    std::int32_t y;
};
struct PreviewSize {
    std::int32_t width;
    std::int32_t height;
};

constexpr std::uint8_t kCheckerLight = 255;
constexpr std::uint8_t kCheckerDark = 192;

// `pixel`'s colour blended by `alpha` over the 8x8 checkerboard square that
// holds pane pixel (x, y); the square at (0, 0) is light.  Alpha byte 0.
PixelBGRA BlendOverChecker(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha);

// Stores BlendOverChecker(x, y, pixel, alpha) at pixels[y * width + x] when
// (x, y) lies in the width x height buffer; otherwise writes nothing and
// returns false.
bool StoreOverChecker(PixelBGRA* pixels, std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y,
                      const PixelBGRA& pixel, std::uint8_t alpha);

// Keeps a pan offset inside 0..imageExtent - paneExtent.  Where the image
// fits in the pane this yields imageExtent - paneExtent (zero or negative);
// the window computation then shows the image centred instead.
std::int32_t ClampScroll(std::int32_t scroll, std::int32_t imageExtent, std::int32_t paneExtent);

// The part of the image the pane shows along one axis.
struct AxisWindow {
    std::int32_t destination;  // pane coordinate of the first shown pixel
    std::int32_t source;       // image coordinate of the first shown pixel
    std::int32_t size;         // number of pixels shown
};

// Where the image fits, it is centred (an odd spare pixel goes to the far
// side) and `scroll` is reset to 0; otherwise the pane is filled from image
// coordinate `scroll`.
AxisWindow ComputeAxisWindow(bool fits, std::int32_t paneExtent, std::int32_t imageExtent, std::int32_t& scroll);

// The two-line text the pane shows once it has failed.
void FormatPreviewError(char* buffer, std::size_t capacity, std::int32_t error);
