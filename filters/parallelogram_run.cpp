#include "filters/parallelogram_run.h"

#include <algorithm>

#include "settings/settings_values.h"

PixelBGRA ResolveFillColour(const UndefinedAreaPolicy& policy, ClientQuery query) {
    PixelBGRA fill{0, 0, 0, 0};
    if (policy.mode == ValueOf(UndefinedAreaMode::DrawingColour)) {
        fill = PixelBGRA{0, 0, 0, 255};
        if (query != nullptr) query(QueryDrawingColour, &fill);
    } else if (policy.mode == ValueOf(UndefinedAreaMode::BackgroundColour)) {
        fill = PixelBGRA{255, 255, 255, 255};
        if (query != nullptr) query(QueryBackgroundColour, &fill);
    }
    if (policy.transparent != 0) fill.alpha = 0;
    return fill;
}

bool ClipRectToImage(const ProcessRect* rect, std::int32_t width, std::int32_t height, ProcessRect& clipped) {
    if (rect == nullptr || width < 1 || height < 1) return false;
    clipped.left = std::clamp(rect->left, 0, width);
    clipped.right = std::clamp(rect->right, 0, width);
    clipped.top = std::clamp(rect->top, 0, height);
    clipped.bottom = std::clamp(rect->bottom, 0, height);
    return true;
}

bool RunShearPass(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect* rect, std::int32_t width,
                  std::int32_t height, const ProgressSink& sink, const ParallelogramSettings& settings) {
    if (source == nullptr || destination == nullptr) return false;
    if (!IsValidShape(settings.shape) || !IsValidUndefinedAreaMode(settings.policy.mode)) return false;
    ProcessRect clipped;
    if (!ClipRectToImage(rect, width, height, clipped)) return false;
    return ShearRectangle(source, destination, clipped, width, height, sink, settings);
}
