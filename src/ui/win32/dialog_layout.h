// The layout engine (ui/layout.h) on a Win32 dialog: recording the controls, moving them in one
// deferred batch per size step, the size limits, and erasing only what no control covers.
#pragma once

#include <windows.h>

#include "ui/layout.h"

namespace glyphshift::ui::win32 {

// Widens each one-line label and check box of the main dialog (template 101) whose text is wider
// in the dialog's font than its template allows, as far as TextGrowthLimit lets it: a font
// other than the template's would otherwise cut its last words off. Before the layout is recorded.
void FitTextControls(HWND dialog);

// Records every control of `table` at its place in `dialog`'s client area.
void CaptureDialogLayout(HWND dialog, ControlLayout* table);

// Moves and sizes the controls for a dialog whose window (frame included) is `windowRect`:
// WM_SIZE passes the window's rectangle, WM_SIZING the proposed one, so the controls follow a
// drag without lagging behind. The client size is the window's less its real frame.
void ApplyDialogLayout(HWND dialog, const ControlLayout* table, const RECT& windowRect);

// WM_GETMINMAXINFO: at least 300 wide, held at 400 high; the other members stay as given.
void ApplySizeLimits(MINMAXINFO& limits);

// WM_ERASEBKGND: cuts the controls out of the clipping region of `dc`, so the default erase
// paints only the empty parts of the dialog (no flicker while it is dragged). Of a group box
// only its frame band is cut out; its caption and its empty inside are erased.
void ExcludeControlsFromErase(HDC dc, const ControlLayout* table);

}  // namespace glyphshift::ui::win32
