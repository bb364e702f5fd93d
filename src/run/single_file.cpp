#include "run/single_file.h"

#include "convert/named_files.h"
#include "messages/catalogue.h"
#include "platform/files.h"
#include "run/file_steps.h"
#include "run/path_rules.h"
#include "run/run_conversion.h"

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

}  // namespace

std::optional<Result> ConvertSingleFile(CRun& run) {
  const RunSettings& settings = run.settings;
  if (settings.ownerFromPrefix && !run.handOver.LoadTable()) return Result::Abandoned;
  const std::u16string sourcePath = CanonicalizePath(settings.sourceSpec);
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

  // Reading a FIFO would block and a device may never end: only regular files are read.
  if (platform::Files().GetEntryType(sourcePath) == platform::EntryType::Other) {
    Print(msg::kNotARegularSource, sourcePath);
    CountFailure(run.summary, Result::ReadError, sourceName);
    return std::nullopt;
  }

  CNamedSource source(sourcePath);
  for (const platform::SysError& error : {source.location.error, source.target.error}) {
    if (error.code == platform::kErrorUnsafeLink) {
      Print(msg::kNamedSourceRefused, sourcePath, ReasonOf(error));
      return Result::ReadError;
    }
  }
  if (!source.source.error && run.log.Is(source.source.file.status.id)) {
    Print(msg::kSourceIsTheLog, sourcePath);
    CountFailure(run.summary, Result::ReadError, sourceName);
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
  ConvertFile(run, source.source, source.location, destination.location, sourceName);
  return std::nullopt;
}

}  // namespace glyphshift
