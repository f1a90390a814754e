// plugin-host setup PLUGIN INDEX INPUT [--mask MASK] [--drawing '#RRGGBBAA']
//                    [--background '#RRGGBBAA'] [--screenshot OUT.png]
// Opens the filter's settings dialog over the image and tells whether the
// user confirmed it.  With --screenshot the open dialog is captured into a
// PNG and then cancelled, so that the command runs unattended.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_commands.h"
#include "host/host_image.h"
#include "host/host_options.h"
#include "host/host_plugin.h"
#include "host/host_state.h"

namespace {

constexpr UINT kScreenshotDelayMs = 1500;  // time for the dialog to paint itself
constexpr DWORD kScreenshotDeadlineMs = 30000;

std::string screenshotPath;
std::string screenshotError;
bool screenshotTaken = false;
DWORD setupStarted = 0;

BOOL CALLBACK FindDialogWindow(HWND window, LPARAM found) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The whole dialog window, frame included, as the screen shows it.
bool CaptureWindow(HWND window, HostImage& image) {
    RECT bounds;
    if (!GetWindowRect(window, &bounds)) return false;
    image.width = bounds.right - bounds.left;
    image.height = bounds.bottom - bounds.top;
    if (image.width <= 0 || image.height <= 0) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, image.width, image.height, windowDc, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        const auto* pixels = static_cast<const PixelBGRA*>(bits);
        image.pixels.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height);
        for (PixelBGRA& p : image.pixels) p.alpha = 255;  // the screen has no alpha
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
    return ok;
}

void CALLBACK OnScreenshotTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialogWindow, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) {
        if (GetTickCount() - setupStarted > kScreenshotDeadlineMs) KillTimer(nullptr, timer);
        return;
    }
    KillTimer(nullptr, timer);
    // Drag the preview (control 1005) towards the image's centre, so that the
    // picture shows more than the top-left corner.
    if (HWND pane = GetDlgItem(dialog, 1005)) {
        RECT client;
        GetClientRect(pane, &client);
        const LPARAM from = MAKELPARAM(client.right - 1, client.bottom - 1);
        SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, from);
        SendMessageA(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(0, 0));
        SendMessageA(pane, WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
    }
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    HostImage image;
    if (!CaptureWindow(dialog, image)) {
        screenshotError = "cannot capture the dialog";
    } else if (WritePngFile(screenshotPath, image, screenshotError)) {
        screenshotTaken = true;
    }
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Takes "--screenshot PATH" / "--screenshot=PATH" out of the arguments.
std::vector<char*> TakeScreenshotOption(int argc, char** argv, std::string& path, bool& malformed) {
    std::vector<char*> rest;
    malformed = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--screenshot") {
            if (i + 1 >= argc) {
                malformed = true;
                break;
            }
            path = argv[++i];
        } else if (arg.rfind("--screenshot=", 0) == 0) {
            path = arg.substr(std::strlen("--screenshot="));
        } else {
            rest.push_back(argv[i]);
        }
    }
    rest.push_back(nullptr);
    return rest;
}

}  // namespace

int CommandSetup(int argc, char** argv) {
    bool malformed = false;
    std::vector<char*> args = TakeScreenshotOption(argc, argv, screenshotPath, malformed);
    HostOptions options;
    std::string error;
    if (malformed ||
        !ParseHostOptions(static_cast<int>(args.size()) - 1, args.data(), 2, kOptionMask | kOptionColours, options,
                          error) ||
        options.positional.size() != 3) {
        PrintError(error.empty() ? "usage: plugin-host setup PLUGIN INDEX INPUT [--mask MASK.png] "
                                   "[--drawing '#RRGGBBAA'] [--background '#RRGGBBAA'] "
                                   "[--screenshot OUT.png]"
                                 : error);
        return kExitUsage;
    }

    FilterSession session;
    if (const int status = OpenFilterSession(options, session); status != kExitSuccess) {
        return status;
    }

    UINT_PTR timer = 0;
    if (!screenshotPath.empty()) {
        setupStarted = GetTickCount();
        timer = SetTimer(nullptr, 0, kScreenshotDelayMs, OnScreenshotTimer);
    }
    const std::int32_t confirmed = session.plugin.setup(session.index, nullptr, session.source.pixels.data(),
                                                        session.source.width, session.source.height);
    if (timer != 0) KillTimer(nullptr, timer);

    if (!screenshotPath.empty() && !screenshotTaken) {
        PrintError(screenshotError.empty() ? "the dialog did not open; no screenshot" : screenshotError);
        return kExitFailure;
    }
    std::puts(confirmed == 1 ? "confirmed" : "not confirmed");
    return confirmed == 1 ? kExitSuccess : kExitFailure;
}
