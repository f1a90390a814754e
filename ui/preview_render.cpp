#include "ui/preview_render.h"

#include <cstddef>

#include "plugin/selection_bounds.h"
#include "settings/settings_values.h"

namespace {

std::size_t IndexOf(const PreviewImage& image, std::int32_t x, std::int32_t y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x);
}

// The samplers read inside the image only for -n <= p <= 2n - 1; NaN (from a
// degenerate profile) fails this test too.
bool WithinSamplerReach(double p, std::int32_t n) {
    const double length = static_cast<double>(n);
    return p >= -length && p <= 2.0 * length - 1.0;
}

// One sheared pixel at image (x, y), p being the shifted position along the
// line of `n` pixels that the samplers of `table` and `interior` read.
PixelBGRA ShearedPixel(const PreviewImage& image, const PreviewShear& shear, std::int32_t x, std::int32_t y, double p,
                       std::int32_t n, PixelSampler interior,
                       const PixelSampler (&table)[kEdgeRegionCount][kUndefinedAreaModeCount]) {
    const PixelBGRA& original = image.pixels[IndexOf(image, x, y)];
    if (shear.mask != nullptr && shear.mask[IndexOf(image, x, y)] == kOutsideSelection) return original;
    if (!WithinSamplerReach(p, n)) return original;

    const SampleRegion region = ClassifyPosition(p, n);
    if (region == Interior) {
        return interior(image.pixels, x, y, p, image.width, image.height, shear.policy);
    }
    if (IsOutsideRegion(region) && shear.policy.transparent != 0) return PixelBGRA{0, 0, 0, 0};
    const std::int32_t mode = KnownModeOrFirst(shear.policy.mode);
    return table[region][mode](image.pixels, x, y, p, image.width, image.height, shear.policy);
}

}  // namespace

void RenderUnchanged(PixelSink& sink, const PreviewImage& image, const PreviewWindow& window) {
    for (std::int32_t i = 0; i < window.size.height; ++i) {
        for (std::int32_t j = 0; j < window.size.width; ++j) {
            const PixelBGRA& pixel = image.pixels[IndexOf(image, window.source.x + j, window.source.y + i)];
            sink.PutPixel(window.destination.x + j, window.destination.y + i, pixel, pixel.alpha);
        }
    }
}

void RenderRowShear(PixelSink& sink, const PreviewImage& image, const PreviewWindow& window,
                    const PreviewShear& shear) {
    const ProcessRect& b = shear.bounds;
    const double amplitude = ShearAmplitude(b.right - b.left, shear.dimension);
    const OffsetProfile profile = ProfileOf(static_cast<ShapeKind>(shear.shape));
    for (std::int32_t i = 0; i < window.size.height; ++i) {
        const std::int32_t y = window.source.y + i;
        const double offset = profile(y - b.top, amplitude, b.bottom - b.top);
        for (std::int32_t j = 0; j < window.size.width; ++j) {
            const std::int32_t x = window.source.x + j;
            const PixelBGRA pixel =
                ShearedPixel(image, shear, x, y, x + offset, image.width, SampleRowInterior, RowSamplers);
            sink.PutPixel(window.destination.x + j, window.destination.y + i, pixel, pixel.alpha);
        }
    }
}

void RenderColumnShear(PixelSink& sink, const PreviewImage& image, const PreviewWindow& window,
                       const PreviewShear& shear) {
    const ProcessRect& b = shear.bounds;
    const double amplitude = ShearAmplitude(b.bottom - b.top, shear.dimension);
    const OffsetProfile profile = ProfileOf(static_cast<ShapeKind>(shear.shape));
    for (std::int32_t j = 0; j < window.size.width; ++j) {
        const std::int32_t x = window.source.x + j;
        const double offset = profile(x - b.left, amplitude, b.right - b.left);
        for (std::int32_t i = 0; i < window.size.height; ++i) {
            const std::int32_t y = window.source.y + i;
            const PixelBGRA pixel =
                ShearedPixel(image, shear, x, y, y + offset, image.height, SampleColumnInterior, ColumnSamplers);
            sink.PutPixel(window.destination.x + j, window.destination.y + i, pixel, pixel.alpha);
        }
    }
}
