// The wildcard flow: every file of the pattern's directory that matches, and with /recursive
// every directory below it, through a last-in, first-out stack of directories.
#include <memory>
#include <optional>
#include <vector>

#include "platform/files.h"
#include "run/enumeration.h"
#include "run/file_conversion.h"
#include "run/linked_list.h"
#include "run/path_rules.h"
#include "run/pattern_match.h"
#include "run/print_message.h"
#include "security/privileges.h"
#include "security/user_translation_table.h"

namespace glyphshift {
namespace {

using DirectoryStack = CLinkedList<std::u16string*>;

struct WalkContext {
  ConversionOptions& options;
  RunSummary& summary;
  std::u16string pattern;
  std::u16string base;
  // The output directory's identity, in a recursive run into a folder inside the tree: the
  // walk never descends into it, so it never converts its own output.
  std::optional<platform::FileId> outputId;
  // The run's own log file: converting it would rewrite the file the run is appending to and
  // lose the lines still to come.
  std::optional<platform::FileId> logId;
  CUserTranslationTable* table = nullptr;
};

void ReportOutOfMemory(RunSummary& summary) {
  PrintMessage(u"Error: The system is out of memory. The operation failed.");
  summary.lastResult = -1;
}

// Pushes a heap copy of `dir`; false (after reporting) when memory ran out.
bool Push(DirectoryStack& stack, const std::u16string& dir, RunSummary& summary) {
  auto copy = std::make_unique<std::u16string>(dir);
  if (stack.AddHead(copy.get()) == nullptr) {
    ReportOutOfMemory(summary);
    return false;
  }
  copy.release();  // owned by the stack entry until its directory has been listed
  return true;
}

bool IsOutputDirectory(const WalkContext& walk, const std::u16string& dir) {
  platform::FileId id;
  return walk.outputId && !platform::Files().GetFileId(dir, id) && id == *walk.outputId;
}

bool IsLogFile(const WalkContext& walk, const std::u16string& file) {
  platform::FileId id;
  return walk.logId && !platform::Files().GetFileId(file, id) && id == *walk.logId;
}

// Lists `dir` and converts its matching files; pushes its subdirectories when recursive.
void ScanDirectory(WalkContext& walk, DirectoryStack& stack, const std::u16string& dir) {
  ConversionOptions& options = walk.options;
  std::u16string destDir = dir;
  if (!options.replaceSource && !options.outputPath.empty()) {
    // Every stacked directory is the base joined with names, so its text starts with the base.
    destDir = JoinPath(options.outputPath, std::u16string_view(dir).substr(walk.base.size()));
  }

  // The listing is a snapshot taken before converting, so files written into this directory
  // during the loop are never picked up again.
  std::vector<platform::DirectoryEntry> entries;
  if (platform::Files().ListDirectory(dir, entries)) return;

  std::optional<bool> insertName;  // settled at the first match, once destDir exists
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.type == platform::EntryType::Directory) {
      // A link to a directory is not followed: it could lead back up the tree.
      if (options.recursive && !entry.isSymbolicLink) {
        const std::u16string sub = JoinPath(dir, entry.name);
        if (!IsOutputDirectory(walk, sub) && !Push(stack, sub, walk.summary)) return;
      }
      continue;
    }
    if (!PathMatchSpec(entry.name, walk.pattern)) continue;
    if (entry.type != platform::EntryType::Regular) {
      // A FIFO would block the run and a device may never end.
      PrintMessage(u"Skipped: \"%s\" is not a regular file.\n", entry.name);
      continue;
    }
    const std::u16string sourceFile = JoinPath(dir, entry.name);
    if (IsLogFile(walk, sourceFile)) {
      PrintMessage(u"Skipped: \"%s\" is the log file of this run.\n", entry.name);
      continue;
    }

    if (!insertName) {
      CreateDirectoryPath(destDir);
      insertName = IsSameDirectory(dir, destDir);
    }
    std::u16string destination =
        options.replaceSource
            ? sourceFile
            : JoinPath(destDir, DestinationName(entry.name, options.destinationCharsetName, *insertName));

    if (!ConvertFile(options, sourceFile, destination, entry.name, walk.summary)) {
      if (options.errorStop) return;
      continue;
    }
    if (walk.table != nullptr) {
      walk.table->path = &destination;
      walk.table->ApplyOwnerFromPrefix(true);
      walk.table->path = nullptr;
    }
  }
}

}  // namespace

std::int32_t ConvertMatchingFiles(ConversionOptions& options, RunSummary& summary) {
  if (!options.outputPath.empty()) {
    switch (GetPathKind(options.outputPath)) {
      case PathKind::Wildcard:
        PrintMessage(u"Invalid argument: Wildcard in destination file is not allowed!");
        return 4;
      case PathKind::File:
        PrintMessage(u"Invalid argument: File as destination for multiple source files are not allowed!");
        return 5;
      case PathKind::Directory:
        break;
    }
  }

  WalkContext walk{options, summary, std::u16string(FileNameOf(options.sourceSpec)), {}, std::nullopt, std::nullopt, nullptr};
  const std::u16string_view patternDir = DirectoryOf(options.sourceSpec);
  walk.base = IsRelativePath(patternDir) ? JoinPath(platform::Files().CurrentDirectory(), patternDir)
                                         : CanonicalizePath(patternDir);
  if (options.logLevel != 0) PrintMessage(u"Base Source Directory: %s\n", walk.base);

  if (options.recursive && !options.outputPath.empty() && !options.replaceSource) {
    platform::FileId id;
    if (!platform::Files().GetFileId(options.outputPath, id)) walk.outputId = id;
  }

  if (!options.logFilePath.empty()) {
    platform::FileId id;
    if (!platform::Files().GetFileId(options.logFilePath, id)) walk.logId = id;
  }

  std::unique_ptr<CUserTranslationTable> table;
  if (options.ownerFromPrefix) {
    EnableSecurityPrivileges();
    table = std::make_unique<CUserTranslationTable>(options.userTranslationTablePath, nullptr);
    walk.table = table.get();
  }

  DirectoryStack stack(false);
  if (!Push(stack, walk.base, summary)) return 0;
  while (auto* node = stack.RemoveHead()) {
    const std::unique_ptr<std::u16string> dir(node->GetValue());
    stack.DeleteNode(node);
    ScanDirectory(walk, stack, *dir);
  }
  return 0;
}

}  // namespace glyphshift
