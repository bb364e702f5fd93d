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
  // Read as the byte rules' ISO-8859-1, but the statistical model is confident of this set.
  std::string_view looksLike;
};

// What went wrong with a conversion, or what of it was not done (nothing for Problem::None),
// and what it did otherwise than asked (a replaced file's owner and mode not kept).
void ReportProblem(const RunSettings& settings, const ConversionReport& report, const ReportedFile& file);

// What a converted file could not carry over: the warning lines that follow its result line
// (empty for a file converted whole).
std::u16string LossWarnings(const ConversionReport& report, const ReportedFile& file);
// Why a file was left unchanged, or skipped (NotText, WouldLose, SourceChanged; else empty).
std::u16string RefusalText(const ConversionReport& report, const ReportedFile& file);

// A file converted: the box of the dialog's run, with the file's warnings.
void ReportFinished(const RunSettings& settings, std::u16string_view warnings);

// In the dialog's run, for a file left unchanged to protect its content (lossy, or no text):
// asks whether to convert it anyway. False without asking anywhere else.
bool AskToConvertAnyway(const RunSettings& settings, const ConversionReport& report, const ReportedFile& file);

// Whether a report skips its file rather than failing it (counted in neither total).
bool SkipsFile(const ConversionReport& report, const ReportedFile& file);

}  // namespace glyphshift
