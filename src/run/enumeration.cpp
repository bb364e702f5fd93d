#include "run/enumeration.h"

#include "convert/named_files.h"
#include "messages/output_routing.h"
#include "messages/print_message.h"
#include "platform/files.h"
#include "run/exit_codes.h"
#include "run/file_run.h"
#include "run/path_rules.h"
#include "security/privileges.h"
#include "security/user_translation_table.h"

namespace glyphshift {

PathKind GetPathKind(const std::u16string& path) {
  if (path.find_first_of(u"*?") != std::u16string::npos) return PathKind::Wildcard;
  return platform::Files().GetEntryType(path) == platform::EntryType::Directory ? PathKind::Directory : PathKind::File;
}

namespace {

// Same directory means same identity, so "d", "./d" and "/abs/d" agree. When either cannot be
// opened, the path texts decide.
bool IsSameDirectory(const std::u16string& a, const std::u16string& b) {
  if (a == b) return true;
  platform::CDirectory first, second;
  auto& files = platform::Files();
  return !files.OpenDirectory(a, first) && !files.OpenDirectory(b, second) && first.id == second.id;
}

}  // namespace

std::int32_t ConvertSingleFile(ConversionOptions& options, RunSummary& summary) {
  const std::u16string sourcePath = CanonicalizePath(options.sourceSpec);
  std::u16string sourceDir(DirectoryOf(sourcePath));
  if (sourceDir.empty()) sourceDir = platform::Files().CurrentDirectory();
  const std::u16string sourceName(FileNameOf(sourcePath));

  std::u16string outputDirectory;
  std::u16string outputFile;
  if (!options.outputPath.empty()) {
    const std::u16string out = CanonicalizePath(options.outputPath);
    switch (GetPathKind(out)) {
      case PathKind::Wildcard:
        PrintMessage(u"Invalid argument: Wildcard in destination file is not allowed!");
        return kExitWildcardInOutput;
      case PathKind::Directory: outputDirectory = out; break;
      case PathKind::File: outputFile = out; break;
    }
  }

  // Reading a FIFO would block and a device may never end: only regular files are read.
  if (platform::Files().GetEntryType(sourcePath) == platform::EntryType::Other) {
    PrintMessage(u"\"%s\" is not a regular file; it is not converted.\n", sourcePath);
    CountFailure(summary, kProcessReadError, sourceName);
    return kNoEarlyExit;
  }

  CNamedSource source(sourcePath);
  if (const auto log = RunLogFileId(); log && !source.source.error && source.source.file.status.id == *log) {
    PrintMessage(u"\"%s\" is the log file of this run; it is not converted.\n", sourcePath);
    CountFailure(summary, kProcessReadError, sourceName);
    return kNoEarlyExit;
  }

  CDestinationPlace destination;
  if (!outputFile.empty()) {
    destination.LocateNamed(outputFile);
  } else if (options.replaceSource) {
    destination.LocateSame(source);
  } else {
    const std::u16string& directory = outputDirectory.empty() ? sourceDir : outputDirectory;
    const bool insertName = outputDirectory.empty() || IsSameDirectory(sourceDir, outputDirectory);
    const std::u16string name = DestinationName(sourceName, options.destinationCharsetName, insertName);
    destination.LocateDerived(directory, name, JoinPath(directory, name));
  }

  WrittenFile written;
  if (!ConvertFile(options, source.source, source.location, destination.location, sourceName, summary, &written)) {
    return kNoEarlyExit;
  }
  if (options.ownerFromPrefix) {
    EnableSecurityPrivileges();
    std::u16string path = destination.location.path;
    CUserTranslationTable table(options.userTranslationTablePath, &path);
    COwnerTarget target{destination.location.directory, destination.location.name, written.handle.Get(), written.id};
    table.target = &target;
    table.ApplyOwnerFromPrefix(true);
  }
  return kNoEarlyExit;
}

std::int32_t RunConversion(ConversionOptions& options) {
  RunSummary summary;
  std::int32_t early = kNoEarlyExit;
  switch (GetPathKind(options.sourceSpec)) {
    case PathKind::Directory:
      if (!options.uiMode) {
        PrintMessage(u"Invalid argument: %s is a directory. Use wildcards like *.txt instead!", options.sourceSpec);
      }
      return kExitSourceIsDirectory;
    case PathKind::File: early = ConvertSingleFile(options, summary); break;
    case PathKind::Wildcard: early = ConvertMatchingFiles(options, summary); break;
  }
  if (early != kNoEarlyExit) return early;

  PrintMessage(u"\n");
  PrintMessage(u"%d file(s) successfully converted with total size of %I64d Bytes\n", summary.convertedCount,
               summary.totalSourceBytes);
  PrintMessage(u"%d file(s) failed to convert\n", summary.failedCount);
  ReleaseConsole();
  return summary.lastResult;
}

}  // namespace glyphshift
