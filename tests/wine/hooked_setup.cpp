// The filter's Setup of the test build of the plug-in: the real dialog, with
// two hooks for its host (test_hooks.h): exceptions thrown on request, and a
// preview that can be made to write outside its pane.
#include <stdexcept>
#include <string>

#include "filters/parallelogram_filter.h"
#include "test_hooks.h"
#include "ui/parallelogram_dialog.h"

namespace {

class HookedDialog : public ParallelogramDialog {
public:
    INT_PTR HandleMessage(HWND dialogWindow, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kHookFailPaneMessage) {
            failNextRendering = true;
            return TRUE;
        }
        return ParallelogramDialog::HandleMessage(dialogWindow, message, wParam, lParam);
    }

    bool RenderPreview(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                       PreviewSize& size) override {
        const bool show = ParallelogramDialog::RenderPreview(pane, destination, source, size);
        if (failNextRendering) {
            failNextRendering = false;
            pane.PutPixel(-1, 0, PixelBGRA{0, 0, 0, 255}, 255);
        }
        return show;
    }

private:
    bool failNextRendering = false;
};

}  // namespace

std::int32_t ParallelogramFilter::Setup(HWND window, const PixelBGRA* source, std::int32_t width, std::int32_t height) {
    if (height == kHookThrowStandardHeight) {
        throw std::runtime_error(reinterpret_cast<const char*>(source));
    }
    if (height == kHookThrowOtherHeight) throw 42;
    if (!CanSetup(window, source, width, height)) return 0;
    HookedDialog dialog;
    return dialog.DoModalWithImage(window, source, width, height) == IDOK ? 1 : 0;
}
