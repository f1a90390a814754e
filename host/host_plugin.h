// A plug-in module loaded by the reference host, with its five exports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "shear/passes.h"

using GetPluginInfoFunction = std::int16_t(WINAPI*)(char* buffer, std::int32_t length);
using FilterCountFunction = std::int32_t(WINAPI*)();
using GetNameFunction = char*(WINAPI*)(std::int32_t index, char* category,
                                       std::int32_t categoryLength, char* menu,
                                       std::int32_t menuLength);
using ExecuteFunction = std::int32_t(WINAPI*)(std::int32_t index, HWND window,
                                              const PixelBGRA* source, PixelBGRA* destination,
                                              std::uint32_t hostArg4, const ProcessRect* rect,
                                              std::uint32_t hostArg6, std::int32_t width,
                                              std::int32_t height, ProgressCallback callback,
                                              ProgressUserData userData);
using SetupFunction = std::int32_t(WINAPI*)(std::int32_t index, HWND window,
                                            const PixelBGRA* source, std::int32_t width,
                                            std::int32_t height);

class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Loads the module and finds all five exports; on failure a one-line
    // reason in `error`.
    bool Load(const std::string& path, std::string& error);

    // Checks a filter index given on the command line against the filter count.
    bool ParseFilterIndex(const std::string& text, std::int32_t& index, std::string& error) const;

    HMODULE module = nullptr;
    GetPluginInfoFunction getPluginInfo = nullptr;
    FilterCountFunction filterCount = nullptr;
    GetNameFunction getName = nullptr;
    ExecuteFunction execute = nullptr;
    SetupFunction setup = nullptr;
};
