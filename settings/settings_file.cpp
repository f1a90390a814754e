#include "settings/settings_file.h"

#include <windows.h>

#include "plugin/plugin_module.h"
#include "settings/settings_values.h"

const char kSettingsSection[] = "Parallelogram";

bool LoadSettings(ParallelogramSettings& settings, bool validate) {
    RawSettingsValues raw;
    char path[MAX_PATH];
    // Without a usable path every value reads as its default.
    if (ThePluginModule->SettingsFilePath(path, sizeof path) != nullptr) {
        raw.shape = static_cast<std::int32_t>(GetPrivateProfileIntA(kSettingsSection, "shape", 0, path));
        raw.dimension =
            static_cast<std::int32_t>(GetPrivateProfileIntA(kSettingsSection, "dimension", 0, path));
        raw.undefarea =
            static_cast<std::int32_t>(GetPrivateProfileIntA(kSettingsSection, "undefarea", 0, path));
        raw.transparent =
            static_cast<std::int32_t>(GetPrivateProfileIntA(kSettingsSection, "transparent", 0, path));
        raw.preview = static_cast<std::int32_t>(GetPrivateProfileIntA(kSettingsSection, "preview", 0, path));
    }
    return ApplySettingsValues(raw, settings, validate);
}
