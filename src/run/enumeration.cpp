#include "run/enumeration.h"

#include "platform/files.h"
#include "run/file_conversion.h"
#include "run/output_routing.h"
#include "run/path_rules.h"
#include "run/print_message.h"
#include "security/privileges.h"
#include "security/user_translation_table.h"

namespace glyphshift {

PathKind GetPathKind(const std::u16string& path) {
  if (path.find_first_of(u"*?") != std::u16string::npos) return PathKind::Wildcard;
  return platform::Files().GetEntryType(path) == platform::EntryType::Directory ? PathKind::Directory
                                                                                 : PathKind::File;
}

bool CreateDirectoryPath(const std::u16string& path) {
  auto& files = platform::Files();
  // The search for separators starts behind the first character, so "/" itself is never made.
  for (std::size_t slash = path.find(kPathSeparator, 1); slash != std::u16string::npos;
       slash = path.find(kPathSeparator, slash + 1)) {
    files.CreateDirectory(path.substr(0, slash));
  }
  files.CreateDirectory(path);
  return true;
}

std::int32_t ConvertSingleFile(ConversionOptions& options, RunSummary& summary) {
  const std::u16string sourcePath = CanonicalizePath(options.sourceSpec);
  std::u16string sourceDir(DirectoryOf(sourcePath));
  if (sourceDir.empty()) sourceDir = platform::Files().CurrentDirectory();
  const std::u16string_view sourceName = FileNameOf(sourcePath);

  std::u16string destination;
  if (options.outputPath.empty()) {
    destination = options.replaceSource
                      ? sourcePath
                      : JoinPath(sourceDir, DestinationName(sourceName, options.destinationCharsetName, true));
  } else {
    const std::u16string out = CanonicalizePath(options.outputPath);
    switch (GetPathKind(out)) {
      case PathKind::Wildcard:
        PrintMessage(u"Invalid argument: Wildcard in destination file is not allowed!");
        return 4;
      case PathKind::Directory:
        destination = options.replaceSource
                          ? sourcePath
                          : JoinPath(out, DestinationName(sourceName, options.destinationCharsetName,
                                                          IsSameDirectory(sourceDir, out)));
        break;
      case PathKind::File:
        destination = out;
        break;
    }
  }

  // Reading a FIFO would block and a device may never end: only regular files are read.
  if (platform::Files().GetEntryType(sourcePath) == platform::EntryType::Other) {
    PrintMessage(u"\"%s\" is not a regular file; it is not converted.\n", sourcePath);
    summary.lastResult = 2;
    summary.failedCount = 1;
    PrintMessage(u"Error %d: Conversion of \"%s\" failed.\n", summary.lastResult, sourceName);
    return 0;
  }

  if (!ConvertFile(options, sourcePath, destination, sourceName, summary)) return 0;
  if (options.ownerFromPrefix) {
    EnableSecurityPrivileges();
    CUserTranslationTable table(options.userTranslationTablePath, &destination);
    table.ApplyOwnerFromPrefix(true);
  }
  return 0;
}

std::int32_t RunConversion(ConversionOptions& options) {
  RunSummary summary;
  std::int32_t early = 0;
  switch (GetPathKind(options.sourceSpec)) {
    case PathKind::Directory:
      if (!options.uiMode) {
        PrintMessage(u"Invalid argument: %s is a directory. Use wildcards like *.txt instead!", options.sourceSpec);
      }
      return 3;
    case PathKind::File:
      early = ConvertSingleFile(options, summary);
      break;
    case PathKind::Wildcard:
      early = ConvertMatchingFiles(options, summary);
      break;
  }
  if (early != 0) return early;

  PrintMessage(u"\n");
  PrintMessage(u"%d file(s) successfully converted with total size of %I64d Bytes\n", summary.convertedCount,
               summary.totalSourceBytes);
  PrintMessage(u"%d file(s) failed to convert\n", summary.failedCount);
  ReleaseConsole();
  return summary.lastResult;
}

}  // namespace glyphshift
