#include "ui/preview_pane.h"

#include <cstddef>
#include <new>

#include "plugin/plugin_module.h"
#include "resources/resource.h"
#include "ui/dialog_base.h"

PreviewPane* CurrentPreviewPane = nullptr;

LRESULT CALLBACK PaneWindowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CurrentPreviewPane == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return CurrentPreviewPane->WindowProc(message, wParam, lParam);
}

PreviewPane::~PreviewPane() { delete[] pixels; }

void PreviewPane::Fail(std::int32_t code, bool disableControl) {
    error = code;
    if (disableControl && control != nullptr) EnableWindow(control, FALSE);
}

bool PreviewPane::Attach(HWND dialogWindow, int controlId) {
    control = GetDlgItem(dialogWindow, controlId);
    if (control == nullptr) {
        Fail(kPaneNoControl, false);
        return false;
    }
    RECT client;
    if (!GetClientRect(control, &client)) {
        Fail(kPaneNoClientRect, true);
        return false;
    }
    width = client.right;
    height = client.bottom;

    delete[] pixels;
    pixels = nullptr;
    const std::size_t count =
        width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0;
    pixels = new (std::nothrow) PixelBGRA[count == 0 ? 1 : count];
    if (pixels == nullptr) {
        Fail(kPaneNoBuffer, true);
        return false;
    }
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const PixelBGRA background{GetBValue(window), GetGValue(window), GetRValue(window), 0};
    for (std::size_t i = 0; i < count; ++i) pixels[i] = background;

    bitmapInfo = BITMAPINFO{};
    bitmapInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bitmapInfo.bmiHeader.biWidth = width;
    bitmapInfo.bmiHeader.biHeight = -height;  // rows stored top row first
    bitmapInfo.bmiHeader.biPlanes = 1;
    bitmapInfo.bmiHeader.biBitCount = 32;
    bitmapInfo.bmiHeader.biCompression = BI_RGB;

    CurrentPreviewPane = this;
    previousWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaneWindowThunk)));
    if (previousWindowProc == nullptr) {
        Fail(kPaneNoSubclass, true);
        return false;
    }
    return true;
}

void PreviewPane::Refresh() {
    // Without a control, GetDC would hand out the whole screen.
    if (control == nullptr) return;
    HDC dc = GetDC(control);
    if (dc == nullptr) {
        Fail(kPaneNoDeviceContext, false);
        return;
    }
    Paint(dc);
    ReleaseDC(control, dc);
}

void PreviewPane::PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) {
    if (!StoreOverChecker(pixels, width, height, x, y, pixel, alpha)) Fail(kPanePixelOutside, true);
}

void PreviewPane::DrawError(HDC dc) {
    if (dc == nullptr) return;
    RECT client{0, 0, 0, 0};
    if (control != nullptr) GetClientRect(control, &client);
    char text[512];
    FormatPreviewError(text, sizeof text, error);
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, -1, &client, 0);
    SetBkMode(dc, previousMode);
}

LRESULT PreviewPane::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(control, &paint);
        Paint(dc);
        EndPaint(control, &paint);
    }
    if (previousWindowProc == nullptr) return DefWindowProcA(control, message, wParam, lParam);
    return CallWindowProcA(previousWindowProc, control, message, wParam, lParam);
}

PannablePreviewPane::~PannablePreviewPane() = default;

bool PannablePreviewPane::Attach(PreviewDialogBase& owner, int controlId) {
    dialog = &owner;
    if (!PreviewPane::Attach(owner.window, controlId)) return false;
    fitsHorizontally = width >= owner.sourceWidth;
    fitsVertically = height >= owner.sourceHeight;
    return true;
}

void PannablePreviewPane::Paint(HDC dc) {
    if (error != 0) {
        DrawError(dc);
        return;
    }
    if (pixels == nullptr || control == nullptr || dc == nullptr || dialog == nullptr) return;

    const AxisWindow across = ComputeAxisWindow(fitsHorizontally, width, dialog->sourceWidth, scrollX);
    const AxisWindow down = ComputeAxisWindow(fitsVertically, height, dialog->sourceHeight, scrollY);
    PreviewPoint destination{across.destination, down.destination};
    PreviewPoint source{across.source, down.source};
    PreviewSize size{across.size, down.size};
    const bool show = dialog->RenderPreview(*this, destination, source, size);
    if (show && error == 0) {
        StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, pixels, &bitmapInfo, DIB_RGB_COLORS, SRCCOPY);
    }
}

LRESULT PannablePreviewPane::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // Signed: while the mouse is captured it can lie left of or above the pane.
    const std::int32_t x = static_cast<std::int16_t>(LOWORD(lParam));
    const std::int32_t y = static_cast<std::int16_t>(HIWORD(lParam));
    switch (message) {
        case WM_MOUSEMOVE:
            OnMouseMove(x, y, wParam);
            break;
        case WM_LBUTTONDOWN:
            OnLButtonDown(x, y, wParam);
            break;
        case WM_LBUTTONUP:
            OnLButtonUp(x, y, wParam);
            break;
        default:
            break;
    }
    return PreviewPane::WindowProc(message, wParam, lParam);
}

void PannablePreviewPane::SetPaneCursor(int cursorId) {
    SetCursor(LoadCursorA(ThePluginModule->instance, MAKEINTRESOURCEA(cursorId)));
}

void PannablePreviewPane::OnLButtonDown(std::int32_t x, std::int32_t y, WPARAM) {
    if (fitsHorizontally && fitsVertically) return;
    lastX = x;
    lastY = y;
    SetCapture(control);
    SetPaneCursor(IDCUR_CLOSED_HAND);
}

void PannablePreviewPane::OnLButtonUp(std::int32_t, std::int32_t, WPARAM) {
    if (control != nullptr && GetCapture() == control) ReleaseCapture();
}

void PannablePreviewPane::OnMouseMove(std::int32_t x, std::int32_t y, WPARAM) {
    if (control != nullptr && GetCapture() == control && dialog != nullptr) {
        const std::int32_t oldX = scrollX;
        const std::int32_t oldY = scrollY;
        scrollX = ClampScroll(scrollX + (lastX - x), dialog->sourceWidth, width);
        scrollY = ClampScroll(scrollY + (lastY - y), dialog->sourceHeight, height);
        lastX = x;
        lastY = y;
        if (scrollX != oldX || scrollY != oldY) Refresh();
        SetPaneCursor(IDCUR_CLOSED_HAND);
        return;
    }
    if (!fitsHorizontally || !fitsVertically) SetPaneCursor(IDCUR_OPEN_HAND);
}
