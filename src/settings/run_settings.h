// Every setting of one run, each with its default. Filled by the command line or the dialog,
// completed once at start-up (the names resolved to their catalogue spellings and codes), then
// only read: what the run finds out per file lives in that file's own record (SourceFacts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_settings.h"
#include "engine/charset_catalogue.h"
#include "messages/output_routing.h"

namespace glyphshift {

// How a source without "/scs=" is judged: by the byte rules alone, or with the statistical
// detector deciding what the rules leave to their single-byte fallback.
enum class DetectionMethod { Simple, Statistical };

// "/info" and "/info=json": the run reports what each source holds, as a table or as one JSON
// object a line, and converts nothing.
enum class ReportFormat { None, Table, JsonLines };

struct RunSettings {
  std::vector<std::u16string> sources;  // files or patterns, converted in this order
  std::u16string outputPath;
  // Filter mode: "-" reads standard input, "/output=-" (or "-" without /output=) writes the
  // converted text to standard output, and then every message goes to standard error.
  bool standardInput = false;
  bool standardOutput = false;
  bool autoDetectSource = true;
  std::u16string sourceCharsetName = u"ansi";
  CharsetCode sourceCharset = kCharsetWindows1252;  // what "ansi" names
  std::u16string destinationCharsetName = u"utf-8";
  CharsetCode destinationCharset = kCharsetUtf8;
  bool destinationCharsetGiven = false;            // "/dcs=": a report counts what that set cannot hold
  std::u16string detectionMethodName = u"simple";  // "/detect=", resolved at start-up
  DetectionMethod detectionMethod = DetectionMethod::Simple;
  ConversionSettings conversion;
  ReportFormat report = ReportFormat::None;
  bool replaceSource = false;
  bool recursive = false;
  bool errorStop = false;
  // "/jobs=": files of a listing converted at once, 1 to kMaxJobs; 0 is one per core.
  std::int32_t jobs = 0;
  static constexpr std::int32_t kMaxJobs = 256;
  bool uiMode = false;       // started as the dialog
  bool noStatusBox = false;  // "/nowait", "/silent": no message box in the dialog's run
  OutputSettings output;     // console, log file, log level
  bool ownerFromPrefix = false;
  std::u16string userTranslationTablePath = u"user-to-account.csv";

  // Nothing is converted, written, locked or removed: each source is only read and described.
  bool ReportsOnly() const { return report != ReportFormat::None; }

  // The dialog's run reports each file in a message box.
  bool ShowsBoxes() const { return uiMode && !noStatusBox; }
};

}  // namespace glyphshift
