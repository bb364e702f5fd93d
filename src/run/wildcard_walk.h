// The wildcard flow: every file of the pattern's directory that matches, and with /recursive
// every directory below it, depth first through a last-in, first-out stack of directories.
#pragma once

#include <optional>
#include <string>

#include "messages/results.h"
#include "run/run_state.h"

namespace glyphshift {

// Converts every file that matches the pattern `sourceSpec`, each listing in name order;
// nothing, or the early exit code (kWildcardInOutput, kOutputNotADirectory) of an output that
// cannot serve. The counts are left in the run's summary. A report run (RunSettings::ReportsOnly)
// walks the same files and describes each (ReportSource) instead: no output folder, no lock, and
// the temporary files of killed runs are left where they are.
std::optional<Result> ConvertMatchingFiles(CRun& run, const std::u16string& sourceSpec);

// The output checks ConvertMatchingFiles makes before it converts anything, on their own: a
// run of several sources makes them for every pattern before its first file.
std::optional<Result> CheckPatternOutput(const RunSettings& settings, const std::u16string& sourceSpec);

}  // namespace glyphshift
