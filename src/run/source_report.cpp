#include "run/source_report.h"

#include "api/file_detection.h"
#include "convert/named_files.h"
#include "convert/source_survey.h"
#include "engine/charset_guess.h"
#include "messages/catalogue.h"
#include "messages/progress.h"
#include "platform/files.h"
#include "platform/streams.h"
#include "run/file_report.h"
#include "run/file_steps.h"
#include "run/path_rules.h"
#include "run/report_lines.h"
#include "run/run_conversion.h"
#include "run/single_file.h"
#include "run/source_detection.h"
#include "run/standard_streams.h"
#include "run/wildcard_walk.h"

namespace glyphshift {
namespace {

std::u16string Widened(std::string_view narrow) { return std::u16string(narrow.begin(), narrow.end()); }

std::u16string NameOf(CharsetCode code) {
  const char16_t* name = CharsetNameFromCode(code);
  return name != nullptr ? name : u"";
}

// How the byte rules found `code`, which they gave for this file.
FoundBy RulesFoundBy(const platform::CFile& file, CharsetCode code) {
  if (IsSingleByteCode(code)) return FoundBy::Fallback;
  std::uint8_t head[3] = {};
  std::size_t got = 0;
  (void)platform::ReadAt(file, 0, head, sizeof head, got);
  const bool mark = (code == kCharsetUtf8 && got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) ||
                    (code == kCharsetUtf16 && got >= 2 && head[0] == 0xFF && head[1] == 0xFE) ||
                    (code == kCharsetUtf16Be && got >= 2 && head[0] == 0xFE && head[1] == 0xFF);
  if (mark) return FoundBy::ByteOrderMark;
  return code == kCharsetUtf8 ? FoundBy::Utf8Rules : FoundBy::ZeroBytes;
}

// The statistical model's answer for the file, over the sample detection gives it.
std::optional<ModelOpinion> AskModel(const platform::CFile& file) {
  const engine::CharsetGuess guess = GuessFileCharset(file).guess;
  switch (guess.kind) {
    case engine::GuessKind::kNoAnswer: return std::nullopt;
    case engine::GuessKind::kCharset:
      return ModelOpinion{NameOf(guess.code), guess.confidence, guess.runnerUp >= 0 ? NameOf(guess.runnerUp) : u""};
    case engine::GuessKind::kUnconvertible:
      return ModelOpinion{Widened(guess.family != nullptr ? guess.family : ""), guess.confidence, u""};
  }
  return std::nullopt;
}

void WriteReport(std::u16string_view text) { platform::WriteToConsole(platform::StdStream::Output, text); }

// The set the run would read the source in and how it was found, into `entry`; the code and
// whether it is the byte rules' ISO-8859-1 guess.
CharsetCode FindCharset(const RunSettings& settings, const OpenedSource& source, const FileLocation& location,
                        ReportEntry& entry, bool& guessedLatin1) {
  guessedLatin1 = false;
  if (!settings.autoDetectSource) {
    entry.foundBy = FoundBy::Given;
    entry.charset = settings.sourceCharsetName;
    return settings.sourceCharset;
  }
  const SourceDetection detected = DetectSourceCharset(source, settings.detectionMethod);
  const bool byModel =
      detected.outcome == DetectionOutcome::Statistical || detected.outcome == DetectionOutcome::Unconvertible;
  entry.foundBy = byModel                                          ? FoundBy::Model
                  : detected.outcome == DetectionOutcome::Declared ? FoundBy::Declaration
                                                                   : RulesFoundBy(source.file, detected.code);
  // The lines a conversion gives: the detector's answer at a log level, a set it cannot convert.
  entry.convertible = ReportDetection(settings, detected, location.path);
  entry.charset = entry.convertible ? NameOf(detected.code) : Widened(detected.detectorName);
  // Every answer but the rules' own decisions (a mark, zero bytes, UTF-8) came from the fallback.
  if (byModel || entry.foundBy == FoundBy::Fallback || entry.foundBy == FoundBy::Declaration)
    entry.model = AskModel(source.file);
  guessedLatin1 = detected.code == kCharsetIso88591 && !byModel && detected.outcome != DetectionOutcome::Declared;
  return detected.code;
}

bool Failed(CRun& run, const ConversionReport& report, const ReportedFile& reported) {
  ReportProblem(run.settings, report, reported);
  CountFailure(run.summary, report.FileResult(), reported.name);
  RunProgress().EndFile();
  return false;
}

void ReportStandardInput(CRun& run) {
  platform::CSpool spool;
  OpenedSource source;
  FileLocation location;
  OpenStandardInputSource(spool, source, location);
  ReportSource(run, source, location, msg::kStandardInputName);
}

// One source a person named: links at its name are followed as a conversion follows them.
std::optional<Result> ReportNamedFile(CRun& run, const std::u16string& sourceSpec) {
  std::optional<Result> refused;
  const std::unique_ptr<CNamedSource> source = OpenNamedSource(run, CanonicalizePath(sourceSpec), sourceSpec, refused);
  if (!source) return refused;
  ReportSource(run, source->source, source->location, sourceSpec);
  return std::nullopt;
}

}  // namespace

bool ReportSource(CRun& run, const OpenedSource& source, const FileLocation& location, std::u16string_view shownName) {
  const RunSettings& settings = run.settings;
  RunProgress().BeginFile(shownName, source.error ? 0 : source.file.status.size);
  ReportEntry entry;
  entry.name = shownName;
  if (settings.destinationCharsetGiven) entry.destination = settings.destinationCharsetName;
  ConversionReport problem;
  ReportedFile reported{shownName, settings.sourceCharset, settings.destinationCharset, false, {}};
  if (source.error) {
    problem.problem = ConversionReport::Problem::SourceUnreadable;
    problem.error = source.error;
    return Failed(run, problem, reported);
  }
  bool guessedLatin1 = false;
  reported.sourceCharset = FindCharset(settings, source, location, entry, guessedLatin1);
  if (entry.convertible) {
    SourceSurvey survey;
    if (SurveySource(source, reported.sourceCharset, settings.destinationCharset, guessedLatin1, survey, problem) !=
        Result::Converted) {
      return Failed(run, problem, reported);
    }
    entry.survey = std::move(survey);
  }
  WriteReport(settings.report == ReportFormat::JsonLines ? ReportJsonLine(entry) : ReportTableRow(entry));
  RunProgress().EndFile();
  return true;
}

std::optional<Result> ReportSources(CRun& run) {
  const RunSettings& settings = run.settings;
  // Every source is checked before the first is read, as a conversion run checks them.
  for (const std::u16string& source : settings.sources) {
    if (GetPathKind(source) == PathKind::Directory) {
      Print(msg::kSourceIsDirectory, source);
      return Result::SourceIsDirectory;
    }
  }
  if (settings.report == ReportFormat::Table) {
    WriteReport(ReportTableHeader(settings.destinationCharsetGiven ? std::optional(settings.destinationCharsetName)
                                                                   : std::nullopt));
  }
  if (settings.standardInput) {
    ReportStandardInput(run);
    return std::nullopt;
  }
  for (const std::u16string& source : settings.sources) {
    const std::optional<Result> early =
        GetPathKind(source) == PathKind::Wildcard ? ConvertMatchingFiles(run, source) : ReportNamedFile(run, source);
    if (early) return early;
  }
  return std::nullopt;
}

}  // namespace glyphshift
