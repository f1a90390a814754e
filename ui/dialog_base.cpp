#include "ui/dialog_base.h"

#include <cstdio>
#include <utility>

#include "plugin/plugin_module.h"

DialogBase* CurrentDialog = nullptr;

namespace {

bool WriteNumber(const char* section, const char* key, int value, const char* path) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    WritePrivateProfileStringA(section, key, text, path);
    return true;
}

}  // namespace

DialogBase::DialogBase(int dialogTemplateId) : templateId(dialogTemplateId) {}

DialogBase::~DialogBase() = default;

INT_PTR DialogBase::DoModal(HWND parent) {
    CurrentDialog = this;
    return DialogBoxParamA(ThePluginModule->instance, MAKEINTRESOURCEA(templateId & 0xFFFF), parent,
                           &DialogBase::DialogProc, 0);
}

INT_PTR CALLBACK DialogBase::DialogProc(HWND dialogWindow, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CurrentDialog == nullptr) return FALSE;
    // Stored for every message, so that OnInitDialog can already reach the controls.
    CurrentDialog->window = dialogWindow;
    return CurrentDialog->HandleMessage(dialogWindow, message, wParam, lParam);
}

INT_PTR DialogBase::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            return OnCommand(reinterpret_cast<HWND>(lParam), wParam, HIWORD(wParam));
        default:
            return 0;
    }
}

BOOL DialogBase::OnInitDialog() { return TRUE; }

BOOL DialogBase::OnCommand(HWND, WPARAM wParam, WORD) {
    // The id alone decides: Enter gives IDOK; Escape and the close box give IDCANCEL.
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            return FALSE;
    }
}

void DialogBase::SaveSettings() {}

void DialogBase::OnOK() {
    SaveSettings();
    EndDialog(window, IDOK);
}

void DialogBase::OnCancel() { EndDialog(window, IDCANCEL); }

void DialogBase::CheckRadioInRange(int first, int last, int checkId) {
    if (checkId < first || checkId > last) checkId = first;
    CheckRadioButton(window, first, last, checkId);
}

bool DialogBase::WriteRadioIndex(const char* section, const char* key, int firstId, int lastId, const char* path) {
    if (static_cast<unsigned>(firstId) > static_cast<unsigned>(lastId)) std::swap(firstId, lastId);
    for (int id = firstId; id <= lastId; ++id) {
        if (IsDlgButtonChecked(window, id) == BST_CHECKED) {
            return WriteNumber(section, key, id - firstId, path);
        }
    }
    return false;
}

bool DialogBase::WriteSignedInt(const char* section, const char* key, int editId, const char* path) {
    BOOL translated = FALSE;
    const int value = static_cast<int>(GetDlgItemInt(window, editId, &translated, TRUE));
    if (!translated) return false;
    return WriteNumber(section, key, value, path);
}

bool DialogBase::WriteComboIndex(const char* section, const char* key, int comboId, const char* path) {
    const LRESULT selection = SendMessageA(GetDlgItem(window, comboId), CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR) return false;
    return WriteNumber(section, key, static_cast<int>(selection), path);
}

bool DialogBase::WriteCheckBox(const char* section, const char* key, int checkId, const char* path) {
    // The indeterminate state counts as unchecked.
    const bool checked = IsDlgButtonChecked(window, checkId) == BST_CHECKED;
    WritePrivateProfileStringA(section, key, checked ? "1" : "0", path);
    return true;
}

PreviewDialogBase::PreviewDialogBase(int dialogTemplateId) : DialogBase(dialogTemplateId) {}

PreviewDialogBase::~PreviewDialogBase() = default;

INT_PTR PreviewDialogBase::DoModalWithImage(HWND parent, const PixelBGRA* source, std::int32_t width,
                                            std::int32_t height) {
    sourcePixels = source;
    // Without pixels, or with a size that describes none, there is nothing
    // to read: the preview then shows an empty image.
    const bool usable = source != nullptr && width > 0 && height > 0;
    sourceWidth = usable ? width : 0;
    sourceHeight = usable ? height : 0;
    return DoModal(parent);
}

bool PreviewDialogBase::IsPreviewChecked() const {
    return IsDlgButtonChecked(window, IDC_PREVIEW_CHECK) == BST_CHECKED;
}

BOOL PreviewDialogBase::OnInitDialog() {
    // A pane that fails shows its own error; the dialog goes on.
    previewPane.Attach(*this, IDC_PREVIEW_PANE);
    return TRUE;
}

BOOL PreviewDialogBase::OnCommand(HWND control, WPARAM wParam, WORD code) {
    if (code == BN_CLICKED && LOWORD(wParam) == IDC_PREVIEW_CHECK) previewPane.Refresh();
    return DialogBase::OnCommand(control, wParam, code);
}

bool PreviewDialogBase::RenderPreview(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                                      PreviewSize& size) {
    PanePixelSink sink(pane);
    RenderUnchanged(sink, PreviewImage{sourcePixels, sourceWidth, sourceHeight},
                    PreviewWindow{destination, source, size});
    return true;
}
