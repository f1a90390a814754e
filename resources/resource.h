// Ids of the module's resources and of the settings dialog's controls: the
// one list that the resource script, the dialog code, the reference host and
// the tests share.  Plain definitions, so that the resource compiler reads
// this file too.
#pragma once

// The settings dialog.
#define IDD_PARALLELOGRAM 118

// Controls every preview dialog holds: the static control that becomes the
// preview pane, and the checkbox that switches the preview on and off.
#define IDC_PREVIEW_PANE 1005
#define IDC_PREVIEW_CHECK 1006

// The settings dialog's own controls.
#define IDC_DIMENSION_EDIT 1059
#define IDC_DIMENSION_SPIN 1060
#define IDC_DIMENSION_SLIDER 1061
#define IDC_TRANSPARENT_CHECK 1062
#define IDC_UNDEFINED_AREA_COMBO 1064

// The six shape buttons; a button's id minus the first one's is its shape,
// and each shows the icon of its own id.
#define IDC_SHAPE_TOP_AND_BOTTOM 1065
#define IDC_SHAPE_TOP 1066
#define IDC_SHAPE_BOTTOM 1067
#define IDC_SHAPE_LEFT_AND_RIGHT 1068
#define IDC_SHAPE_LEFT 1069
#define IDC_SHAPE_RIGHT 1070
#define IDC_SHAPE_FIRST IDC_SHAPE_TOP_AND_BOTTOM
#define IDC_SHAPE_LAST IDC_SHAPE_RIGHT

// The preview pane's cursors: open hand on hover, closed hand while dragging.
#define IDCUR_OPEN_HAND 107
#define IDCUR_CLOSED_HAND 108
