#include "filters/parallelogram_run.h"

#include <algorithm>

namespace {

constexpr std::int32_t kQueryDrawingColour = 1;
constexpr std::int32_t kQueryBackgroundColour = 3;
constexpr std::int32_t kModeDrawingColour = ValueOf(UndefinedAreaMode::DrawingColour);
constexpr std::int32_t kModeBackgroundColour = ValueOf(UndefinedAreaMode::BackgroundColour);

}  // namespace

PixelBGRA ResolveFillColour(const UndefinedAreaPolicy& policy, ClientQuery query) {
    PixelBGRA fill{0, 0, 0, 0};
    if (policy.mode == kModeDrawingColour) {
        fill = PixelBGRA{0, 0, 0, 255};
        if (query != nullptr) query(kQueryDrawingColour, &fill);
    } else if (policy.mode == kModeBackgroundColour) {
        fill = PixelBGRA{255, 255, 255, 255};
        if (query != nullptr) query(kQueryBackgroundColour, &fill);
    }
    if (policy.transparent != 0) fill.alpha = 0;
    return fill;
}

bool ClipRectToImage(const ProcessRect* rect, std::int32_t width, std::int32_t height,
                     ProcessRect& clipped) {
    if (rect == nullptr || width < 1 || height < 1) return false;
    clipped.left = std::clamp(rect->left, 0, width);
    clipped.right = std::clamp(rect->right, 0, width);
    clipped.top = std::clamp(rect->top, 0, height);
    clipped.bottom = std::clamp(rect->bottom, 0, height);
    return true;
}

bool RunShearPass(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect* rect,
                  std::int32_t width, std::int32_t height, const ProgressSink& sink,
                  const ParallelogramSettings& settings) {
    if (source == nullptr || destination == nullptr) return false;
    if (!IsValidShape(settings.shape) || !IsValidUndefinedAreaMode(settings.policy.mode)) return false;
    ProcessRect clipped;
    if (!ClipRectToImage(rect, width, height, clipped)) return false;
    return ShearRectangle(source, destination, clipped, width, height, sink, settings);
}
