// Turning the raw values read from the settings file into the filter's
// parameters.
#pragma once

#include <cstdint>

#include "shear/passes.h"

// The five values as read, each 0 when absent.
struct RawSettingsValues {
    std::int32_t shape = 0;
    std::int32_t dimension = 0;
    std::int32_t undefarea = 0;
    std::int32_t transparent = 0;
    std::int32_t preview = 0;
};

// A shape or mode outside its range (IsValidShape, IsValidUndefinedAreaMode)
// becomes 0 (top and bottom, edge pixel).
std::int32_t KnownShapeOrFirst(std::int32_t shape);
std::int32_t KnownModeOrFirst(std::int32_t mode);

// Stores the values in settings (all fields but policy.fill): a shape or mode
// outside 0..5 becomes 0, the rest is kept as read.  Without validate the
// result is true; with it, true exactly when the dimension lies in -100..100.
bool ApplySettingsValues(const RawSettingsValues& raw, ParallelogramSettings& settings, bool validate);
