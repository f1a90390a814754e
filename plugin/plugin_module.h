// The module-wide object: the module's instance handle and the filter list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shear/passes.h"

// Base of every filter.  The texts have the form "English|Japanese", the
// Japanese part in code page 932; they never change after construction.
class FilterBase {
public:
    FilterBase(std::string menuName, std::string categoryName);
    virtual ~FilterBase();

    // The eight host arguments of RXF_Execute after the index, then the sink.
    virtual void Execute(HWND window, const PixelBGRA* source, PixelBGRA* destination, std::uint32_t hostArg4,
                         const ProcessRect* rect, std::uint32_t hostArg6, std::int32_t width, std::int32_t height,
                         const ProgressSink* sink);
    // 1 when the user confirmed new settings, 0 otherwise.
    virtual std::int32_t Setup(HWND window, const PixelBGRA* source, std::int32_t width, std::int32_t height);
    virtual bool CanSetup(HWND window, const PixelBGRA* source, std::int32_t width, std::int32_t height);

    const std::string& MenuName() const { return menuName; }
    const std::string& CategoryName() const { return categoryName; }

private:
    std::string menuName;
    std::string categoryName;
};

class PluginModule {
public:
    HINSTANCE instance = nullptr;
    std::vector<FilterBase*> filters;

    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    std::int32_t Initialise(HINSTANCE moduleInstance);
    void ClearFilters();
    // Creates the module's filters (filters/registered_filters.cpp).
    std::int32_t RegisterFilters();

    bool IsValidIndex(std::int32_t index) const;
    std::int32_t FilterCount() const;
    const char* GetCategoryName(std::int32_t index) const;
    const char* GetMenuName(std::int32_t index) const;
    void Execute(std::int32_t index, HWND window, const PixelBGRA* source, PixelBGRA* destination,
                 std::uint32_t hostArg4, const ProcessRect* rect, std::uint32_t hostArg6, std::int32_t width,
                 std::int32_t height, const ProgressSink* sink);
    std::int32_t Setup(std::int32_t index, HWND window, const PixelBGRA* source, std::int32_t width,
                       std::int32_t height);

    // Full path of the settings file beside the module file, or null (buffer
    // holding an empty string) when it cannot be built within `capacity`.
    char* SettingsFilePath(char* buffer, std::uint32_t capacity) const;
};

// The one module object, created by static initialisation.
extern PluginModule* const ThePluginModule;
