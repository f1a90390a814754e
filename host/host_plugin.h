// A plug-in module loaded by the reference host, with its five exports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "plugin/host_abi.h"
#include "shear/pixel.h"

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
