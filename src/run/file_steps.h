// The steps both flows take for one file: the refusals of the log, detection, the conversion,
// the result line, the counts and the owner hand-over.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "convert/process_file.h"
#include "platform/streams.h"
#include "run/file_report.h"
#include "run/run_state.h"
#include "run/source_detection.h"

namespace glyphshift {

// What the run found out about one source: the set it is read in (given, or detected).
struct SourceFacts {
  CharsetCode charset = 0;
  std::u16string charsetName;
};

// Says, with a log level, what the statistical model made of the file; a set that cannot be
// converted is always reported. False when the file is not to be converted.
bool ReportDetection(const RunSettings& settings, const SourceDetection& detected, std::u16string_view path);

// Counts a converted file and prints its "Success" line.
void PrintSuccess(RunSummary& summary, std::uint64_t sourceSize, std::uint64_t destinationSize,
                  std::u16string_view displayName);

// Counts a file that was not converted and prints its "Error" line.
void CountFailure(RunSummary& summary, Result result, std::u16string_view displayName);

// One file of a run between its conversion and its result line.
struct CFileRun {
  Result result = Result::Converted;  // of the conversion so far; a failure was reported already
  bool skipped = false;               // not converted, and counted in neither total (reported)
  CConvertedFile converted;
  ConversionReport report;  // what the conversion could not carry over
  SourceFacts facts;
  bool guessedLatin1 = false;  // the source's set is the byte rules' fallback
  std::string looksLike;       // what the statistical model is confident the text is instead
  std::u16string displayName;
  bool listed = false;  // found in a listing, not named
  std::uint64_t sourceSize = 0;
  // Converted for standard output rather than into `converted`: the whole text, handed over
  // only once it is complete, so a failure leaves nothing half-written in a pipe.
  std::unique_ptr<platform::CSpool> standardOutput;
  // Called once the file has its name (with it) or could not get it (with null; `skipped` when
  // it was passed over rather than failed).
  std::function<void(WrittenFile* written, bool skipped)> done;
};

// What every file takes before its conversion: the progress line's note, detection of the source
// set when asked to (a set that cannot be converted gives a refused file), the trace line.
// `listed`: the source was found in a listing (a file there that is no text is skipped, a named
// one is refused).
std::unique_ptr<CFileRun> PrepareFile(CRun& run, OpenedSource& source, const FileLocation& sourceLocation,
                                      std::u16string_view destinationPath, std::u16string_view displayName,
                                      bool listed);

// Detects the source set when asked to and converts the opened source into a staged file for
// `destination`; a destination that is the run's log is refused. A failure is reported, and
// kept in the result for FinishFile to count.
std::unique_ptr<CFileRun> StartFile(CRun& run, OpenedSource& source, const FileLocation& sourceLocation,
                                    const FileLocation& destination, std::u16string_view displayName, bool listed);

// A file refused before its conversion (its reason already printed), to be counted in turn.
std::unique_ptr<CFileRun> RefusedFile(Result result, std::u16string_view displayName);

// Gives a converted file its name (see CompleteConversion), or hands it to standard output,
// prints its result line and hands it over to its owner when the run asks for that, or counts a
// failed one; then calls its `done`. Returns whether it succeeded.
bool FinishFile(CRun& run, CFileRun& file);

// Both for one file a person named; the file's record, as it ended.
std::unique_ptr<CFileRun> ConvertFile(CRun& run, OpenedSource& source, const FileLocation& sourceLocation,
                                      const FileLocation& destination, std::u16string_view displayName);

// How the run's report names the file.
ReportedFile Reported(const RunSettings& settings, const CFileRun& file);

}  // namespace glyphshift
