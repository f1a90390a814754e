// The interface between the host and the plug-in, as both sides see it: the
// calling convention, the rectangle to produce, the progress callback, the
// host's query function with its codes, and the five functions the plug-in
// exports.  Portable (no <windows.h>): the engine, the native tools and
// tests include it as well as the plug-in, the reference host and the tests
// that play the host.
#pragma once

#include <cstdint>

struct PixelBGRA;  // shear/pixel.h
struct HWND__;     // what the platform's window handle HWND points to

// The Windows standard calling convention (arguments pushed from right to
// left, removed by the called function) on 32-bit x86, where it differs
// from the default; elsewhere the platform's default.
#if defined(_WIN32) && defined(__i386__)
#define PG_STDCALL __attribute__((stdcall))
#else
#define PG_STDCALL
#endif

// The window that owns the plug-in's dialogs and boxes (HWND).
using HostWindow = HWND__*;

// The pixels to produce: left <= x < right, top <= y < bottom.
struct ProcessRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// ---------------------------------------------------------------- progress

// An opaque host value handed back with every report: 32 bits in the plug-in,
// pointer-sized natively so that a native caller can pass an address.
using ProgressUserData = std::uintptr_t;
// (done, total, userData): done in ten-thousandths of the run, total always
// kProgressTotal.
using ProgressCallback = std::int32_t(PG_STDCALL*)(std::int32_t done, std::int32_t total, ProgressUserData userData);

constexpr std::int32_t kProgressTotal = 10000;

struct ProgressSink {
    ProgressUserData userData;
    ProgressCallback callback;  // may be null
};

// ------------------------------------------------- the host's query function

// Exported by the host executable under this name; the plug-in looks it up
// by name each time it asks.
constexpr char kClientInfoFunctionName[] = "RXF_QueryClientInfo";
using ClientInfoFunction = std::int32_t(PG_STDCALL*)(std::int32_t code, void* data);

enum ClientInfoCode : std::int32_t {
    QueryDrawingColour = 1,     // data: PixelBGRA*, the host writes its drawing colour
    QueryBackgroundColour = 3,  // data: PixelBGRA*, the host writes its background colour
    QuerySelectionMask = 4,     // data: const std::uint8_t**, receives the mask's address
    NotifyErrorBox = 5,         // data: null; an error box follows
};

// ------------------------------------------------ the plug-in's five exports

using GetPluginInfoFunction = std::int16_t(PG_STDCALL*)(char* buffer, std::int32_t length);
using FilterCountFunction = std::int32_t(PG_STDCALL*)();
using GetNameFunction = char*(PG_STDCALL*)(std::int32_t index, char* category, std::int32_t categoryLength, char* menu,
                                           std::int32_t menuLength);
using ExecuteFunction = std::int32_t(PG_STDCALL*)(std::int32_t index, HostWindow window, const PixelBGRA* source,
                                                  PixelBGRA* destination, std::uint32_t hostArg4,
                                                  const ProcessRect* rect, std::uint32_t hostArg6, std::int32_t width,
                                                  std::int32_t height, ProgressCallback callback,
                                                  ProgressUserData userData);
using SetupFunction = std::int32_t(PG_STDCALL*)(std::int32_t index, HostWindow window, const PixelBGRA* source,
                                                std::int32_t width, std::int32_t height);
