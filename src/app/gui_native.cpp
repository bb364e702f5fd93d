// The graphical modes on Windows: the native dialog and help window are part of the program.
#include "app/gui_loader.h"
#include "messages/catalogue.h"
#include "messages/print_message.h"
#include "platform/display.h"
#include "platform/streams.h"
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

void ReportNoDisplay() { platform::WriteToConsole(platform::StdStream::Error, Format(msg::kNoDisplayForDialog)); }

int RunMainDialog(RunSettings& settings) {
  // Without a desktop to own it no dialog can be made, whatever the screen metrics say (Wine
  // without an X display reports a screen).
  const int end = platform::IsDisplayAvailable() ? ui::win32::RunMainDialog(settings) : ui::kDialogUnavailable;
  if (end == ui::kDialogUnavailable) ReportNoDisplay();
  return end;
}

}  // namespace glyphshift::app
