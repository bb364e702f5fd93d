// The wildcard flow: every file of the pattern's directory that matches, and with /recursive
// every directory below it, through a last-in, first-out stack of directories.
//
// The tree may belong to other users, so nothing found in it is trusted: a link is never
// followed (it is skipped with a line), a directory is entered only as its parent listed it,
// every file is opened without following a link, and the outputs are written through staged
// files that take their names only when complete.
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "convert/process_file.h"
#include "messages/print_message.h"
#include "platform/files.h"
#include "run/directory_walk.h"
#include "run/enumeration.h"
#include "run/exit_codes.h"
#include "run/file_run.h"
#include "run/linked_list.h"
#include "run/path_rules.h"
#include "run/pattern_match.h"
#include "security/privileges.h"
#include "security/user_translation_table.h"

namespace glyphshift {
namespace {

// Each stacked node is owned by its stack entry until its directory has been listed.
using DirectoryStack = CLinkedList<WalkNodePtr*>;

struct WalkContext {
  ConversionOptions& options;
  RunSummary& summary;
  std::u16string pattern;
  std::u16string base;
  std::optional<platform::FileId> logId;
  std::unique_ptr<CDirectoryChain> sources;
  std::unique_ptr<CDirectoryChain> outputs;  // the copies below the output folder, if any
  CUserTranslationTable* table = nullptr;
  std::unique_ptr<CCommitBatch> batch;
};

void ReportOutOfMemory(RunSummary& summary) {
  PrintOutOfMemory();
  summary.lastResult = kProcessOutOfMemory;
}

// A directory the run cannot open or list counts as a file that could not be read.
void ReportDirectoryFailure(RunSummary& summary, const std::u16string& path, const platform::SysError& error) {
  std::u16string reason = platform::ErrorText(error.code);
  if (reason.empty()) reason = FormatText(u"error %d\n", {error.code});
  PrintMessage(u"Error %d: The directory \"%s\" cannot be read: %s", kProcessReadError, path, reason);
  summary.lastResult = kProcessReadError;
  ++summary.failedCount;
}

// Pushes a heap copy of `node`; false (after reporting) when memory ran out.
bool Push(DirectoryStack& stack, WalkNodePtr node, RunSummary& summary) {
  auto copy = std::make_unique<WalkNodePtr>(std::move(node));
  if (stack.AddHead(copy.get()) == nullptr) {
    ReportOutOfMemory(summary);
    return false;
  }
  static_cast<void>(copy.release());  // the stack owns it now
  return true;
}

// One directory's listing and the conversions of its matching files, in listing order. A file
// whose destination is another matching file of the listing waits for that one: its text moves
// on to its own destination first, so no source is overwritten before it was converted.
class CDirectoryScan {
 public:
  CDirectoryScan(WalkContext& walk, DirectoryStack& stack, const WalkNodePtr& node,
                 const platform::CDirectory& directory, std::vector<platform::DirectoryEntry> entries)
      : walk_(walk),
        options_(walk.options),
        stack_(stack),
        node_(node),
        directory_(directory),
        entries_(std::move(entries)),
        states_(entries_.size(), State::Other) {}

  void Run();

 private:
  enum class State { Other, Pending, Converting, Done, Failed };

  void Classify();
  // False when the walk of this directory ends here (out of memory, /error-stop).
  bool Visit(std::size_t index);
  void Convert(std::size_t index);
  void Finished(std::size_t index, WrittenFile* written, const FileLocation& destination);
  void AddToBatch(std::size_t index, std::unique_ptr<CFileRun> file, const FileLocation& destination);
  bool PrepareDestinations();
  void Refuse(std::size_t index, const std::u16string& destination);

  WalkContext& walk_;
  ConversionOptions& options_;
  DirectoryStack& stack_;
  const WalkNodePtr& node_;
  const platform::CDirectory& directory_;
  std::vector<platform::DirectoryEntry> entries_;
  std::vector<State> states_;
  std::unordered_map<std::u16string, std::size_t> pendingByName_;
  std::unordered_set<platform::FileId, platform::FileIdHash> written_;  // by this run, here

