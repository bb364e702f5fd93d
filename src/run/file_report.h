// How the run shows what happened to a file: lines through the print path and, in the
// dialog's run, message boxes.
#pragma once

#include <string_view>

#include "convert/process_file.h"
#include "settings/run_settings.h"

namespace glyphshift {

// The file a report is about, as its lines name it.
struct ReportedFile {
  std::u16string_view name;  // as the result line names it
  CharsetCode sourceCharset = 0;
  CharsetCode destinationCharset = 0;
  bool listed = false;  // found in a listing (a file that is no text is skipped there)
};

// What went wrong with a conversion, or what of it was not done (nothing for Problem::None).
void ReportProblem(const RunSettings& settings, const ConversionReport& report, const ReportedFile& file);

// A file converted: what it could not carry over, after its result line; and the box of the
// dialog's run.
void ReportLosses(const ConversionReport& report, const ReportedFile& file);
void ReportFinished(const RunSettings& settings);

// Whether a report skips its file rather than failing it (counted in neither total).
bool SkipsFile(const ConversionReport& report, const ReportedFile& file);

// The system's text for an error, or "error <code>" and a line break when it has none.
std::u16string ReasonOf(const platform::SysError& error);

}  // namespace glyphshift
