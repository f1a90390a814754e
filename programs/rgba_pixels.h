// Image files hold pixels as red, green, blue, alpha bytes; the engine's
// pixels are blue, green, red, alpha.  These convert between the two.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shear/pixel.h"

namespace programs {

// `count` pixels from RGBA bytes (4 * count of them).
void PixelsFromRgba(const std::uint8_t* rgba, std::size_t count, PixelBGRA* pixels);

// `count` pixels to RGBA bytes (4 * count of them).
void RgbaFromPixels(const PixelBGRA* pixels, std::size_t count, std::uint8_t* rgba);

// Converts `count` pixels in place, either way: RGBA bytes become the
// engine's pixels and the engine's pixels become RGBA bytes.
void SwapRedAndBlue(PixelBGRA* pixels, std::size_t count);

}  // namespace programs