  bool prepared_ = false;  // settled at the first match: the destination directory exists then
  const platform::CDirectory* destinationDirectory_ = nullptr;
  platform::SysError destinationError_;
  bool insertName_ = false;
  bool stopped_ = false;
};

void CDirectoryScan::Classify() {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const platform::DirectoryEntry& entry = entries_[i];
    if (entry.type != platform::EntryType::Regular || !PathMatchSpec(entry.name, walk_.pattern)) continue;
    if (platform::IsTemporaryName(entry.name) || (walk_.logId && entry.id == *walk_.logId)) continue;
    states_[i] = State::Pending;
    pendingByName_.emplace(entry.name, i);
  }
}

void CDirectoryScan::Run() {
  Classify();
  for (std::size_t i = 0; i < entries_.size() && !stopped_; ++i) {
    if (!Visit(i)) break;
  }
  // The directory's files get their names before the walk moves on: the directories the
  // pending files are written in stay open only while their directory is scanned.
  walk_.batch->Complete();
}

bool CDirectoryScan::Visit(std::size_t index) {
  const platform::DirectoryEntry& entry = entries_[index];
  const bool matches = PathMatchSpec(entry.name, walk_.pattern);
  switch (entry.type) {
    case platform::EntryType::SymbolicLink:
      // A link is followed only where the person named it: here another user may have put it.
      if (matches || (options_.recursive && entry.targetType == platform::EntryType::Directory)) {
        PrintMessage(u"Skipped: \"%s\" is a symbolic link.\n", entry.name);
      }
      return true;
    case platform::EntryType::Directory:
      if (options_.recursive) {
        auto child = std::make_shared<CWalkNode>();
        child->parent = node_;
        child->name = entry.name;
        child->id = entry.id;
        // A listed name holds no separator, "." or "..": plain joining keeps the walk linear
        // in the depth (canonicalising every level's path made a deep tree quadratic).
        child->path = node_->path;
        AppendPathComponent(child->path, entry.name);
        if (!Push(stack_, std::move(child), walk_.summary)) return false;
      }
      return true;
    default: break;
  }
  if (!matches) return true;
  if (platform::IsTemporaryName(entry.name)) {
    // What an interrupted run left: never a source, and maybe another run's work in progress.
    PrintMessage(u"Skipped: \"%s\" is a temporary file of an unfinished conversion.\n", entry.name);
  } else if (entry.type != platform::EntryType::Regular) {
    // A FIFO would block the run and a device may never end.
    PrintMessage(u"Skipped: \"%s\" is not a regular file.\n", entry.name);
  } else if (walk_.logId && entry.id == *walk_.logId) {
    // Converting it would rewrite the file the run is appending to and lose the lines to come.
    PrintMessage(u"Skipped: \"%s\" is the log file of this run.\n", entry.name);
  } else {
    Convert(index);
  }
  return true;
}

bool CDirectoryScan::PrepareDestinations() {
  if (prepared_) return !destinationError_;
  prepared_ = true;
  if (options_.replaceSource || !walk_.outputs) {
    destinationDirectory_ = &directory_;
  } else {
    destinationError_ = walk_.outputs->Open(node_, destinationDirectory_);
  }
  insertName_ = !destinationError_ && destinationDirectory_->id == directory_.id;
  return !destinationError_;
}

// The destination is a source that could not be converted: writing over it would lose its text.
void CDirectoryScan::Refuse(std::size_t index, const std::u16string& destination) {
  PrintMessage(u"\"%s\" is not converted: its destination \"%s\" is a source of this run that was not converted.\n",
               entries_[index].name, destination);
  AddToBatch(index, RefusedFile(kProcessWriteError, entries_[index].name), {});
}

// Every file goes through the batch, failed ones too, so results are counted in file order.
void CDirectoryScan::AddToBatch(std::size_t index, std::unique_ptr<CFileRun> file, const FileLocation& destination) {
  states_[index] = State::Converting;
  file->done = [this, index, destination](WrittenFile* written) { Finished(index, written, destination); };
  walk_.batch->Add(std::move(file));
}

void CDirectoryScan::Convert(std::size_t index) {
  if (stopped_ || states_[index] != State::Pending) return;
  states_[index] = State::Converting;
  const platform::DirectoryEntry& entry = entries_[index];

  PrepareDestinations();
  const std::u16string destinationName =
      options_.replaceSource ? entry.name : DestinationName(entry.name, options_.destinationCharsetName, insertName_);
  if (!options_.replaceSource && insertName_) {
    if (const auto other = pendingByName_.find(destinationName); other != pendingByName_.end()) {
      Convert(other->second);
      if (stopped_) return;
      // Its output must have its name, and its source be gone if moved, before this one is written.
      if (walk_.batch->Holds(destinationName)) walk_.batch->Complete();
      if (stopped_) return;
      if (states_[other->second] != State::Done) {
        Refuse(index, destinationName);
        return;
      }
    }
  }
  if (walk_.batch->Holds(destinationName)) walk_.batch->Complete();

  const std::u16string sourcePath = JoinPath(node_->path, entry.name);
  FileLocation source{&directory_, entry.name, sourcePath, {}, false};
  OpenedSource opened;
  opened.error = platform::Files().OpenFile(directory_, entry.name, opened.file);
  if (!opened.error && written_.count(opened.file.status.id) != 0) {
    states_[index] = State::Done;
    PrintMessage(u"Skipped: \"%s\" was written by this run.\n", entry.name);
    return;
  }

  std::u16string destinationDir = node_->path;
  if (!options_.replaceSource && !options_.outputPath.empty()) {
    // Every walked directory is the base joined with names, so its text starts with the base.
    destinationDir = JoinPath(options_.outputPath, std::u16string_view(node_->path).substr(walk_.base.size()));
  }
  FileLocation destination{destinationError_ ? nullptr : destinationDirectory_, destinationName,
                           JoinPath(destinationDir, destinationName), destinationError_, false};

  AddToBatch(index, StartFile(options_, opened, source, destination, entry.name), destination);
}

// A file's conversion ended: converted and named (`written`), or failed.
void CDirectoryScan::Finished(std::size_t index, WrittenFile* written, const FileLocation& destination) {
  if (written == nullptr) {
    states_[index] = State::Failed;
    if (options_.errorStop) stopped_ = true;
    return;
  }
  states_[index] = State::Done;
  written_.insert(written->id);
  if (walk_.table != nullptr) {
    std::u16string path = destination.path;
    COwnerTarget target{destination.directory, destination.name, written->handle.Get(), written->id};
    walk_.table->path = &path;
    walk_.table->target = &target;
    walk_.table->ApplyOwnerFromPrefix(true);
    walk_.table->path = nullptr;
    walk_.table->target = nullptr;
  }
}

// Lists the node's directory and converts its matching files; stacks its subdirectories.
void ScanDirectory(WalkContext& walk, DirectoryStack& stack, const WalkNodePtr& node) {
  const platform::CDirectory* directory = nullptr;
  if (const platform::SysError error = walk.sources->Open(node, directory)) {
    ReportDirectoryFailure(walk.summary, node->path, error);
    return;
  }
  // The listing is a snapshot taken before converting, so files written into this directory
  // during the loop are never picked up again.
  std::vector<platform::DirectoryEntry> entries;
  if (const platform::SysError error = platform::Files().ListDirectory(*directory, entries)) {
    ReportDirectoryFailure(walk.summary, node->path, error);
    return;
  }
  CDirectoryScan(walk, stack, node, *directory, std::move(entries)).Run();
}

// The early checks of the output folder; 0 when the run may go on.
std::int32_t CheckOutput(const ConversionOptions& options, const platform::CDirectory& base,
                         platform::CDirectory& output) {
  switch (GetPathKind(options.outputPath)) {
    case PathKind::Wildcard:
      PrintMessage(u"Invalid argument: Wildcard in destination file is not allowed!");
      return kExitWildcardInOutput;
    case PathKind::File:
      PrintMessage(u"Invalid argument: File as destination for multiple source files are not allowed!");
      return kExitOutputNotADirectory;
    case PathKind::Directory: break;
  }
  if (options.replaceSource) return kNoEarlyExit;
  if (platform::Files().OpenDirectory(options.outputPath, output)) {
    PrintMessage(u"Invalid argument: File as destination for multiple source files are not allowed!");
    return kExitOutputNotADirectory;
  }
  // Converting into its own tree would meet its outputs as sources, or write over sources not
  // yet converted when the copy's names meet the tree's own.
  bool below = false;
  if (options.recursive && base.handle.IsValid() && !platform::Files().IsBelow(output, base.id, below) && below) {
    PrintMessage(u"Invalid argument: Output directory inside the source tree is not allowed!");
    return kExitOutputNotADirectory;
  }
  return kNoEarlyExit;
}

}  // namespace

