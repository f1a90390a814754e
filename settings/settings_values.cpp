#include "settings/settings_values.h"

bool IsKnownShape(std::int32_t shape) { return shape >= TopAndBottom && shape <= Right; }

bool IsKnownMode(std::int32_t mode) { return mode >= 0 && mode < kUndefinedAreaModeCount; }

std::int32_t KnownShapeOrFirst(std::int32_t shape) { return IsKnownShape(shape) ? shape : TopAndBottom; }

std::int32_t KnownModeOrFirst(std::int32_t mode) { return IsKnownMode(mode) ? mode : EdgePixel; }

bool ApplySettingsValues(const RawSettingsValues& raw, ParallelogramSettings& settings,
                         bool validate) {
    settings.shape = KnownShapeOrFirst(raw.shape);
    settings.dimension = raw.dimension;
    settings.policy.mode = KnownModeOrFirst(raw.undefarea);
    settings.policy.transparent = raw.transparent;
    settings.preview = raw.preview;
    if (!validate) return true;
    return settings.dimension >= -100 && settings.dimension <= 100;
}
