// The module's one filter: shears the image into a parallelogram.
#pragma once

#include "plugin/plugin_module.h"

class ParallelogramFilter : public FilterBase {
public:
    ParallelogramFilter();
    ~ParallelogramFilter() override;

    // Reads the settings file, asks the host for a colour when the
    // undefined-area mode needs one and runs the row or column pass.
    void Execute(HWND window, const PixelBGRA* source, PixelBGRA* destination, std::uint32_t hostArg4,
                 const ProcessRect* rect, std::uint32_t hostArg6, std::int32_t width, std::int32_t height,
                 const ProgressSink* sink) override;
    std::int32_t Setup(HWND window, const PixelBGRA* source, std::int32_t width, std::int32_t height) override;
};
