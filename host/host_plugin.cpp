#include "host/host_plugin.h"

#include <cerrno>
#include <cstdlib>

namespace {

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function, std::string& error) {
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        error = std::string("the plug-in does not export ") + name;
        return false;
    }
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    return true;
}

}  // namespace

PluginLibrary::~PluginLibrary() {
    if (module != nullptr) FreeLibrary(module);
}

bool PluginLibrary::Load(const std::string& path, std::string& error) {
    module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "cannot load the plug-in '" + path + "' (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return Find(module, "RX_GetPluginInfo", getPluginInfo, error) &&
           Find(module, "RXF_FilterCount", filterCount, error) && Find(module, "RXF_GetName", getName, error) &&
           Find(module, "RXF_Execute", execute, error) && Find(module, "RXF_Setup", setup, error);
}

bool PluginLibrary::ParseFilterIndex(const std::string& text, std::int32_t& index, std::string& error) const {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0) {
        error = "the filter index '" + text + "' is not a number";
        return false;
    }
    const std::int32_t count = filterCount();
    if (value < 0 || value >= count) {
        error = "the filter index " + text + " is out of range (the plug-in has " + std::to_string(count) + " filter" +
                (count == 1 ? "" : "s") + ")";
        return false;
    }
    index = static_cast<std::int32_t>(value);
    return true;
}
