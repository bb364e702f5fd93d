// The report mode ("/info", "/info=json"): every source the run would convert is read and
// described, one entry each on standard output, and nothing is converted. No destination is
// opened, nothing is written, locked or removed (a leftover temporary file included), and the
// messages go to standard error.
#pragma once

#include <optional>
#include <string_view>

#include "convert/process_file.h"
#include "messages/results.h"
#include "run/run_state.h"

namespace glyphshift {

// Describes one opened source on standard output: its set found as the run would find it (or
// given), the statistical model's opinion where the byte rules fell back, and what the text
// holds. A source that cannot be read gets the run's lines and result instead; false then.
bool ReportSource(CRun& run, const OpenedSource& source, const FileLocation& location, std::u16string_view shownName);

// The report over every source of the run: standard input, named files, patterns (through the
// wildcard walk, with every rule it keeps on trees others can write). Nothing, or an early exit
// code: a directory named as a source (3), a source named through a link the run may not
// follow (2). The counts are left in the run's summary.
std::optional<Result> ReportSources(CRun& run);

}  // namespace glyphshift
