#include "run/file_steps.h"

#include <cstdint>
#include <memory>
#include <string>

#include "engine/charset_catalogue.h"
#include "messages/byte_size_text.h"
#include "messages/catalogue.h"
#include "messages/progress.h"
#include "platform/files.h"
#include "run/file_report.h"
#include "run/source_detection.h"
#include "run/standard_streams.h"

namespace glyphshift {

void PrintSuccess(RunSummary& summary, std::uint64_t sourceSize, std::uint64_t destinationSize,
                  std::u16string_view displayName) {
  // 64-bit: a file of over 1 GiB that more than doubles (1252 text full of euro signs to UTF-8)
  // grows by more than a 32-bit count holds, and the line would show a negative growth.
  const std::int64_t growth = static_cast<std::int64_t>(destinationSize) - static_cast<std::int64_t>(sourceSize);
  Print(msg::kSuccess, FormatByteSize(sourceSize), growth, displayName);
  ++summary.convertedCount;
  summary.totalSourceBytes += static_cast<std::int64_t>(sourceSize);
}

void CountFailure(RunSummary& summary, Result result, std::u16string_view displayName) {
  summary.lastResult = result;
  ++summary.failedCount;
  Print(msg::kConversionFailed, result, displayName);
}

namespace {

// The model's runner-up as the trace lines name it.
std::string RunnerUpText(const SourceDetection& detected) {
  const char16_t* name = CharsetNameFromCode(detected.runnerUp);
  if (name == nullptr) return std::string(msg::kNoRunnerUp);
  std::string text = "\"";
  for (; *name != 0; ++name) text += static_cast<char>(*name);  // catalogue names are ASCII
  return text + "\"";
}

}  // namespace

bool ReportDetection(const RunSettings& settings, const SourceDetection& detected, std::u16string_view path) {
  const char16_t* name = CharsetNameFromCode(detected.code);
  const std::u16string_view used = name != nullptr ? name : u"";
  const bool traced = settings.output.logLevel != 0;
  switch (detected.outcome) {
    case DetectionOutcome::ByRules: return true;
    case DetectionOutcome::Unconvertible: Print(msg::kUnconvertibleCharset, path, detected.detectorName); return false;
    case DetectionOutcome::Statistical:
      if (traced)
        Print(msg::kStatisticalAnswer, path, detected.detectorName, detected.confidence, RunnerUpText(detected));
      return true;
    case DetectionOutcome::Declared:
      if (traced) Print(msg::kStatisticalDeclared, path, detected.declared, used);
      return true;
    case DetectionOutcome::NoAnswer:
      if (!traced) return true;
      if (detected.detectorName.empty()) {
        Print(msg::kStatisticalNoAnswer, path, used);
      } else {
        Print(msg::kStatisticalUnsure, path, detected.detectorName, detected.confidence, RunnerUpText(detected), used);
      }
      return true;
  }
  return true;
}

namespace {

// The files read once for detection and conversion together: those detection reads in one piece.
constexpr std::size_t kHeldSourceBytes = 128 * 1024;

// A file this run wrote stands at the destination's name. What stands there is kept in `seen`
// (`looked`: it could be looked at), so that the conversion does not look again.
bool WrittenByRun(const CRun& run, const FileLocation& destination, platform::FileStatus& seen, bool& looked) {
  looked = destination.directory != nullptr && !destination.error &&
           !platform::Files().Status(*destination.directory, destination.name, seen);
  return looked && seen.type == platform::EntryType::Regular && run.written.Contains(seen.id);
}

}  // namespace

std::unique_ptr<CFileRun> RefusedFile(Result result, std::u16string_view displayName) {
  auto file = std::make_unique<CFileRun>();
  file->result = result;
  file->displayName = displayName;
  return file;
}

ReportedFile Reported(const RunSettings& settings, const CFileRun& file) {
  return {file.displayName, file.facts.charset, settings.destinationCharset, file.listed, file.looksLike};
}

std::unique_ptr<CFileRun> PrepareFile(CRun& run, OpenedSource& source, const FileLocation& sourceLocation,
                                      std::u16string_view destinationPath, std::u16string_view displayName,
                                      bool listed) {
  const RunSettings& settings = run.settings;
  RunProgress().BeginFile(displayName, source.error ? 0 : source.file.status.size);
  auto file = std::make_unique<CFileRun>();
  file->displayName = displayName;
  file->listed = listed;
  file->facts = {settings.sourceCharset, settings.sourceCharsetName};
  if (settings.autoDetectSource) {
    // Detection reads a small file two or three times, and the conversion once more.
    if (!source.error) platform::HoldWhole(source.file, kHeldSourceBytes);
    const SourceDetection detected = DetectSourceCharset(source, settings.detectionMethod);
    if (!ReportDetection(settings, detected, sourceLocation.path)) return RefusedFile(Result::ReadError, displayName);
    file->facts.charset = detected.code;
    if (const char16_t* name = CharsetNameFromCode(detected.code)) file->facts.charsetName = name;
    // The byte rules read what they cannot place as ISO-8859-1, its Windows relatives included.
    file->guessedLatin1 = detected.code == kCharsetIso88591 && (detected.outcome == DetectionOutcome::ByRules ||
                                                                detected.outcome == DetectionOutcome::NoAnswer);
    // By default the model only names what the text looks like instead.
    if (detected.outcome == DetectionOutcome::ByRules) file->looksLike = detected.detectorName;
  }
  if (settings.output.logLevel != 0) {
    Print(msg::kProcessFileTrace, "ProcessFile", sourceLocation.path, destinationPath, file->facts.charsetName,
          settings.destinationCharsetName);
  }
  return file;
}

namespace {

std::unique_ptr<CFileRun> ConvertToStagedFile(CRun& run, OpenedSource& source, const FileLocation& sourceLocation,
                                              const FileLocation& destination, std::u16string_view displayName,
                                              bool listed) {
  const RunSettings& settings = run.settings;
  if (run.log.IsAt(destination)) {
    Print(msg::kDestinationIsTheLog, destination.path);
    return RefusedFile(Result::WriteError, displayName);
  }
  platform::FileStatus seen;
  bool looked = false;
  if (WrittenByRun(run, destination, seen, looked)) {
    Print(msg::kDestinationWrittenByRun, displayName, destination.path);
    return RefusedFile(Result::WriteError, displayName);
  }
  std::unique_ptr<CFileRun> file = PrepareFile(run, source, sourceLocation, destination.path, displayName, listed);
  if (file->result != Result::Converted) return file;
  file->result = ConvertToStaged(settings.conversion, source, sourceLocation, destination, file->facts.charset,
                                 settings.destinationCharsetName, settings.destinationCharset, &file->sourceSize,
                                 file->converted, file->report, file->guessedLatin1, looked ? &seen : nullptr);
  const ReportedFile reported = Reported(settings, *file);
  ReportProblem(settings, file->report, reported);
  file->skipped = SkipsFile(file->report, reported);
  return file;
}

}  // namespace

std::unique_ptr<CFileRun> StartFile(CRun& run, OpenedSource& source, const FileLocation& sourceLocation,
                                    const FileLocation& destination, std::u16string_view displayName, bool listed) {
  std::unique_ptr<CFileRun> file = ConvertToStagedFile(run, source, sourceLocation, destination, displayName, listed);
  // What detection held of the source served the conversion too: a file that waits in a batch
  // keeps none of it.
  platform::DropHeld(source.file);
  return file;
}

bool FinishFile(CRun& run, CFileRun& file) {
  if (file.skipped) {
    RunProgress().EndFile();
    if (file.done) file.done(nullptr, true);
    return false;
  }
  std::uint64_t destinationSize = 0;
  WrittenFile written;
  Result result = file.result;
  if (result == Result::Converted) {
    ConversionReport completion;
    result = file.standardOutput
                 ? DeliverToStandardOutput(*file.standardOutput, &destinationSize, completion)
                 : CompleteConversion(run.settings.conversion, file.converted, &destinationSize, &written, completion);
    ReportProblem(run.settings, completion, Reported(run.settings, file));
  }
  const std::u16string warnings =
      result == Result::Converted ? LossWarnings(file.report, Reported(run.settings, file)) : std::u16string();
  if (result == Result::Converted) ReportFinished(run.settings, warnings);
  RunProgress().EndFile();
  if (result != Result::Converted) {
    CountFailure(run.summary, result, file.displayName);
    if (file.done) file.done(nullptr, false);
    return false;
  }
  PrintSuccess(run.summary, file.sourceSize, destinationSize, file.displayName);
  PrintMessageText(warnings);
  // Standard output is no file: nothing to remember, nobody to hand it to.
  if (written.handle.IsValid()) {
    run.written.Insert(written.id);
    run.handOver.Apply(file.converted.destination, written);
  }
  if (file.done) file.done(&written, false);
  return true;
}

std::unique_ptr<CFileRun> ConvertFile(CRun& run, OpenedSource& source, const FileLocation& sourceLocation,
                                      const FileLocation& destination, std::u16string_view displayName) {
  std::unique_ptr<CFileRun> file = StartFile(run, source, sourceLocation, destination, displayName, false);
  FinishFile(run, *file);
  return file;
}

}  // namespace glyphshift
