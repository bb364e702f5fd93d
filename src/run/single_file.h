// The single-file flow: one source, its destination beside it, in an output folder, under an
// output name, or in its place.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "convert/named_files.h"
#include "messages/results.h"
#include "run/run_state.h"

namespace glyphshift {

// Converts one source of the run, a file: into its destination, or to standard output when the
// run says so; nothing, or an early exit code: a wildcard in the output, a source (2) or
// destination (1) named through a link the run may not follow, or an owner-from-prefix table
// others may change (255). The counts are left in the run's summary.
std::optional<Result> ConvertSingleFile(CRun& run, const std::u16string& sourceSpec);

// Opens a source a person named, for a conversion and a report alike. Null, with its line, when
// it is no regular file or the run's own log (counted as failed under `shownName`; the run goes
// on), or named through a link the run may not follow (`stop` then holds the run's exit code).
std::unique_ptr<CNamedSource> OpenNamedSource(CRun& run, const std::u16string& sourcePath,
                                              std::u16string_view shownName, std::optional<Result>& stop);

}  // namespace glyphshift
