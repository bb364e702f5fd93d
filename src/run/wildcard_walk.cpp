// The wildcard flow: every file of the pattern's directory that matches, and with /recursive
// every directory below it, through a last-in, first-out stack of directories.
//
// The tree may belong to other users, so nothing found in it is trusted: a link is never
// followed (it is skipped with a line), a directory is entered only as its parent listed it,
// every file is opened without following a link, and the outputs are written through staged
// files that take their names only when complete. A report run walks the same way and only reads.
#include "run/wildcard_walk.h"

#include <algorithm>
#include <memory>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "convert/process_file.h"
#include "messages/catalogue.h"
#include "platform/files.h"
#include "run/commit_batch.h"
#include "run/directory_handles.h"
#include "run/file_report.h"
#include "run/file_steps.h"
#include "run/path_rules.h"
#include "run/pattern_match.h"
#include "run/run_conversion.h"
#include "run/source_report.h"

namespace glyphshift {
namespace {

// The directories still to be listed; the last pushed is listed first.
using DirectoryStack = std::vector<WalkNodePtr>;

struct WalkContext {
  CRun& run;
  const RunSettings& settings;
  std::u16string pattern;
  std::u16string base;
  std::u16string shownBase;  // the pattern's folder as typed: a report names files from it
  std::unique_ptr<CDirectoryHandles> sources;
  std::unique_ptr<CDirectoryHandles> outputs;  // the copies below the output folder, if any
  std::unique_ptr<CCommitBatch> batch;
};

// A directory the run cannot open or list counts as a file that could not be read, in its turn
// among the files of the batch.
void ReportDirectoryFailure(CCommitBatch& batch, RunSummary& summary, const std::u16string& path,
                            const platform::SysError& error) {
  batch.Defer([&summary, path, error] {
    Print(msg::kDirectoryUnreadable, Result::ReadError, path, ReasonOf(error));
    summary.lastResult = Result::ReadError;
    ++summary.failedCount;
  });
}

// False (after reporting) when memory ran out.
bool Push(DirectoryStack& stack, WalkNodePtr node, RunSummary& summary) {
  try {
    stack.push_back(std::move(node));
  } catch (const std::bad_alloc&) {
    PrintOutOfMemory();
    summary.lastResult = Result::Abandoned;
    return false;
  }
  return true;
}

// What a listed entry is to the walk: the one rule for which entries are sources.
enum class EntryRole { Ignored, Source, SkippedLink, Temporary, SkippedNotRegular, SkippedLog };

EntryRole RoleOf(const WalkContext& walk, const platform::DirectoryEntry& entry) {
  const bool matches = PathMatchSpec(entry.name, walk.pattern);
  switch (entry.type) {
    case platform::EntryType::SymbolicLink:
      // A link is followed only where the person named it: here another user may have put it.
      return matches || (walk.settings.recursive && entry.targetType == platform::EntryType::Directory)
                 ? EntryRole::SkippedLink
                 : EntryRole::Ignored;
    case platform::EntryType::Directory: return EntryRole::Ignored;
    default: break;
  }
  // What an interrupted run left, or another run's work in progress: never a source, whatever
  // the pattern says, and removed once its run is gone.
  if (platform::IsTemporaryName(entry.name)) return EntryRole::Temporary;
  if (!matches) return EntryRole::Ignored;
  // A FIFO would block the run and a device may never end.
  if (entry.type != platform::EntryType::Regular) return EntryRole::SkippedNotRegular;
  if (walk.run.log.Is(entry.id)) return EntryRole::SkippedLog;
  return EntryRole::Source;
}

// Removes a temporary file of a conversion whose run is gone, with a line (named by `shown`); one
// still in use is skipped, with a line where the pattern matches it.
void ReclaimTemporary(const platform::CDirectory& directory, const std::u16string& name, const std::u16string& shown,
                      bool matches) {
  bool removed = false;
  if (!platform::Files().ReclaimTemporary(directory, name, removed) && removed) {
    Print(msg::kRemovedLeftover, shown);
  } else if (matches) {
    Print(msg::kSkippedTemporary, name);
  }
}

// The leftovers of killed runs in an output folder the walk writes in: no listing of the tree
// shows them.
void ReclaimInOutputFolder(const platform::CDirectory& directory) {
  std::vector<std::u16string> names;
  if (platform::Files().ListTemporaryNames(directory, names)) return;
  for (const std::u16string& name : names) ReclaimTemporary(directory, name, JoinPath(directory.path, name), false);
}

enum class FileState { Other, Pending, Converting, Done, Failed };

// What a directory's files came to. The batch completes them after the scan has moved on, so its
// callbacks share this with the scan instead of pointing into it.
struct ScanOutcome {
  std::vector<FileState> states;
  std::unordered_set<platform::FileId, platform::FileIdHash> written;  // by this run, here
  bool stopped = false;                                                // by /error-stop
};

// One directory's listing and the conversions of its matching files, in listing order. A file
// whose destination is another matching file of the listing waits for that one: its text moves
// on to its own destination first, so no source is overwritten before it was converted.
class CDirectoryScan {
 public:
  CDirectoryScan(WalkContext& walk, DirectoryStack& stack, const WalkNodePtr& node, DirectoryPin directory,
                 std::vector<platform::DirectoryEntry> entries)
      : walk_(walk),
        settings_(walk.settings),
        stack_(stack),
        node_(node),
        pin_(std::move(directory)),
        directory_(*pin_),
        entries_(std::move(entries)),
        outcome_(std::make_shared<ScanOutcome>()),
        states_(outcome_->states),
        written_(outcome_->written),
        stopped_(outcome_->stopped) {
    states_.assign(entries_.size(), State::Other);
  }

