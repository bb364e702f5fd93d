// Where the text of a run goes: the console, an appended log file, or nowhere.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sys_error.h"

namespace glyphshift {

// The settings of a run that decide where its text goes.
struct OutputSettings {
  bool noConsole = false;  // /silent, /log= or the dialog
  std::u16string logFilePath;
  std::int32_t logLevel = 0;
  bool messagesToStandardError = false;  // filter mode: standard output carries the text
};

// Routes standard output and standard error once per run, before the first message:
//   console run (no /silent, no /log=): messages to the standard output the program was started
//     with (to its standard error in filter mode); diagnostics discarded;
//   /log=<file>: messages appended to the file after a start line; at a non-zero log level the
//     diagnostics go there too and both streams are unbuffered, so lines interleave in order;
//   /silent or dialog mode without a log: messages discarded; at log level exactly 1 the
//     diagnostics go to the terminal (/dev/tty).
// A log file that cannot be opened (missing folder, a link or a FIFO at its name) is returned:
// the run must stop before it converts anything nobody could read about.
[[nodiscard]] platform::SysError RouteOutput(const OutputSettings& options);

// The end of the run's output: everything written reaches its target.
void ReleaseConsole();

// The end of the program's output, with its exit code: everything written reaches its target.
// A log that could not be written to the end gets one line on the standard error the program was
// started with, and a run that would have ended with 0 ends with the write error's 1 instead.
[[nodiscard]] int EndOutput(int exitCode);

}  // namespace glyphshift
