#include "settings/settings_file.h"

#include "settings/settings_path.h"
#include "settings/settings_values.h"

namespace {

bool IsSystemLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

std::int32_t ReadNumber(const char* key, const char* path) {
    return static_cast<std::int32_t>(GetPrivateProfileIntA(kSettingsSection, key, 0, path));
}

}  // namespace

char* SettingsFilePathBeside(HMODULE module, char* buffer, std::uint32_t capacity) {
    if (buffer == nullptr || capacity == 0) return nullptr;
    buffer[0] = '\0';
    if (module == nullptr) return nullptr;
    const DWORD length = GetModuleFileNameA(module, buffer, capacity);
    if (!ReplaceFileNameInPath(buffer, capacity, length, kSettingsFileName, IsSystemLeadByte)) {
        return nullptr;
    }
    return buffer;
}

bool LoadSettings(const char* path, ParallelogramSettings& settings, bool validate) {
    RawSettingsValues raw;
    if (path != nullptr && path[0] != '\0') {
        raw.shape = ReadNumber(kShapeKey, path);
        raw.dimension = ReadNumber(kDimensionKey, path);
        raw.undefarea = ReadNumber(kUndefinedAreaKey, path);
        raw.transparent = ReadNumber(kTransparentKey, path);
        raw.preview = ReadNumber(kPreviewKey, path);
    }
    return ApplySettingsValues(raw, settings, validate);
}
