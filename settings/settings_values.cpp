#include "settings/settings_values.h"

std::int32_t KnownShapeOrFirst(std::int32_t shape) {
    return IsValidShape(shape) ? shape : ValueOf(ShapeKind::TopAndBottom);
}

std::int32_t KnownModeOrFirst(std::int32_t mode) {
    return IsValidUndefinedAreaMode(mode) ? mode : ValueOf(UndefinedAreaMode::EdgePixel);
}

bool ApplySettingsValues(const RawSettingsValues& raw, ParallelogramSettings& settings, bool validate) {
    settings.shape = KnownShapeOrFirst(raw.shape);
    settings.dimension = raw.dimension;
    settings.policy.mode = KnownModeOrFirst(raw.undefarea);
    settings.policy.transparent = raw.transparent;
    settings.preview = raw.preview;
    if (!validate) return true;
    return settings.dimension >= -100 && settings.dimension <= 100;
}
