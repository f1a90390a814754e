// The Parallelogram filter's settings dialog (resource 118).
#pragma once

#include <windows.h>

#include <cstdint>

#include "shear/passes.h"
#include "ui/dialog_base.h"

// Control ids of dialog 118.
constexpr int kParallelogramDialogId = 118;
constexpr int kDimensionEditId = 1059;
constexpr int kDimensionSpinId = 1060;
constexpr int kDimensionSliderId = 1061;
constexpr int kTransparentCheckId = 1062;
constexpr int kUndefinedAreaComboId = 1064;
constexpr int kFirstShapeButtonId = 1065;  // + ShapeKind
constexpr int kLastShapeButtonId = 1070;

class ParallelogramDialog : public PreviewDialogBase {
public:
    ParallelogramDialog();
    ~ParallelogramDialog() override;

    INT_PTR HandleMessage(HWND dialogWindow, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(HWND control, WPARAM wParam, WORD code) override;
    void SaveSettings() override;
    bool RenderPreview(PannablePreviewPane& pane, PreviewPoint& destination,
                       PreviewPoint& source, PreviewSize& size) override;
    virtual bool PreviewRowPass(PannablePreviewPane& pane, PreviewPoint& destination,
                                PreviewPoint& source, PreviewSize& size, std::int32_t shape,
                                std::int32_t dimension, const UndefinedAreaPolicy& policy);
    virtual bool PreviewColumnPass(PannablePreviewPane& pane, PreviewPoint& destination,
                                   PreviewPoint& source, PreviewSize& size, std::int32_t shape,
                                   std::int32_t dimension, const UndefinedAreaPolicy& policy);

    // The settings as the controls show them now.
    std::int32_t CurrentShape() const;
    void CurrentUndefinedAreaPolicy(UndefinedAreaPolicy& policy) const;

    std::int32_t currentDimension = 0;
    bool updatingEdit = false;
    ProcessRect selectionBounds;

private:
    // The one place where the dimension edit's text is judged.
    void ParseDimensionEdit();
    bool OnSliderScroll(WORD code, WORD position);
    bool PreviewPass(bool rows, PannablePreviewPane& pane, const PreviewPoint& destination,
                     const PreviewPoint& source, const PreviewSize& size, std::int32_t shape,
                     std::int32_t dimension, const UndefinedAreaPolicy& policy);
};