std::int32_t ConvertMatchingFiles(ConversionOptions& options, RunSummary& summary) {
  WalkContext walk{options, summary, std::u16string(FileNameOf(options.sourceSpec)),  {}, RunLogFileId(), {},
                   {},      nullptr, std::make_unique<CCommitBatch>(options, summary)};
  const std::u16string_view patternDir = DirectoryOf(options.sourceSpec);
  walk.base = IsRelativePath(patternDir) ? JoinPath(platform::Files().CurrentDirectory(), patternDir)
                                         : CanonicalizePath(patternDir);

  // The pattern's directory is the one the person named: links on the way are followed there.
  platform::CDirectory base;
  const platform::SysError baseError = platform::Files().OpenDirectory(walk.base, base);
  auto root = std::make_shared<CWalkNode>();
  root->path = walk.base;
  root->id = base.id;
  root->permissions = base.permissions;

  if (!options.outputPath.empty()) {
    platform::CDirectory output;
    if (const std::int32_t early = CheckOutput(options, base, output)) return early;
    if (output.handle.IsValid()) {
      walk.outputs = std::make_unique<CDirectoryChain>(root, std::move(output), OpenOrCreateCopy);
    }
  }
  if (options.logLevel != 0) PrintMessage(u"Base Source Directory: %s\n", walk.base);
  if (baseError) {
    ReportDirectoryFailure(summary, walk.base, baseError);
    return kNoEarlyExit;
  }
  walk.sources = std::make_unique<CDirectoryChain>(root, std::move(base), OpenListedSubdirectory);

  std::unique_ptr<CUserTranslationTable> table;
  if (options.ownerFromPrefix) {
    EnableSecurityPrivileges();
    table = std::make_unique<CUserTranslationTable>(options.userTranslationTablePath, nullptr);
    walk.table = table.get();
  }

  DirectoryStack stack(false);
  if (!Push(stack, root, summary)) return kNoEarlyExit;
  root.reset();
  while (auto* entry = stack.RemoveHead()) {
    const std::unique_ptr<WalkNodePtr> node(entry->GetValue());
    stack.DeleteNode(entry);
    ScanDirectory(walk, stack, *node);
  }
  return kNoEarlyExit;
}

}  // namespace glyphshift
