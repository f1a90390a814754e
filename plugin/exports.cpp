// The five functions the host calls.  Each is exported under its plain and
// its decorated name (see parallelogram.def).
#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "plugin/host_abi.h"
#include "plugin/plugin_module.h"
#include "plugin/text_copy.h"

namespace {

const char kPluginInfo[] = "Parallelogram filter 0.1 - shears an image into a parallelogram";

void Report(const ProgressSink& sink, std::int32_t done, std::int32_t* result) {
    if (sink.callback == nullptr) return;
    const std::int32_t answer = sink.callback(done, kProgressTotal, sink.userData);
    if (result != nullptr) *result = answer;
}

}  // namespace

extern "C" {

std::int16_t WINAPI RX_GetPluginInfo(char* buffer, std::int32_t length) {
    CopyBoundedText(buffer, kPluginInfo, length);
    return 1;
}

std::int32_t WINAPI RXF_FilterCount() { return ThePluginModule->FilterCount(); }

char* WINAPI RXF_GetName(std::int32_t index, char* category, std::int32_t categoryLength, char* menu,
                         std::int32_t menuLength) {
    CopyBoundedText(category, ThePluginModule->GetCategoryName(index), categoryLength);
    CopyBoundedText(menu, ThePluginModule->GetMenuName(index), menuLength);
    return menu;
}

std::int32_t WINAPI RXF_Execute(std::int32_t index, HWND window, const PixelBGRA* source, PixelBGRA* destination,
                                std::uint32_t hostArg4, const ProcessRect* rect, std::uint32_t hostArg6,
                                std::int32_t width, std::int32_t height, ProgressCallback callback,
                                ProgressUserData userData) {
    const ProgressSink sink{userData, callback};
    Report(sink, 0, nullptr);
    ThePluginModule->Execute(index, window, source, destination, hostArg4, rect, hostArg6, width, height, &sink);
    std::int32_t result = 0;
    Report(sink, kProgressTotal, &result);
    return result;
}

std::int32_t WINAPI RXF_Setup(std::int32_t index, HWND window, const PixelBGRA* source, std::int32_t width,
                              std::int32_t height) {
    return ThePluginModule->Setup(index, window, source, width, height);
}

}  // extern "C"

// The exports have exactly the forms the host calls.
static_assert(std::is_same_v<decltype(&RX_GetPluginInfo), GetPluginInfoFunction>);
static_assert(std::is_same_v<decltype(&RXF_FilterCount), FilterCountFunction>);
static_assert(std::is_same_v<decltype(&RXF_GetName), GetNameFunction>);
static_assert(std::is_same_v<decltype(&RXF_Execute), ExecuteFunction>);
static_assert(std::is_same_v<decltype(&RXF_Setup), SetupFunction>);
