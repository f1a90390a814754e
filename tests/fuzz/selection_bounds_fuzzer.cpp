// The bounds of a selection mask against a scan of its own: the smallest
// rectangle holding every byte other than 0xFF (right and bottom exclusive),
// or (width, height, 1, 1) when there is none or nothing to scan.  The mask
// is allocated at exactly width x height bytes.
#include <cstdint>
#include <vector>

#include "fuzz_input.h"
#include "plugin/selection_bounds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t width = input.InRange(-2, 40);
    const std::int32_t height = input.InRange(-2, 40);
    // Raw bytes select nearly everything; the sparse form makes most of the
    // mask 0xFF and keeps 0 and 0xFE, the selected values next to it.
    const bool sparse = input.Flag();
    const std::size_t count =
        width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0;
    std::vector<std::uint8_t> mask(count);
    for (std::uint8_t& byte : mask) {
        const std::uint8_t b = input.Remaining() > 0 ? input.Byte() : 0xFF;
        byte = !sparse ? b : b < 0x10 ? 0x00 : b < 0x20 ? 0xFE : 0xFF;
    }

    ProcessRect expected{width, height, 1, 1};
    bool any = false;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            if (mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] ==
                0xFF) {
                continue;
            }
            if (!any) {
                expected = ProcessRect{x, y, x + 1, y + 1};
                any = true;
            }
            if (x < expected.left) expected.left = x;
            if (x + 1 > expected.right) expected.right = x + 1;
            expected.bottom = y + 1;
        }
    }

    ProcessRect rect{-7, -7, -7, -7};
    ScanSelectionBounds(count > 0 ? mask.data() : nullptr, width, height, rect);
    FUZZ_CHECK(rect.left == expected.left);
    FUZZ_CHECK(rect.top == expected.top);
    FUZZ_CHECK(rect.right == expected.right);
    FUZZ_CHECK(rect.bottom == expected.bottom);
    return 0;
}
