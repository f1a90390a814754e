#include "plugin/client_info.h"

#include "plugin/selection_bounds.h"

namespace {

const char kDefaultErrorCaption[] = "エラー";

}  // namespace

std::int32_t QueryClientInfo(std::int32_t code, void* data) {
    // Nothing is cached: the host executable is found afresh for every query.
    char hostPath[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, hostPath, sizeof hostPath);
    if (length == 0 || length >= sizeof hostPath) return 0;
    HMODULE host = LoadLibraryA(hostPath);
    if (host == nullptr) return 0;
    std::int32_t result = 0;
    FARPROC address = GetProcAddress(host, kClientInfoFunctionName);
    if (address != nullptr) {
        auto query = reinterpret_cast<ClientInfoFunction>(reinterpret_cast<void*>(address));
        result = query(code, data);
    }
    FreeLibrary(host);
    return result;
}

std::int32_t GetSelectionBounds(const std::uint8_t** maskOut, ProcessRect* rect, std::int32_t width,
                                std::int32_t height) {
    if (QueryClientInfo(QuerySelectionMask, static_cast<void*>(maskOut)) == 0) return 0;
    if (rect == nullptr) return 1;
    ScanSelectionBounds(maskOut != nullptr ? *maskOut : nullptr, width, height, *rect);
    return 1;
}

void ShowErrorBox(HWND window, const char* text, const char* caption) {
    QueryClientInfo(NotifyErrorBox, nullptr);
    if (text == nullptr) return;
    MessageBoxA(window, text, caption != nullptr ? caption : kDefaultErrorCaption, MB_ICONERROR);
}
