// What the test build of the plug-in (the plug-in with its filter's Setup
// replaced by hooked_setup.cpp) lets its host do.  The shipped plug-in has
// none of this.
#pragma once

#include <windows.h>

#include <cstdint>

// RXF_Setup with this height throws std::runtime_error whose text is the
// zero-terminated string the host passes as the source image.
constexpr std::int32_t kHookThrowStandardHeight = -1;
// RXF_Setup with this height throws an int.
constexpr std::int32_t kHookThrowOtherHeight = -2;

// Sent to the open dialog: the next rendering of the preview puts one pixel
// outside the pane, which puts the pane into its error state.
constexpr UINT kHookFailPaneMessage = WM_APP + 0x51;

// The file name the tests give their copy of the test build.
constexpr char kHookedPluginName[] = "parallelogram-hooked.dll";
