#include "run/single_file.h"

#include "convert/named_files.h"
#include "messages/catalogue.h"
#include "platform/files.h"
#include "run/file_steps.h"
#include "run/path_rules.h"
#include "run/run_conversion.h"
#include "run/standard_streams.h"

namespace glyphshift {
namespace {

// Same directory means same identity, so "d", "./d" and "/abs/d" agree. When either cannot be
// opened, the path texts decide.
bool IsSameDirectory(const std::u16string& a, const std::u16string& b) {
  if (a == b) return true;
  platform::CDirectory first, second;
  auto& files = platform::Files();
  return !files.OpenDirectory(a, first) && !files.OpenDirectory(b, second) && first.id == second.id;
}

// Whether the destination's name holds the source itself: /replace, or an output named so.
bool IsInPlace(const platform::CFile& source, const FileLocation& destination) {
  platform::FileStatus status;
  return !destination.error && !platform::Files().Status(*destination.directory, destination.name, status) &&
         status.type == platform::EntryType::Regular && status.id == source.status.id;
}

// The conversion of one named file; `file` receives its record when it got that far. Everything
// the file holds (its lock in place) is let go on return.
std::optional<Result> ConvertNamedFile(CRun& run, const std::u16string& sourceSpec, std::unique_ptr<CFileRun>& file) {
  const RunSettings& settings = run.settings;
  if (settings.ownerFromPrefix && !run.handOver.LoadTable()) return Result::Abandoned;
  const std::u16string sourcePath = CanonicalizePath(sourceSpec);
  std::u16string sourceDir(DirectoryOf(sourcePath));
  if (sourceDir.empty()) sourceDir = platform::Files().CurrentDirectory();
  const std::u16string sourceName(FileNameOf(sourcePath));

  std::u16string outputDirectory;
  std::u16string outputFile;
  if (!settings.outputPath.empty()) {
    const std::u16string out = CanonicalizePath(settings.outputPath);
    switch (GetPathKind(out)) {
      case PathKind::Wildcard: Print(msg::kWildcardInOutput); return Result::WildcardInOutput;
      case PathKind::Directory: outputDirectory = out; break;
      case PathKind::File: outputFile = out; break;
    }
  }

  std::optional<Result> refused;
  const std::unique_ptr<CNamedSource> opened = OpenNamedSource(run, sourcePath, sourceName, refused);
  if (!opened) return refused;
  CNamedSource& source = *opened;
  if (!source.source.error && run.written.Contains(source.source.file.status.id)) {
    Print(msg::kSkippedWrittenByRun, sourceName);
    return std::nullopt;
  }
  if (settings.standardOutput) {
    file = StartFileForStandardOutput(run, source.source, source.location, sourceName);
    FinishFile(run, *file);
    return std::nullopt;
  }

  CDestinationPlace destination;
  if (!outputFile.empty()) {
    destination.LocateNamed(outputFile);
  } else if (settings.replaceSource) {
    destination.LocateSame(source);
  } else {
    const std::u16string& directory = outputDirectory.empty() ? sourceDir : outputDirectory;
    const bool insertName = outputDirectory.empty() || IsSameDirectory(sourceDir, outputDirectory);
    const std::u16string name = DestinationName(sourceName, settings.destinationCharsetName, insertName);
    destination.LocateDerived(directory, name, JoinPath(directory, name));
  }
  if (destination.location.error.code == platform::kErrorUnsafeLink) {
    Print(msg::kNamedDestinationRefused, destination.location.path, ReasonOf(destination.location.error));
    return Result::WriteError;
  }
  if (!source.source.error && IsInPlace(source.source.file, destination.location)) {
    const InPlaceClaim claim = ClaimInPlace(source.target, source.source.file.status.id, source.source.file);
    if (claim != InPlaceClaim::Taken) {
      Print(claim == InPlaceClaim::Locked ? msg::kSkippedLocked : msg::kSkippedReplaced, sourceName);
      return std::nullopt;
    }
  }
  file = ConvertFile(run, source.source, source.location, destination.location, sourceName);
  return std::nullopt;
}

}  // namespace

std::unique_ptr<CNamedSource> OpenNamedSource(CRun& run, const std::u16string& sourcePath,
                                              std::u16string_view shownName, std::optional<Result>& stop) {
  stop.reset();
  // Reading a FIFO would block and a device may never end: only regular files are read.
  if (platform::Files().GetEntryType(sourcePath) == platform::EntryType::Other) {
    Print(msg::kNotARegularSource, sourcePath);
    CountFailure(run.summary, Result::ReadError, shownName);
    return nullptr;
  }
  auto source = std::make_unique<CNamedSource>(sourcePath);
  for (const platform::SysError& error : {source->location.error, source->target.error}) {
    if (error.code == platform::kErrorUnsafeLink) {
      Print(msg::kNamedSourceRefused, sourcePath, ReasonOf(error));
      stop = Result::ReadError;
      return nullptr;
    }
  }
  if (!source->source.error && run.log.Is(source->source.file.status.id)) {
    Print(msg::kSourceIsTheLog, sourcePath);
    CountFailure(run.summary, Result::ReadError, shownName);
    return nullptr;
  }
  return source;
}

std::optional<Result> ConvertSingleFile(CRun& run, const std::u16string& sourceSpec) {
  const RunSummary before = run.summary;
  std::unique_ptr<CFileRun> file;
  const std::optional<Result> early = ConvertNamedFile(run, sourceSpec, file);
  // The dialog's run asks about a file it left unchanged to protect its content, and converts
  // it anyway when the person says so: in place of the refused attempt.
  if (early || !file || file->result != Result::LeftUnchanged ||
      !AskToConvertAnyway(run.settings, file->report, Reported(run.settings, *file))) {
    return early;
  }
  RunSettings anyway = run.settings;
  anyway.conversion.lossPolicy = LossPolicy::Lossy;
  anyway.conversion.binaryAllowed = true;
  CRun again(anyway);
  std::unique_ptr<CFileRun> retried;
  const std::optional<Result> againEarly = ConvertNamedFile(again, sourceSpec, retried);
  run.summary = before;
  run.summary.convertedCount += again.summary.convertedCount;
  run.summary.failedCount += again.summary.failedCount;
  run.summary.totalSourceBytes += again.summary.totalSourceBytes;
  if (again.summary.failedCount != 0) run.summary.lastResult = again.summary.lastResult;
  return againEarly;
}

}  // namespace glyphshift
