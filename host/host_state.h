// What the reference host answers when the plug-in queries it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "plugin/host_abi.h"
#include "shear/pixel.h"

struct HostAnswers {
    PixelBGRA drawing{0, 0, 0, 255};           // QueryDrawingColour
    PixelBGRA background{255, 255, 255, 255};  // QueryBackgroundColour
    const std::uint8_t* mask = nullptr;        // QuerySelectionMask; null: no selection
    int errorNotices = 0;                      // NotifyErrorBox received
};

extern HostAnswers TheHostAnswers;

// Exported by plugin-host.exe under this exact name (see plugin-host.def).
extern "C" std::int32_t WINAPI RXF_QueryClientInfo(std::int32_t code, void* data);
