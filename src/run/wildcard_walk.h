// The wildcard flow: every file of the pattern's directory that matches, and with /recursive
// every directory below it, depth first through a last-in, first-out stack of directories.
#pragma once

#include <optional>

#include "messages/results.h"
#include "run/run_state.h"

namespace glyphshift {

// Converts every matching file; nothing, or the early exit code (kWildcardInOutput,
// kOutputNotADirectory) of an output that cannot serve. The counts are left in the run's summary.
std::optional<Result> ConvertMatchingFiles(CRun& run);

}  // namespace glyphshift