  void Run();

 private:
  using State = FileState;

  void Classify();
  // False when the walk of this directory ends here (out of memory, /error-stop).
  bool Visit(std::size_t index);
  void StackSubdirectories();
  void Convert(std::size_t index);
  void Report(std::size_t index);
  using Done = std::function<void(WrittenFile* written, bool skipped)>;
  Done WhenDone(std::size_t index) const;
  void AddToBatch(std::size_t index, std::unique_ptr<CFileRun> file);
  bool PrepareDestinations();
  void Refuse(std::size_t index, const std::u16string& destination);

  WalkContext& walk_;
  const RunSettings& settings_;
  DirectoryStack& stack_;
  const WalkNodePtr& node_;
  DirectoryPin pin_;  // open while a file of it waits in the batch
  const platform::CDirectory& directory_;
  std::vector<platform::DirectoryEntry> entries_;
  std::shared_ptr<ScanOutcome> outcome_;
  std::vector<State>& states_;
  std::unordered_set<platform::FileId, platform::FileIdHash>& written_;
  bool& stopped_;
  std::unordered_map<std::u16string, std::size_t> pendingByName_;
  std::vector<WalkNodePtr> subdirectories_;  // in name order

  bool prepared_ = false;  // settled at the first match: the destination directory exists then
  DirectoryPin destinationDirectory_;
  std::u16string destinationPath_;  // the destination directory's path
  platform::SysError destinationError_;
  bool insertName_ = false;
};

void CDirectoryScan::Classify() {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (RoleOf(walk_, entries_[i]) != EntryRole::Source) continue;
    states_[i] = State::Pending;
    pendingByName_.emplace(entries_[i].name, i);
  }
}

void CDirectoryScan::Run() {
  Classify();
  for (std::size_t i = 0; i < entries_.size() && !stopped_; ++i) {
    if (!Visit(i)) break;
  }
  // The batch goes on into the next directory: its files keep the directories they are written
  // in open, and a batch's flushes serve files of several directories at once.
  StackSubdirectories();
}

// Pushed last first, so that the stack gives them back in name order: a tree is converted in
// the same order on every run and every file system.
void CDirectoryScan::StackSubdirectories() {
  for (auto child = subdirectories_.rbegin(); child != subdirectories_.rend(); ++child) {
    if (!Push(stack_, std::move(*child), walk_.run.summary)) return;
  }
}

bool CDirectoryScan::Visit(std::size_t index) {
  const platform::DirectoryEntry& entry = entries_[index];
  if (entry.type == platform::EntryType::Directory && settings_.recursive) {
    auto child = std::make_shared<CWalkNode>();
    child->parent = node_;
    child->name = entry.name;
    child->id = entry.id;
    // A listed name holds no separator, "." or "..": plain joining keeps the walk linear
    // in the depth (canonicalising every level's path made a deep tree quadratic).
    child->path = JoinListedName(node_->path, entry.name);
    return Push(subdirectories_, std::move(child), walk_.run.summary);
  }
  switch (RoleOf(walk_, entry)) {
    case EntryRole::Ignored: break;
    case EntryRole::Source: Convert(index); break;
    case EntryRole::SkippedLink: Print(msg::kSkippedLink, entry.name); break;
    case EntryRole::Temporary:
      if (!settings_.ReportsOnly()) {
        ReclaimTemporary(directory_, entry.name, entry.name, PathMatchSpec(entry.name, walk_.pattern));
      } else if (PathMatchSpec(entry.name, walk_.pattern)) {
        Print(msg::kSkippedTemporary, entry.name);  // a report removes nothing
      }
      break;
    case EntryRole::SkippedNotRegular: Print(msg::kSkippedNotRegular, entry.name); break;
    case EntryRole::SkippedLog: Print(msg::kSkippedLog, entry.name); break;
  }
  return true;
}

bool CDirectoryScan::PrepareDestinations() {
  if (prepared_) return !destinationError_;
  prepared_ = true;
  // Every walked directory is the base joined with names, so its text starts with the base.
  destinationPath_ = settings_.replaceSource || settings_.outputPath.empty()
                         ? node_->path
                         : JoinPath(settings_.outputPath, std::u16string_view(node_->path).substr(walk_.base.size()));
  if (settings_.replaceSource || !walk_.outputs) {
    destinationDirectory_ = pin_;
  } else {
    destinationError_ = walk_.outputs->Open(node_, destinationDirectory_);
    if (!destinationError_) ReclaimInOutputFolder(*destinationDirectory_);
  }
  insertName_ = !destinationError_ && destinationDirectory_->id == directory_.id;
  return !destinationError_;
}

// The destination is a source that could not be converted: writing over it would lose its text.
void CDirectoryScan::Refuse(std::size_t index, const std::u16string& destination) {
  Print(msg::kDestinationNotConverted, entries_[index].name, destination);
  AddToBatch(index, RefusedFile(Result::WriteError, entries_[index].name));
}

// Every file goes through the batch, failed ones too, so results are counted in file order.
void CDirectoryScan::AddToBatch(std::size_t index, std::unique_ptr<CFileRun> file) {
  states_[index] = State::Converting;
  file->done = WhenDone(index);
  walk_.batch->Add(std::move(file));
}

// Reads and describes the file, opened as a conversion opens it: no destination, no lock.
void CDirectoryScan::Report(std::size_t index) {
  states_[index] = State::Done;
  const platform::DirectoryEntry& entry = entries_[index];
  const std::u16string sourcePath = JoinPath(node_->path, entry.name);
  const FileLocation source{&directory_, entry.name, sourcePath, {}, false};
  OpenedSource opened;
  opened.error = platform::Files().OpenFile(directory_, entry.name, opened.file);
  // Every walked directory is the base joined with names, so its text starts with the base.
  std::u16string_view below = std::u16string_view(node_->path).substr(walk_.base.size());
  while (!below.empty() && platform::IsPathSeparator(below.front())) below.remove_prefix(1);
  const std::u16string shown = JoinPath(walk_.shownBase, below.empty() ? entry.name : JoinPath(below, entry.name));
  if (!ReportSource(walk_.run, opened, source, shown) && settings_.errorStop) {
    stopped_ = true;
  }
}

void CDirectoryScan::Convert(std::size_t index) {
  if (stopped_ || states_[index] != State::Pending) return;
  if (settings_.ReportsOnly()) {
    Report(index);
    return;
  }
  states_[index] = State::Converting;
  const platform::DirectoryEntry& entry = entries_[index];

  PrepareDestinations();
  const std::u16string destinationName =
      settings_.replaceSource ? entry.name : DestinationName(entry.name, settings_.destinationCharsetName, insertName_);
  if (!settings_.replaceSource && insertName_) {
    if (const auto other = pendingByName_.find(destinationName); other != pendingByName_.end()) {
      Convert(other->second);
      if (stopped_) return;
      // Its output must have its name, and its source be gone if moved, before this one is written:
      // while it is in the batch, the batch is completed first.
      if (states_[other->second] == State::Converting) walk_.batch->Complete();
      if (stopped_) return;
      if (states_[other->second] != State::Done) {
        Refuse(index, destinationName);
        return;
      }
    }
  }
  if (!destinationError_ && walk_.batch->Holds(*destinationDirectory_, destinationName)) walk_.batch->Complete();

  // The walked directories' paths are canonical and a listed name holds no separator, "." or
  // "..": plain joining is enough.
  FileLocation source{&directory_, entry.name, JoinListedName(node_->path, entry.name), {}, false};
  OpenedSource opened;
  opened.error = platform::Files().OpenFile(directory_, entry.name, opened.file);
  if (!opened.error &&
      (written_.count(opened.file.status.id) != 0 || walk_.run.written.Contains(opened.file.status.id))) {
    states_[index] = State::Done;
    Print(msg::kSkippedWrittenByRun, entry.name);
    return;
  }
  if (!opened.error && settings_.replaceSource) {
    const InPlaceClaim claim = ClaimInPlace(source, entry.id, opened.file);
    if (claim != InPlaceClaim::Taken) {
      states_[index] = State::Done;  // the other run's to convert: nothing here waits for it
      Print(claim == InPlaceClaim::Locked ? msg::kSkippedLocked : msg::kSkippedReplaced, entry.name);
      return;
    }
  }

  FileLocation destination{destinationError_ ? nullptr : destinationDirectory_.get(), destinationName,
                           JoinListedName(destinationPath_, destinationName), destinationError_, false};

  auto job = std::make_shared<CFileJob>();
  job->source = std::move(opened);
  job->sourceLocation = std::move(source);
  job->destination = std::move(destination);
  job->displayName = entry.name;
  job->pins = {pin_, destinationDirectory_};
  states_[index] = State::Converting;
  walk_.batch->Start(std::move(job), WhenDone(index));
}

// Called when a file's conversion ended: converted and named (`written`), skipped, or failed.
CDirectoryScan::Done CDirectoryScan::WhenDone(std::size_t index) const {
  return [outcome = outcome_, index, errorStop = settings_.errorStop](WrittenFile* written, bool skipped) {
    if (written == nullptr) {
      outcome->states[index] = FileState::Failed;
      if (errorStop && !skipped) outcome->stopped = true;
      return;
    }
    outcome->states[index] = FileState::Done;
    outcome->written.insert(written->id);
  };
}

// Lists the node's directory and converts its matching files; stacks its subdirectories.
void ScanDirectory(WalkContext& walk, DirectoryStack& stack, const WalkNodePtr& node) {
  DirectoryPin directory;
  if (const platform::SysError error = walk.sources->Open(node, directory)) {
    ReportDirectoryFailure(*walk.batch, walk.run.summary, node->path, error);
    return;
  }
  // The listing is a snapshot taken before converting, so files written into this directory
  // during the loop are never picked up again. In name order (of the UTF-16 units), whatever
  // order the file system keeps: runs repeat, and so does which file's failure ends them.
  std::vector<platform::DirectoryEntry> entries;
  if (const platform::SysError error = platform::Files().ListDirectory(*directory, entries)) {
    ReportDirectoryFailure(*walk.batch, walk.run.summary, node->path, error);
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) { return a.name < b.name; });
  CDirectoryScan(walk, stack, node, std::move(directory), std::move(entries)).Run();
}

