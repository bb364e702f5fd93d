// morfex on Windows: a GUI program that receives its command line as one raw text and splits
// it with the program's own splitter (the C runtime's quoting, quotes after "=" kept).
// <windows.h> first: the other Windows headers build on it.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <new>
#include <string>

#include "app/startup.h"
#include "messages/output_routing.h"
#include "messages/print_message.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  using namespace glyphshift;
  // The common controls of version 6 (the manifest binds them) for the dialog's controls.
  const HRESULT com = CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LINK_CLASS};
  InitCommonControlsEx(&controls);
  if (SUCCEEDED(com)) CoUninitialize();

  int code = Code(Result::Abandoned);
  try {
    // The text after the program name, the white space after it already removed.
    code = RunProgramWithCommandLine(
        std::u16string(reinterpret_cast<const char16_t*>(commandLine != nullptr ? commandLine : L"")));
  } catch (const std::bad_alloc&) {
    // Allocation failure ends the run with its own exit code, never with an abort.
    PrintOutOfMemory();
    code = Code(Result::Abandoned);
  }
  return EndOutput(code);
}
