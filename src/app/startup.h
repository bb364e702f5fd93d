// The program's entry points below main(): mode choice, start-up and the conversion run.
#pragma once

#include <span>
#include <string>

#include "convert/conversion_options.h"

namespace glyphshift {

// The whole program for already split arguments (argv without the program name, at most 100
// used): help, dialog or batch mode. Returns the exit code (-1 for status 255).
int RunProgram(std::span<const std::u16string> arguments);

// Start-up from the routing of the output streams on, for options filled by the command line
// or the dialog: routes output, resolves and prints both character sets, enables rights when
// security is to be kept, and converts. Returns the exit code.
int RunWithOptions(ConversionOptions& options);

}  // namespace glyphshift
