// The graphical modes on Windows: the native dialog and help window are part of the program.
#include "app/gui_loader.h"
#include "platform/display.h"
#include "ui/win32/help_window.h"
#include "ui/win32/main_dialog.h"

namespace glyphshift::app {

bool ShowHelpWindow(std::u16string_view usageText) {
  if (!platform::IsDisplayAvailable()) return false;
  ui::win32::CHelpWindow window;
  if (!window.Create()) return false;
  window.SetText(usageText);
  window.Run();
  return true;
}

int RunMainDialog(RunSettings& settings) {
  if (!platform::IsDisplayAvailable()) return ui::kDialogUnavailable;
  return ui::win32::RunMainDialog(settings);
}

}  // namespace glyphshift::app
