#include "filters/parallelogram_filter.h"

#include "filters/parallelogram_run.h"
#include "plugin/client_info.h"
#include "settings/settings_file.h"

namespace {

const char kInvalidSettingsMessage[] = "設定ファイルに書き込まれている値が不正です。";

}  // namespace

ParallelogramFilter::ParallelogramFilter() : FilterBase("Parallelogram...|平行四辺形...", "Transform|変形") {}

ParallelogramFilter::~ParallelogramFilter() = default;

void ParallelogramFilter::Execute(HWND window, const PixelBGRA* source, PixelBGRA* destination, std::uint32_t,
                                  const ProcessRect* rect, std::uint32_t, std::int32_t width, std::int32_t height,
                                  const ProgressSink* sink) {
    ParallelogramSettings settings{};
    char path[MAX_PATH];
    if (!LoadSettings(ThePluginModule->SettingsFilePath(path, sizeof path), settings, true)) {
        ShowErrorBox(window, kInvalidSettingsMessage, nullptr);
        return;
    }
    if (settings.dimension == 0) return;
    settings.policy.fill = ResolveFillColour(settings.policy, &QueryClientInfo);
    const ProgressSink noProgress{0, nullptr};
    RunShearPass(source, destination, rect, width, height, sink != nullptr ? *sink : noProgress, settings);
}
