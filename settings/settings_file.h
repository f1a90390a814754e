// The filter's parameters in "knfilters.ini" beside the module.
#pragma once

#include "shear/passes.h"

extern const char kSettingsSection[];  // "Parallelogram"

// Fills every field but policy.fill.  With validate, false when the
// dimension lies outside -100..100; always true without.
bool LoadSettings(ParallelogramSettings& settings, bool validate);
