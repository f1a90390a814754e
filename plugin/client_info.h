// Queries back to the host through its exported RXF_QueryClientInfo.
#pragma once

#include <windows.h>

#include <cstdint>

#include "plugin/host_abi.h"

// The host function's result, or 0 when it cannot be reached.
std::int32_t QueryClientInfo(std::int32_t code, void* data);

// Asks for the selection mask; with a non-null rect also fills it with the
// bounds of the selected pixels.  1 when the host supplied a mask, else 0
// (rect untouched).
std::int32_t GetSelectionBounds(const std::uint8_t** maskOut, ProcessRect* rect, std::int32_t width,
                                std::int32_t height);

// Notifies the host, then shows an error box (caption "エラー" when null).
void ShowErrorBox(HWND window, const char* text, const char* caption);
