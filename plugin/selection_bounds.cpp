#include "plugin/selection_bounds.h"

#include <cstddef>

void ScanSelectionBounds(const std::uint8_t* mask, std::int32_t width, std::int32_t height, ProcessRect& rect) {
    rect.left = width;
    rect.top = height;
    rect.right = 0;
    rect.bottom = 0;
    if (mask != nullptr && width > 0 && height > 0) {
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* row = mask + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
            for (std::int32_t x = 0; x < width; ++x) {
                if (row[x] == kOutsideSelection) continue;
                if (x < rect.left) rect.left = x;
                if (x > rect.right) rect.right = x;
                if (y < rect.top) rect.top = y;
                if (y > rect.bottom) rect.bottom = y;
            }
        }
    }
    rect.right += 1;
    rect.bottom += 1;
}
