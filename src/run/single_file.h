// The single-file flow: one source, its destination beside it, in an output folder, under an
// output name, or in its place.
#pragma once

#include <optional>

#include "messages/results.h"
#include "run/run_state.h"

namespace glyphshift {

// Converts one source of the run, a file: into its destination, or to standard output when the
// run says so; nothing, or an early exit code: a wildcard in the output, a source (2) or
// destination (1) named through a link the run may not follow, or an owner-from-prefix table
// others may change (255). The counts are left in the run's summary.
std::optional<Result> ConvertSingleFile(CRun& run, const std::u16string& sourceSpec);

}  // namespace glyphshift
