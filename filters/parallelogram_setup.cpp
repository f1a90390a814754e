// The filter's Setup: the settings dialog over the host's image.  It builds
// on the dialog (ui/), which builds on this folder's library, so it is part
// of the plug-in itself; the Wine tests' hooked build replaces it.
#include "filters/parallelogram_filter.h"
#include "ui/parallelogram_dialog.h"

std::int32_t ParallelogramFilter::Setup(HWND window, const PixelBGRA* source, std::int32_t width, std::int32_t height) {
    if (!CanSetup(window, source, width, height)) return 0;
    ParallelogramDialog dialog;
    // Cancel gives IDCANCEL and a dialog that cannot be created the
    // platform's failure value: only OK counts as confirmed.
    return dialog.DoModalWithImage(window, source, width, height) == IDOK ? 1 : 0;
}