// The early checks of the output folder: an early exit code, or nothing when the run may go on.
std::optional<Result> CheckOutput(const RunSettings& settings, const platform::CDirectory& base,
                                  platform::CDirectory& output) {
  switch (GetPathKind(settings.outputPath)) {
    case PathKind::Wildcard: Print(msg::kWildcardInOutput); return Result::WildcardInOutput;
    case PathKind::File: Print(msg::kOutputNotADirectory); return Result::OutputNotADirectory;
    case PathKind::Directory: break;
  }
  if (settings.replaceSource) return std::nullopt;
  if (const platform::SysError error = platform::Files().OpenDirectory(settings.outputPath, output)) {
    if (error.code == platform::kErrorUnsafeLink) {
      Print(msg::kNamedDestinationRefused, settings.outputPath, ReasonOf(error));
      return Result::WriteError;
    }
    Print(msg::kOutputNotADirectory);
    return Result::OutputNotADirectory;
  }
  // Converting into its own tree would meet its outputs as sources, or write over sources not
  // yet converted when the copy's names meet the tree's own.
  bool below = false;
  if (settings.recursive && base.handle.IsValid() && !platform::Files().IsBelow(output, base.id, below) && below) {
    Print(msg::kOutputInsideTree);
    return Result::OutputNotADirectory;
  }
  return std::nullopt;
}

