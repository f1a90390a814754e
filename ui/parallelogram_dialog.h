// The Parallelogram filter's settings dialog (resource IDD_PARALLELOGRAM).
#pragma once

#include <windows.h>

#include <cstdint>

#include "resources/resource.h"
#include "shear/passes.h"
#include "ui/dialog_base.h"

class ParallelogramDialog : public PreviewDialogBase {
public:
    ParallelogramDialog();
    ~ParallelogramDialog() override;

    INT_PTR HandleMessage(HWND dialogWindow, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(HWND control, WPARAM wParam, WORD code) override;
    void SaveSettings() override;
    bool RenderPreview(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                       PreviewSize& size) override;
    virtual bool PreviewRowPass(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                                PreviewSize& size, std::int32_t shape, std::int32_t dimension,
                                const UndefinedAreaPolicy& policy);
    virtual bool PreviewColumnPass(PannablePreviewPane& pane, PreviewPoint& destination, PreviewPoint& source,
                                   PreviewSize& size, std::int32_t shape, std::int32_t dimension,
                                   const UndefinedAreaPolicy& policy);

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
    bool PreviewPass(bool rows, PannablePreviewPane& pane, const PreviewPoint& destination, const PreviewPoint& source,
                     const PreviewSize& size, std::int32_t shape, std::int32_t dimension,
                     const UndefinedAreaPolicy& policy);
};
