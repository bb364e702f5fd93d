// The graphical modes from the program's side: the main dialog and the help window live in a
// toolkit module that is loaded only here, so a batch run never loads it.
#pragma once

#include <string_view>

#include "settings/run_settings.h"
#include "ui/gui_module.h"

namespace glyphshift::app {

// Shows the help window with `usageText` until it is closed. Returns false, showing nothing,
// when no display or GUI module is available.
bool ShowHelpWindow(std::u16string_view usageText);

// Runs the main dialog modally; on ui::kDialogConvert it has filled `settings`. On
// ui::kDialogUnavailable it has said why on standard error.
int RunMainDialog(RunSettings& settings);

// The last words of a dialog that could not be had for want of a display.
void ReportNoDisplay();

}  // namespace glyphshift::app
