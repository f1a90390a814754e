#include "settings/settings_values.h"

bool ApplySettingsValues(const RawSettingsValues& raw, ParallelogramSettings& settings,
                         bool validate) {
    settings.shape = (raw.shape < 0 || raw.shape > 5) ? 0 : raw.shape;
    settings.dimension = raw.dimension;
    settings.policy.mode = (raw.undefarea < 0 || raw.undefarea > 5) ? 0 : raw.undefarea;
    settings.policy.transparent = raw.transparent;
    settings.preview = raw.preview;
    if (!validate) return true;
    return settings.dimension >= -100 && settings.dimension <= 100;
}