// The pattern's directory made absolute.
std::u16string BaseOf(const std::u16string& sourceSpec) {
  const std::u16string_view patternDir = DirectoryOf(sourceSpec);
  return IsRelativePath(patternDir) ? JoinPath(platform::Files().CurrentDirectory(), patternDir)
                                    : CanonicalizePath(patternDir);
}

}  // namespace

std::optional<Result> CheckPatternOutput(const RunSettings& settings, const std::u16string& sourceSpec) {
  if (settings.outputPath.empty()) return std::nullopt;
  platform::CDirectory base, output;
  (void)platform::Files().OpenDirectory(BaseOf(sourceSpec), base);  // one that cannot be opened is reported later
  return CheckOutput(settings, base, output);
}

std::optional<Result> ConvertMatchingFiles(CRun& run, const std::u16string& sourceSpec) {
  const RunSettings& settings = run.settings;
  WalkContext walk{run,
                   settings,
                   std::u16string(FileNameOf(sourceSpec)),
                   BaseOf(sourceSpec),
                   std::u16string(DirectoryOf(sourceSpec)),
                   {},
                   {},
                   std::make_unique<CCommitBatch>(run)};

  // The pattern's directory is the one the person named: links on the way are followed there.
  platform::CDirectory base;
  const platform::SysError baseError = platform::Files().OpenDirectory(walk.base, base);
  if (baseError.code == platform::kErrorUnsafeLink) {
    Print(msg::kNamedSourceRefused, sourceSpec, ReasonOf(baseError));
    return Result::ReadError;
  }
  auto root = std::make_shared<CWalkNode>();
  root->path = walk.base;
  root->id = base.id;
  root->permissions = base.permissions;

  if (!settings.outputPath.empty() && !settings.ReportsOnly()) {
    platform::CDirectory output;
    if (const std::optional<Result> early = CheckOutput(settings, base, output)) return early;
    if (output.handle.IsValid()) {
      walk.outputs = std::make_unique<CDirectoryHandles>(root, std::move(output), OpenOrCreateCopy);
    }
  }
  if (settings.output.logLevel != 0) Print(msg::kBaseDirectory, walk.base);
  if (baseError) {
    ReportDirectoryFailure(*walk.batch, run.summary, walk.base, baseError);
    return std::nullopt;
  }
  walk.sources = std::make_unique<CDirectoryHandles>(root, std::move(base), OpenListedSubdirectory);
  if (settings.ownerFromPrefix && !settings.ReportsOnly()) {
    if (!run.handOver.LoadTable()) return Result::Abandoned;
    run.handOver.Prepare();
  }

  DirectoryStack stack;
  if (!Push(stack, std::move(root), run.summary)) return std::nullopt;
  while (!stack.empty()) {
    const WalkNodePtr node = std::move(stack.back());
    stack.pop_back();
    ScanDirectory(walk, stack, node);
  }
  walk.batch->Complete();
  return std::nullopt;
}

}  // namespace glyphshift
