#include "run/commit_batch.h"

#include <algorithm>

#include "platform/files.h"

namespace glyphshift {

void CCommitBatch::Add(std::unique_ptr<CFileRun> file) {
  if (!held_) held_ = std::make_unique<CHeldMessages>();
  if (file->result == Result::Converted) bytes_ += file->converted.staged.written;
  pending_.push_back({std::move(file), held_->Mark()});
  // With /error-stop a failure must end the directory before anything later is converted.
  if (pending_.size() >= kMaxFiles || bytes_ >= kMaxBytes || run_.settings.errorStop) Complete();
}

bool CCommitBatch::Holds(std::u16string_view name) const {
  for (const Pending& p : pending_) {
    const CConvertedFile& c = p.file->converted;
    if (p.file->result == Result::Converted && (c.destination.name == name || c.sourceLocation.name == name))
      return true;
  }
  return false;
}

void CCommitBatch::Complete() {
  if (pending_.empty()) {
    held_.reset();
    return;
  }
  // One wait for all: each file's write-back was started as it was complete; each is waited
  // for (its write errors are its own), then the file systems are flushed once.
  platform::FileSystem& files = platform::Files();
  std::vector<CConvertedFile*> flushed;
  for (Pending& p : pending_) {
    CConvertedFile& c = p.file->converted;
    if (p.file->result != Result::Converted || !c.NeedsFlush(run_.settings.conversion)) continue;
    c.flushError = files.WaitForStaged(c.staged);
    c.flushed = true;
    if (!c.flushError) flushed.push_back(&c);
  }
  std::vector<platform::FileId> systems;  // one directory of each file system, by its device
  for (CConvertedFile* c : flushed) {
    const platform::FileId& directory = c->staged.directory->id;
    if (std::any_of(systems.begin(), systems.end(),
                    [&](const platform::FileId& s) { return s.device == directory.device; })) {
      continue;
    }
    systems.push_back(directory);
    // A failure cannot be pinned on one file: every file of that file system keeps its old content.
    if (const platform::SysError error = files.FlushFileSystem(*c->staged.directory)) {
      for (CConvertedFile* other : flushed) {
        if (other->staged.directory->id.device == directory.device) other->flushError = error;
      }
    }
  }
  for (Pending& p : pending_) {
    held_->ReleaseUntil(p.heldMark);
    held_->PrintThrough([&] { FinishFile(run_, *p.file); });
  }
  pending_.clear();
  bytes_ = 0;
  held_.reset();  // writes the lines printed after the last file
}

}  // namespace glyphshift
