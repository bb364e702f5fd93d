// The program's entry points below main(): mode choice, start-up and the conversion run.
#pragma once

#include <span>
#include <string>

#include "messages/results.h"
#include "settings/run_settings.h"

namespace glyphshift {

// The whole program for already split arguments (argv without the program name, every one
// used): help, the set list, dialog or batch mode. Returns the exit code (-1 for status 255).
int RunProgram(std::span<const std::u16string> arguments);

// The same for a raw command line (the text after the program name), split by the program's
// own splitter; a line it cannot make sense of ends with exit code 8.
int RunProgramWithCommandLine(std::u16string commandLine);

// Start-up from the routing of the output streams on, for settings filled by the command line
// or the dialog: routes output, completes the settings (resolves and prints both character
// sets), enables rights when security is to be kept, and converts with the settings, from then
// on read-only. Returns the exit code.
Result RunWithOptions(RunSettings settings);

}  // namespace glyphshift
