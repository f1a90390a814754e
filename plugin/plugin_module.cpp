#include "plugin/plugin_module.h"

#include <exception>
#include <new>
#include <utility>

#include "plugin/exception_message.h"
#include "settings/settings_file.h"

namespace {

PluginModule theModule;

// Returned for an invalid filter index; lives as long as the module.
const char kEmptyText[] = "";

const char kSetupExceptionMessage[] = "設定ダイアログで例外が発生しました。\n処理を中断します。";
const char kSetupExceptionCaption[] = "exception";

void ShowSetupException(HWND window, const char* what) {
    char text[kExceptionMessageCapacity];
    ComposeExceptionMessage(text, sizeof text, kSetupExceptionMessage, what);
    MessageBoxA(window, text, kSetupExceptionCaption, MB_ICONERROR);
}

}  // namespace

PluginModule* const ThePluginModule = &theModule;

// ---------------------------------------------------------------- FilterBase

FilterBase::FilterBase(std::string menu, std::string category)
    : menuName(std::move(menu)), categoryName(std::move(category)) {}

FilterBase::~FilterBase() = default;

void FilterBase::Execute(HWND, const PixelBGRA*, PixelBGRA*, std::uint32_t, const ProcessRect*, std::uint32_t,
                         std::int32_t, std::int32_t, const ProgressSink*) {}

std::int32_t FilterBase::Setup(HWND window, const PixelBGRA* source, std::int32_t width, std::int32_t height) {
    return CanSetup(window, source, width, height) ? 1 : 0;
}

bool FilterBase::CanSetup(HWND, const PixelBGRA*, std::int32_t, std::int32_t) { return true; }

// -------------------------------------------------------------- PluginModule

PluginModule::~PluginModule() { ClearFilters(); }

std::int32_t PluginModule::Initialise(HINSTANCE moduleInstance) {
    instance = moduleInstance;
    ClearFilters();
    RegisterFilters();
    for (FilterBase* filter : filters) {
        if (filter == nullptr) {
            ClearFilters();
            return 0;
        }
    }
    return 1;
}

void PluginModule::ClearFilters() {
    for (std::size_t i = 0; i < filters.size(); ++i) {
        delete filters[i];
        filters[i] = nullptr;
    }
    filters.clear();
}

bool PluginModule::IsValidIndex(std::int32_t index) const { return static_cast<std::uint32_t>(index) < filters.size(); }

std::int32_t PluginModule::FilterCount() const { return static_cast<std::int32_t>(filters.size()); }

const char* PluginModule::GetCategoryName(std::int32_t index) const {
    if (!IsValidIndex(index)) return kEmptyText;
    return filters[index]->CategoryName().c_str();
}

const char* PluginModule::GetMenuName(std::int32_t index) const {
    if (!IsValidIndex(index)) return kEmptyText;
    return filters[index]->MenuName().c_str();
}

void PluginModule::Execute(std::int32_t index, HWND window, const PixelBGRA* source, PixelBGRA* destination,
                           std::uint32_t hostArg4, const ProcessRect* rect, std::uint32_t hostArg6, std::int32_t width,
                           std::int32_t height, const ProgressSink* sink) {
    if (!IsValidIndex(index)) return;
    filters[index]->Execute(window, source, destination, hostArg4, rect, hostArg6, width, height, sink);
}

std::int32_t PluginModule::Setup(std::int32_t index, HWND window, const PixelBGRA* source, std::int32_t width,
                                 std::int32_t height) {
    if (!IsValidIndex(index)) return 0;
    // No exception may reach the host.
    try {
        return filters[index]->Setup(window, source, width, height);
    } catch (const std::exception& error) {
        ShowSetupException(window, error.what());
    } catch (...) {
        ShowSetupException(window, nullptr);
    }
    return 0;
}

char* PluginModule::SettingsFilePath(char* buffer, std::uint32_t capacity) const {
    return SettingsFilePathBeside(instance, buffer, capacity);
}

// --------------------------------------------------------------- entry point

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    try {
        return ThePluginModule->Initialise(instance) != 0 ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}
