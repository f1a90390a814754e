#include "ui/preview_math.h"

#include <cstdio>

PixelBGRA BlendOverChecker(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) {
    const std::int32_t checker = ((x ^ y) & 8) != 0 ? kCheckerDark : kCheckerLight;
    const std::int32_t a = alpha;
    auto channel = [&](std::uint8_t value) {
        return static_cast<std::uint8_t>((value * a + checker * (255 - a)) / 255);
    };
    return PixelBGRA{channel(pixel.blue), channel(pixel.green), channel(pixel.red), 0};
}

bool StoreOverChecker(PixelBGRA* pixels, std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y,
                      const PixelBGRA& pixel, std::uint8_t alpha) {
    if (pixels == nullptr || x < 0 || y < 0 || x >= width || y >= height) return false;
    pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
        BlendOverChecker(x, y, pixel, alpha);
    return true;
}

std::int32_t ClampScroll(std::int32_t scroll, std::int32_t imageExtent, std::int32_t paneExtent) {
    // The upper limit is tested first: where the image is smaller than the
    // pane both limits are crossed and the upper one wins.
    if (imageExtent - scroll < paneExtent) return imageExtent - paneExtent;
    if (scroll < 0) return 0;
    return scroll;
}

AxisWindow ComputeAxisWindow(bool fits, std::int32_t paneExtent, std::int32_t imageExtent, std::int32_t& scroll) {
    if (fits) {
        scroll = 0;
        return AxisWindow{(paneExtent - imageExtent) / 2, 0, imageExtent};
    }
    return AxisWindow{0, scroll, paneExtent};
}

void FormatPreviewError(char* buffer, std::size_t capacity, std::int32_t error) {
    if (buffer == nullptr || capacity == 0) return;
    std::snprintf(buffer, capacity, "プレビューエラー！\nエラー番号 %d", static_cast<int>(error));
}
