#include "programs/rgba_pixels.h"

namespace programs {

void PixelsFromRgba(const std::uint8_t* rgba, std::size_t count, PixelBGRA* pixels) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = rgba + i * 4;
        pixels[i] = PixelBGRA{p[2], p[1], p[0], p[3]};
    }
}

void RgbaFromPixels(const PixelBGRA* pixels, std::size_t count, std::uint8_t* rgba) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* p = rgba + i * 4;
        p[0] = pixels[i].red;
        p[1] = pixels[i].green;
        p[2] = pixels[i].blue;
        p[3] = pixels[i].alpha;
    }
}

void SwapRedAndBlue(PixelBGRA* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t first = pixels[i].blue;
        pixels[i].blue = pixels[i].red;
        pixels[i].red = first;
    }
}

}  // namespace programs
