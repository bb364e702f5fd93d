#include "run/run_conversion.h"

#include "messages/catalogue.h"
#include "messages/output_routing.h"
#include "messages/progress.h"
#include "platform/files.h"
#include "run/run_state.h"
#include "run/single_file.h"
#include "run/source_report.h"
#include "run/standard_streams.h"
#include "run/wildcard_walk.h"

namespace glyphshift {
namespace {

// What stops a run before its first file, for every source at once: a run of several sources
// either converts them all or refuses before it touches any. One source keeps the checks of its
// own flow (which say the same).
std::optional<Result> CheckSources(const RunSettings& settings) {
  const bool several = settings.sources.size() > 1;
  if (several && settings.standardOutput) {
    Print(msg::kOutputNotADirectory);
    return Result::OutputNotADirectory;
  }
  if (several && !settings.outputPath.empty()) {
    switch (GetPathKind(settings.outputPath)) {
      case PathKind::Wildcard: Print(msg::kWildcardInOutput); return Result::WildcardInOutput;
      case PathKind::File: Print(msg::kOutputNotADirectory); return Result::OutputNotADirectory;
      case PathKind::Directory: break;
    }
  }
  for (const std::u16string& source : settings.sources) {
    switch (GetPathKind(source)) {
      case PathKind::Directory:
        if (!settings.uiMode) Print(msg::kSourceIsDirectory, source);
        return Result::SourceIsDirectory;
      case PathKind::Wildcard:
        // Standard output takes one text: a pattern may match many files.
        if (settings.standardOutput) {
          Print(msg::kOutputNotADirectory);
          return Result::OutputNotADirectory;
        }
        if (several) {
          if (const std::optional<Result> early = CheckPatternOutput(settings, source)) return early;
        }
        break;
      case PathKind::File: break;
    }
  }
  return std::nullopt;
}

std::optional<Result> ConvertSources(CRun& run) {
  const RunSettings& settings = run.settings;
  if (settings.standardInput) {
    if (GetPathKind(settings.outputPath) == PathKind::Wildcard) {
      Print(msg::kWildcardInOutput);
      return Result::WildcardInOutput;
    }
    ConvertStandardInput(run);
    return std::nullopt;
  }
  if (const std::optional<Result> early = CheckSources(settings)) return early;
  for (const std::u16string& source : settings.sources) {
    const std::optional<Result> early =
        GetPathKind(source) == PathKind::Wildcard ? ConvertMatchingFiles(run, source) : ConvertSingleFile(run, source);
    if (early) return early;
  }
  return std::nullopt;
}

}  // namespace

PathKind GetPathKind(const std::u16string& path) {
  if (path.find_first_of(u"*?") != std::u16string::npos) return PathKind::Wildcard;
  return platform::Files().GetEntryType(path) == platform::EntryType::Directory ? PathKind::Directory : PathKind::File;
}

Result RunConversion(const RunSettings& settings) {
  CRun run(settings);
  const std::optional<Result> early = settings.ReportsOnly() ? ReportSources(run) : ConvertSources(run);
  RunProgress().Stop();
  if (early) return *early;
  if (settings.ReportsOnly()) {
    ReleaseConsole();
    return run.summary.lastResult;
  }

  Print(msg::kEndOfHeading);
  Print(msg::kConvertedCount, run.summary.convertedCount, run.summary.totalSourceBytes);
  Print(msg::kFailedCount, run.summary.failedCount);
  ReleaseConsole();
  return run.summary.lastResult;
}

}  // namespace glyphshift
