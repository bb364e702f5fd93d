// The graphical modes: the main dialog and the help window. The toolkit code lives in a
// module that is loaded only here, so a batch run never loads it.
#pragma once

#include <string_view>

#include "convert/conversion_options.h"

namespace glyphshift::ui {

// Shows the help window with `usageText` until it is closed. Returns false, showing nothing,
// when no display or GUI module is available.
bool ShowHelpWindow(std::u16string_view usageText);

// End values of the main dialog.
inline constexpr int kDialogConvert = 1;
inline constexpr int kDialogCancel = 2;
inline constexpr int kDialogUnavailable = 0;  // no display or no GUI module

// Runs the main dialog modally; on Convert it has filled `options`.
int RunMainDialog(ConversionOptions& options);

}  // namespace glyphshift::ui
