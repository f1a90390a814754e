// A small framework over the platform's modal dialogs: a dialog resource
// bound to an object with virtual message handlers, and a base for dialogs
// that show a live preview of the host's image.
#pragma once

#include <windows.h>

#include <cstdint>

#include "resources/resource.h"
#include "shear/pixel.h"
#include "ui/preview_math.h"
#include "ui/preview_pane.h"

class DialogBase {
public:
    explicit DialogBase(int dialogTemplateId);
    virtual ~DialogBase();
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    virtual INT_PTR HandleMessage(HWND dialogWindow, UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnInitDialog();
    // `control` is the control's window, `code` its notification code.
    virtual BOOL OnCommand(HWND control, WPARAM wParam, WORD code);
    virtual void SaveSettings();
    virtual void OnOK();
    virtual void OnCancel();

    // The value given to EndDialog, or the platform's failure value.
    INT_PTR DoModal(HWND parent);
    static INT_PTR CALLBACK DialogProc(HWND dialogWindow, UINT message, WPARAM wParam, LPARAM lParam);

    // Checks `checkId` in the radio group first..last; an id outside the
    // group checks `first` instead.
    void CheckRadioInRange(int first, int last, int checkId);

    // Control writers: each writes at most one key and says whether it did.
    bool WriteRadioIndex(const char* section, const char* key, int firstId, int lastId, const char* path);
    bool WriteSignedInt(const char* section, const char* key, int editId, const char* path);
    bool WriteComboIndex(const char* section, const char* key, int comboId, const char* path);
    bool WriteCheckBox(const char* section, const char* key, int checkId, const char* path);

    HWND window = nullptr;
    int templateId;
};

// The framework dialog that is running (set by DoModal, never cleared).
extern DialogBase* CurrentDialog;

class PreviewDialogBase : public DialogBase {
public:
    explicit PreviewDialogBase(int dialogTemplateId);
    ~PreviewDialogBase() override;

    BOOL OnInitDialog() override;
    BOOL OnCommand(HWND control, WPARAM wParam, WORD code) override;
    // Fills the pane's window at `destination` from the image at `source`;
    // true when the buffer is to be shown.  This one shows the image as is.
    virtual bool RenderPreview(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                               PreviewSize& size);

    // Runs the dialog over the host's image (read only).
    INT_PTR DoModalWithImage(HWND parent, const PixelBGRA* source, std::int32_t width, std::int32_t height);
    bool IsPreviewChecked() const;

    const PixelBGRA* sourcePixels = nullptr;
    std::int32_t sourceWidth = 0;
    std::int32_t sourceHeight = 0;
    PannablePreviewPane previewPane;
};
