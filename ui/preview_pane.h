// The preview pane: a static control of a dialog turned into a live,
// pannable picture of the filter's effect over a checkerboard.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shear/pixel.h"
#include "ui/preview_math.h"
#include "ui/preview_render.h"

class PreviewDialogBase;

// Failure numbers shown by the pane in place of the picture.
enum PreviewPaneError : std::int32_t {
    kPaneNoControl = 1,
    kPaneNoClientRect = 2,
    kPaneNoBuffer = 3,
    kPaneNoSubclass = 4,
    kPaneNoDeviceContext = 5,
    kPanePixelOutside = 6,
};

class PreviewPane {
public:
    PreviewPane() = default;
    virtual ~PreviewPane();
    PreviewPane(const PreviewPane&) = delete;
    PreviewPane& operator=(const PreviewPane&) = delete;

    virtual void Paint(HDC dc) = 0;
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Binds the pane to the child `controlId` of `dialogWindow`: buffer the
    // size of its client area, subclassed window procedure.  False with
    // `error` set when any step fails.
    bool Attach(HWND dialogWindow, int controlId);
    // Paints at once, outside the paint cycle.
    void Refresh();
    // Stores the pixel blended over the checkerboard; a coordinate outside
    // the buffer is error 6 and disables the control.
    void PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha);
    void DrawError(HDC dc);

protected:
    void Fail(std::int32_t code, bool disableControl);

    WNDPROC previousWindowProc = nullptr;
    HWND control = nullptr;
    BITMAPINFO bitmapInfo = {};
    PixelBGRA* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t error = 0;
};

class PannablePreviewPane : public PreviewPane {
public:
    PannablePreviewPane() = default;
    ~PannablePreviewPane() override;

    void Paint(HDC dc) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void OnLButtonDown(std::int32_t x, std::int32_t y, WPARAM keys);
    virtual void OnLButtonUp(std::int32_t x, std::int32_t y, WPARAM keys);
    virtual void OnMouseMove(std::int32_t x, std::int32_t y, WPARAM keys);

    bool Attach(PreviewDialogBase& owner, int controlId);

private:
    void SetPaneCursor(int cursorId);

    PreviewDialogBase* dialog = nullptr;
    bool fitsHorizontally = false;
    bool fitsVertically = false;
    std::int32_t scrollX = 0;
    std::int32_t scrollY = 0;
    std::int32_t lastX = 0;
    std::int32_t lastY = 0;
};

// Hands the renderer's pixels to a pane.
class PanePixelSink : public PixelSink {
public:
    explicit PanePixelSink(PreviewPane& target) : pane(target) {}
    void PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) override {
        pane.PutPixel(x, y, pixel, alpha);
    }

private:
    PreviewPane& pane;
};

// The pane attached most recently; the subclassed control reaches it here.
extern PreviewPane* CurrentPreviewPane;
LRESULT CALLBACK PaneWindowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
