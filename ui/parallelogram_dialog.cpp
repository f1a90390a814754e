#include "ui/parallelogram_dialog.h"

#include <commctrl.h>

#include <cstdio>

#include "filters/parallelogram_run.h"
#include "plugin/client_info.h"
#include "plugin/plugin_module.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "ui/dimension_text.h"
#include "ui/preview_render.h"

namespace {

// Entries of the undefined-area list; an entry's index is its UndefinedAreaMode.
const char* const kUndefinedAreaNames[kUndefinedAreaModeCount] = {
    "端の画素", "元の画素", "繰り返し", "折り返し", "描画色", "背景色",
};

constexpr int kDimensionTextCapacity = 15;
constexpr int kSliderPageStep = 10;

}  // namespace

ParallelogramDialog::ParallelogramDialog() : PreviewDialogBase(IDD_PARALLELOGRAM) {}

ParallelogramDialog::~ParallelogramDialog() = default;

BOOL ParallelogramDialog::OnInitDialog() {
    PreviewDialogBase::OnInitDialog();

    for (int id = IDC_SHAPE_FIRST; id <= IDC_SHAPE_LAST; ++id) {
        HICON icon = LoadIconA(ThePluginModule->instance, MAKEINTRESOURCEA(id));
        SendDlgItemMessageA(window, id, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
    for (const char* name : kUndefinedAreaNames) {
        SendDlgItemMessageA(window, IDC_UNDEFINED_AREA_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }

    ParallelogramSettings settings{};
    char path[MAX_PATH];
    LoadSettings(ThePluginModule->SettingsFilePath(path, sizeof path), settings, false);

    CheckRadioInRange(IDC_SHAPE_FIRST, IDC_SHAPE_LAST, IDC_SHAPE_FIRST + settings.shape);

    SendDlgItemMessageA(window, IDC_DIMENSION_SPIN, UDM_SETRANGE32, static_cast<WPARAM>(kDimensionMin), kDimensionMax);
    SendDlgItemMessageA(window, IDC_DIMENSION_SLIDER, TBM_SETRANGEMIN, FALSE, kDimensionMin);
    SendDlgItemMessageA(window, IDC_DIMENSION_SLIDER, TBM_SETRANGEMAX, TRUE, kDimensionMax);
    SendDlgItemMessageA(window, IDC_DIMENSION_SLIDER, TBM_SETTICFREQ, 10, 0);

    // The edit's update notification parses this at once (the preview box
    // is still unchecked, so nothing is redrawn yet).
    const std::int32_t dimension = settings.dimension >= kDimensionMin && settings.dimension <= kDimensionMax
                                       ? settings.dimension
                                       : currentDimension;
    SetDlgItemInt(window, IDC_DIMENSION_EDIT, static_cast<UINT>(dimension), TRUE);
    SendDlgItemMessageA(window, IDC_DIMENSION_SLIDER, TBM_SETPOS, TRUE, dimension);

    SendDlgItemMessageA(window, IDC_UNDEFINED_AREA_COMBO, CB_SETCURSEL, static_cast<WPARAM>(settings.policy.mode), 0);
    CheckDlgButton(window, IDC_TRANSPARENT_CHECK, settings.policy.transparent != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window, IDC_PREVIEW_CHECK, settings.preview != 0 ? BST_CHECKED : BST_UNCHECKED);

    // Without a mask from the host the whole image counts as selected.
    selectionBounds = ProcessRect{0, 0, sourceWidth, sourceHeight};
    const std::uint8_t* mask = nullptr;
    GetSelectionBounds(&mask, &selectionBounds, sourceWidth, sourceHeight);

    // The dialog opens for typing a dimension.  The platform would focus the
    // first tab stop, and checking a radio button has just made the checked
    // shape button one: focus the edit here, its text selected so that
    // typing replaces it, and tell the platform that the focus is set.
    HWND edit = GetDlgItem(window, IDC_DIMENSION_EDIT);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
    return FALSE;
}

INT_PTR ParallelogramDialog::HandleMessage(HWND dialogWindow, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HSCROLL && lParam != 0 && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_DIMENSION_SLIDER) {
        return OnSliderScroll(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    }
    return DialogBase::HandleMessage(dialogWindow, message, wParam, lParam);
}

bool ParallelogramDialog::OnSliderScroll(WORD code, WORD position) {
    std::int32_t value;
    switch (code) {
        case TB_LINEUP:
            value = currentDimension - 1;
            break;
        case TB_LINEDOWN:
            value = currentDimension + 1;
            break;
        case TB_PAGEUP:
            value = currentDimension - kSliderPageStep;
            if (value < kDimensionMin) value = kDimensionMin;
            break;
        case TB_PAGEDOWN:
            value = currentDimension + kSliderPageStep;
            if (value > kDimensionMax) value = kDimensionMax;
            break;
        case TB_THUMBPOSITION:
        case TB_THUMBTRACK:
            value = static_cast<std::int16_t>(position);
            break;
        // Home and End: the value follows where the trackbar has put its thumb.
        case TB_TOP:
            value = kDimensionMin;
            break;
        case TB_BOTTOM:
            value = kDimensionMax;
            break;
        default:
            return false;
    }
    // Only written: the edit's parsing decides whether the value is taken.
    SetDlgItemInt(window, IDC_DIMENSION_EDIT, static_cast<UINT>(value), TRUE);
    return true;
}

BOOL ParallelogramDialog::OnCommand(HWND control, WPARAM wParam, WORD code) {
    const int id = LOWORD(wParam);
    if (code == EN_UPDATE && id == IDC_DIMENSION_EDIT) {
        if (!updatingEdit) ParseDimensionEdit();
    } else if (code == BN_CLICKED && (id == IDC_TRANSPARENT_CHECK || (id >= IDC_SHAPE_FIRST && id <= IDC_SHAPE_LAST))) {
        if (IsPreviewChecked()) previewPane.Refresh();
    } else if (code == CBN_SELCHANGE && id == IDC_UNDEFINED_AREA_COMBO) {
        if (IsPreviewChecked()) previewPane.Refresh();
    }
    return PreviewDialogBase::OnCommand(control, wParam, code);
}

void ParallelogramDialog::ParseDimensionEdit() {
    char text[kDimensionTextCapacity] = "";
    GetDlgItemTextA(window, IDC_DIMENSION_EDIT, text, kDimensionTextCapacity);
    std::int32_t value = 0;
    if (!ParseDimensionText(text, &value)) {
        // Put the last accepted value back; the notification this write
        // produces is not parsed again.
        updatingEdit = true;
        SetDlgItemInt(window, IDC_DIMENSION_EDIT, static_cast<UINT>(currentDimension), TRUE);
        updatingEdit = false;
        return;
    }
    if (value == currentDimension) return;
    currentDimension = value;
    SendDlgItemMessageA(window, IDC_DIMENSION_SLIDER, TBM_SETPOS, TRUE, value);
    if (IsPreviewChecked()) previewPane.Refresh();
}

void ParallelogramDialog::SaveSettings() {
    char path[MAX_PATH];
    ThePluginModule->SettingsFilePath(path, sizeof path);
    // Never write beside an unknown file: without a path there is nothing to save to.
    if (path[0] == '\0') return;
    WriteRadioIndex(kSettingsSection, kShapeKey, IDC_SHAPE_FIRST, IDC_SHAPE_LAST, path);
    WriteSignedInt(kSettingsSection, kDimensionKey, IDC_DIMENSION_EDIT, path);
    WriteComboIndex(kSettingsSection, kUndefinedAreaKey, IDC_UNDEFINED_AREA_COMBO, path);
    WriteCheckBox(kSettingsSection, kTransparentKey, IDC_TRANSPARENT_CHECK, path);
    WritePrivateProfileStringA(kSettingsSection, kPreviewKey, IsPreviewChecked() ? "1" : "0", path);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);  // flush the profile cache
}

std::int32_t ParallelogramDialog::CurrentShape() const {
    for (int id = IDC_SHAPE_FIRST; id <= IDC_SHAPE_LAST; ++id) {
        if (IsDlgButtonChecked(window, id) == BST_CHECKED) return id - IDC_SHAPE_FIRST;
    }
    return ValueOf(ShapeKind::TopAndBottom);
}

void ParallelogramDialog::CurrentUndefinedAreaPolicy(UndefinedAreaPolicy& policy) const {
    const LRESULT selection = SendDlgItemMessageA(window, IDC_UNDEFINED_AREA_COMBO, CB_GETCURSEL, 0, 0);
    policy.mode = KnownModeOrFirst(static_cast<std::int32_t>(selection));
    policy.transparent = IsDlgButtonChecked(window, IDC_TRANSPARENT_CHECK) == BST_CHECKED ? 1 : 0;
    // Asks the host for modes 4 and 5 (opaque black or white when it does
    // not answer) and clears the alpha byte with the transparent option.
    policy.fill = ResolveFillColour(policy, &QueryClientInfo);
}

bool ParallelogramDialog::RenderPreview(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                                        PreviewSize& size) {
    BOOL translated = FALSE;
    std::int32_t dimension = static_cast<std::int32_t>(GetDlgItemInt(window, IDC_DIMENSION_EDIT, &translated, TRUE));
    if (!translated || dimension < kDimensionMin || dimension > kDimensionMax) dimension = 0;
    if (!IsPreviewChecked() || dimension == 0) {
        return PreviewDialogBase::RenderPreview(pane, destination, source, size);
    }
    const std::int32_t shape = CurrentShape();
    UndefinedAreaPolicy policy{};
    CurrentUndefinedAreaPolicy(policy);
    if (IsRowShape(shape)) {
        PreviewRowPass(pane, destination, source, size, shape, dimension, policy);
    } else {
        PreviewColumnPass(pane, destination, source, size, shape, dimension, policy);
    }
    return true;
}

bool ParallelogramDialog::PreviewRowPass(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                                         PreviewSize& size, std::int32_t shape, std::int32_t dimension,
                                         const UndefinedAreaPolicy& policy) {
    return PreviewPass(true, pane, destination, source, size, shape, dimension, policy);
}

bool ParallelogramDialog::PreviewColumnPass(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                                            PreviewSize& size, std::int32_t shape, std::int32_t dimension,
                                            const UndefinedAreaPolicy& policy) {
    return PreviewPass(false, pane, destination, source, size, shape, dimension, policy);
}

bool ParallelogramDialog::PreviewPass(bool rows, PannablePreviewPane& pane, const PreviewPoint& destination,
                                      const PreviewPoint& source, const PreviewSize& size, std::int32_t shape,
                                      std::int32_t dimension, const UndefinedAreaPolicy& policy) {
    // The mask is asked for afresh on every pass and used only during it.
    const std::uint8_t* mask = nullptr;
    if (GetSelectionBounds(&mask, nullptr, sourceWidth, sourceHeight) != 1) mask = nullptr;
    PanePixelSink sink(pane);
    const PreviewImage image{sourcePixels, sourceWidth, sourceHeight};
    const PreviewWindow window{destination, source, size};
    const PreviewShear shear{selectionBounds, mask, shape, dimension, policy};
    if (rows) {
        RenderRowShear(sink, image, window, shear);
    } else {
        RenderColumnShear(sink, image, window, shear);
    }
    return true;
}
