// The preview's row and column shear of one window: every pixel of the
// window goes to the sink once, at its place; no read outside the source
// image (allocated at exactly width x height pixels), whatever the selection
// bounds, including the degenerate ones of an empty mask and bounds that do
// not lie in the image; an unselected pixel is shown unchanged; and where the
// bounds lie in the image, a selected pixel inside them is the one the
// literal final pass writes there, save that an outside-region pixel with the
// transparent option may be all zero.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz_input.h"
#include "plugin/selection_bounds.h"
#include "reference/literal_shear.h"
#include "ui/preview_render.h"

namespace {

// Records each pixel the renderer hands over, by its place in the window.
class WindowSink : public PixelSink {
public:
    explicit WindowSink(const PreviewWindow& window)
        : window_(window),
          pixels_(static_cast<std::size_t>(window.size.width) * static_cast<std::size_t>(window.size.height)),
          seen_(pixels_.size(), false) {}

    void PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) override {
        const std::int32_t i = x - window_.destination.x;
        const std::int32_t j = y - window_.destination.y;
        FUZZ_CHECK(i >= 0 && i < window_.size.width && j >= 0 && j < window_.size.height);
        const std::size_t index =
            static_cast<std::size_t>(j) * static_cast<std::size_t>(window_.size.width) + static_cast<std::size_t>(i);
        FUZZ_CHECK(!seen_[index]);
        FUZZ_CHECK(alpha == pixel.alpha);
        seen_[index] = true;
        pixels_[index] = pixel;
    }

    bool AllSeen() const {
        return std::all_of(seen_.begin(), seen_.end(), [](bool s) { return s; });
    }
    // The pixel shown for image (x, y) of the window.
    const PixelBGRA& At(std::int32_t x, std::int32_t y) const {
        return pixels_[static_cast<std::size_t>(y - window_.source.y) * static_cast<std::size_t>(window_.size.width) +
                       static_cast<std::size_t>(x - window_.source.x)];
    }

private:
    PreviewWindow window_;
    std::vector<PixelBGRA> pixels_;
    std::vector<bool> seen_;
};

std::size_t IndexOf(std::int32_t width, std::int32_t x, std::int32_t y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
}

bool BoundsInImage(const ProcessRect& b, std::int32_t width, std::int32_t height) {
    return b.left >= 0 && b.left <= b.right && b.right <= width && b.top >= 0 && b.top <= b.bottom &&
           b.bottom <= height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t width = input.InRange(1, 48);
    const std::int32_t height = input.InRange(1, 48);

    // The window: inside the image, anywhere in the pane.
    PreviewWindow window;
    window.source.x = input.InRange(0, width);
    window.source.y = input.InRange(0, height);
    window.size.width = input.InRange(0, width - window.source.x);
    window.size.height = input.InRange(0, height - window.source.y);
    window.destination.x = input.InRange(-8, 64);
    window.destination.y = input.InRange(-8, 64);

    PreviewShear shear{};
    shear.shape = input.InRange(0, 5);
    shear.dimension = input.InRange(-100, 100);
    shear.policy.mode = input.InRange(0, 5);
    shear.policy.transparent = input.Flag() ? 1 : 0;
    shear.policy.fill = PixelBGRA{input.Byte(), input.Byte(), input.Byte(), input.Byte()};

    // No mask, a mask with the bounds the dialog computes from it, or a mask
    // with bounds of any kind near the image.
    const std::uint8_t boundsKind = input.Byte() % 3;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> mask;
    if (boundsKind != 0) {
        mask.resize(count);
        for (std::uint8_t& byte : mask) {
            const std::uint8_t b = input.Byte();
            byte = b < 0x40 ? 0xFF : b;
        }
    }
    shear.mask = mask.empty() ? nullptr : mask.data();
    if (boundsKind == 1) {
        ScanSelectionBounds(mask.data(), width, height, shear.bounds);
    } else {
        shear.bounds.left = input.InRange(-width - 4, 2 * width + 4);
        shear.bounds.top = input.InRange(-height - 4, 2 * height + 4);
        shear.bounds.right = input.InRange(-width - 4, 2 * width + 4);
        shear.bounds.bottom = input.InRange(-height - 4, 2 * height + 4);
    }

    std::vector<PixelBGRA> source(count);
    ReadPixels(input, source);

    const PreviewImage image{source.data(), width, height};
    const bool rows = IsRowShape(shear.shape);
    WindowSink sink(window);
    if (rows) {
        RenderRowShear(sink, image, window, shear);
    } else {
        RenderColumnShear(sink, image, window, shear);
    }
    FUZZ_CHECK(sink.AllSeen());

    std::vector<PixelBGRA> final;
    const bool compareWithFinal = BoundsInImage(shear.bounds, width, height);
    if (compareWithFinal) {
        final = source;
        ParallelogramSettings settings{shear.shape, shear.dimension, shear.policy, 0};
        const ProgressSink none{0, nullptr};
        (rows ? literal::ShearRows : literal::ShearColumns)(source.data(), final.data(), shear.bounds, width, height,
                                                            none, settings);
    }
    for (std::int32_t y = window.source.y; y < window.source.y + window.size.height; ++y) {
        for (std::int32_t x = window.source.x; x < window.source.x + window.size.width; ++x) {
            const PixelBGRA& shown = sink.At(x, y);
            const std::size_t i = IndexOf(width, x, y);
            if (shear.mask != nullptr && mask[i] == 0xFF) {
                FUZZ_CHECK(shown == source[i]);
                continue;
            }
            if (!compareWithFinal || !(x >= shear.bounds.left && x < shear.bounds.right && y >= shear.bounds.top &&
                                       y < shear.bounds.bottom)) {
                continue;
            }
            const PixelBGRA& written = final[i];
            const bool clearedOutside =
                shear.policy.transparent != 0 && written.alpha == 0 && shown == PixelBGRA{0, 0, 0, 0};
            FUZZ_CHECK(shown == written || clearedOutside);
        }
    }
    return 0;
}
