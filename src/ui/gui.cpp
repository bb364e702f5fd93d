// Replaced by the loader of the Qt module.
#include "ui/gui.h"
namespace glyphshift::ui {
bool ShowHelpWindow(std::u16string_view) { return false; }
int RunMainDialog(ConversionOptions&) { return kDialogUnavailable; }
}  // namespace glyphshift::ui
