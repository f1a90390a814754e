// One 32-bit pixel and the linear blend of two pixels.
#pragma once

#include <cstdint>

// Bytes in memory: blue, green, red, alpha (0xAARRGGBB read little-endian).
struct PixelBGRA {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
    std::uint8_t alpha;
};
static_assert(sizeof(PixelBGRA) == 4, "a pixel is exactly four bytes");

inline bool operator==(const PixelBGRA& a, const PixelBGRA& b) {
    return a.blue == b.blue && a.green == b.green && a.red == b.red && a.alpha == b.alpha;
}
inline bool operator!=(const PixelBGRA& a, const PixelBGRA& b) { return !(a == b); }

// The same pixel with its alpha byte cleared; colour bytes are kept.
inline PixelBGRA WithoutAlpha(PixelBGRA pixel) {
    pixel.alpha = 0;
    return pixel;
}

// first * t + second * (1 - t), per channel, in IEEE double with every
// operation rounded, then truncated toward zero.  Callers pass 0 <= t <= 1,
// so no channel ever leaves 0..255.  t == 1 yields `first` exactly and
// t == 0 yields `second` exactly.
inline PixelBGRA BlendPixels(const PixelBGRA& first, double t, const PixelBGRA& second) {
    const double u = 1.0 - t;
    PixelBGRA out;
    out.blue = static_cast<std::uint8_t>(static_cast<int>(first.blue * t + second.blue * u));
    out.green = static_cast<std::uint8_t>(static_cast<int>(first.green * t + second.green * u));
    out.red = static_cast<std::uint8_t>(static_cast<int>(first.red * t + second.red * u));
    out.alpha = static_cast<std::uint8_t>(static_cast<int>(first.alpha * t + second.alpha * u));
    return out;
}
