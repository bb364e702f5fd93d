// How the run shows what happened to a file: lines through the print path and, in the
// dialog's run, message boxes.
#pragma once

#include "convert/process_file.h"
#include "settings/run_settings.h"

namespace glyphshift {

// What went wrong with a conversion, or what of it was not done (nothing for Problem::None),
// and what it did otherwise than asked (a replaced file's owner and mode not kept).
void ReportProblem(const RunSettings& settings, const ConversionReport& report);

// A file converted: the box of the dialog's run.
void ReportFinished(const RunSettings& settings);

}  // namespace glyphshift
