// The filter's parameters in the settings file beside the module.
#pragma once

#include <windows.h>

#include <cstdint>

#include "settings/settings_names.h"
#include "shear/passes.h"

// Full path of the settings file beside the module file of `module`, or
// null (buffer holding an empty string) when it cannot be built within
// `capacity`.  A null module is refused: the platform would name the host's
// executable instead.
char* SettingsFilePathBeside(HMODULE module, char* buffer, std::uint32_t capacity);

// Reads the file at `path` into every field but policy.fill; a null or empty
// path reads every value as its default.  With validate, false when the
// dimension lies outside -100..100; always true without.
bool LoadSettings(const char* path, ParallelogramSettings& settings, bool validate);
