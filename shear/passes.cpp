#include "shear/passes.h"

bool ShearRectangle(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w,
                    std::int32_t h, const ProgressSink& sink, const ParallelogramSettings& settings) {
    if (!IsValidShape(settings.shape)) return false;
    if (IsRowShape(static_cast<ShapeKind>(settings.shape))) {
        ShearRows(source, destination, rect, w, h, sink, settings);
    } else {
        ShearColumns(source, destination, rect, w, h, sink, settings);
    }
    return true;
}
