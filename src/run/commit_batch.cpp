#include "run/commit_batch.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>

#include "platform/files.h"

namespace glyphshift {

CCommitBatch::CCommitBatch(CRun& run)
    : run_(run),
      jobs_(run, run.settings.uiMode ? 1 : run.settings.jobs),
      // Two batches may be open at once, one flushing while the next fills. A soft limit as low
      // as the usual 1024 would make small batches, each costing a flush of the file system.
      maxFiles_(std::clamp<std::size_t>(platform::RaiseOpenHandleLimit(8 * kMaxFiles) / 8, 8, kMaxFiles)) {}

CCommitBatch::~CCommitBatch() {
  try {
    Complete();
  } catch (...) {
  }
  // Whatever ended the walk, the flush of the files it still has is over before they go.
  if (flushing_.valid()) flushing_.wait();
}

void CCommitBatch::Enqueue(Pending pending, std::uint64_t bytes) {
  if (!held_) held_ = std::make_unique<CHeldMessages>();
  bytes_ += bytes;
  pending.heldMark = held_->Mark();
  pending.bytes = bytes;
  pending_.push_back(std::move(pending));
  // With /error-stop a failure must end the directory before anything later is converted.
  if (run_.settings.errorStop) {
    Complete();
  } else if (Full()) {
    // Files that need no flush leave in turn as their conversions end: waiting for the first one
    // keeps the workers busy with the rest, where waiting for all of them would idle them.
    if (pending_.front().job && !pending_.front().file) jobs_.Wait(*pending_.front().job);
    CompleteReady();
    if (Full()) Rotate();
  } else {
    CompleteReady();
  }
}

bool CCommitBatch::Full() const { return pending_.size() >= maxFiles_ || bytes_ >= kMaxBytes; }

void CCommitBatch::Add(std::unique_ptr<CFileRun> file) {
  const std::uint64_t bytes = file->result == Result::Converted ? file->converted.staged.written : 0;
  Pending pending;
  pending.file = std::move(file);
  Enqueue(std::move(pending), bytes);
}

void CCommitBatch::Start(std::shared_ptr<CFileJob> job, std::function<void(WrittenFile* written, bool skipped)> done) {
  // The source's size stands for what will be written: the batch's bound holds before the
  // conversion is done.
  const std::uint64_t bytes = job->source.error ? 0 : job->source.file.status.size;
  if (!held_) held_ = std::make_unique<CHeldMessages>();
  // Not known yet whether it converts: it may.
  AddNames(*job);
  jobs_.Submit(job);
  Pending pending;
  pending.job = std::move(job);
  pending.done = std::move(done);
  Enqueue(std::move(pending), bytes);
}

void CCommitBatch::Defer(std::function<void()> step) {
  if (pending_.empty() && flushed_.empty()) {
    step();
    return;
  }
  Pending pending;
  pending.step = std::move(step);
  Enqueue(std::move(pending), 0);
}

void CCommitBatch::AddNames(const CFileJob& job) {
  for (const FileLocation* location : {&job.destination, &job.sourceLocation}) {
    if (location->directory != nullptr) names_.insert({location->directory->id, location->name});
  }
}

void CCommitBatch::RemoveNames(const CFileJob& job) {
  for (const FileLocation* location : {&job.destination, &job.sourceLocation}) {
    if (location->directory == nullptr) continue;
    if (const auto name = names_.find({location->directory->id, location->name}); name != names_.end()) {
      names_.erase(name);
    }
  }
}

// Only jobs hold names: a file added is one refused, which writes nothing.
bool CCommitBatch::Holds(const platform::CDirectory& directory, std::u16string_view name) const {
  return names_.count({directory.id, name}) != 0;
}

CCommitBatch::Pending CCommitBatch::CollectJobs() {
  for (Pending& p : pending_) {
    if (p.job) jobs_.Wait(*p.job);
  }
  for (auto p = pending_.begin(); p != pending_.end(); ++p) {
    if (!p->job || p->file) continue;
    if (p->job->failure) {
      Pending failed = std::move(*p);
      for (auto dropped = std::next(p); dropped != pending_.end(); ++dropped) {
        if (dropped->job) RemoveNames(*dropped->job);
      }
      pending_.erase(p, pending_.end());
      return failed;
    }
    TakeFile(*p);
  }
  return {};
}

void CCommitBatch::TakeFile(Pending& p) {
  p.file = std::move(p.job->file);
  p.file->done = std::move(p.done);
}

void CCommitBatch::Finish(Pending& p) {
  held_->ReleaseUntil(p.heldMark);
  held_->PrintThrough([&] {
    if (p.step) {
      p.step();
      return;
    }
    if (p.job) PrintHeldTexts(p.job->texts);
    FinishFile(run_, *p.file);
  });
}

void CCommitBatch::CompleteReady() {
  if (!flushed_.empty()) {
    if (flushing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    FinishFlushed();
  }
  while (!pending_.empty()) {
    Pending& p = pending_.front();
    if (p.job && !p.file) {
      if (!jobs_.Done(*p.job) || p.job->failure) return;  // one that threw is thrown by Complete
      TakeFile(p);
    }
    if (NeedsFlush(p, run_.settings.conversion)) return;
    // Its names are held until it has them: a later file waits for the batch on them.
    if (p.job) RemoveNames(*p.job);
    Finish(p);
    bytes_ -= p.bytes;
    pending_.pop_front();
  }
  held_.reset();  // nothing waits: lines printed from here on are written at once
}

// Waits for each file's write-back (its write errors are its own), then flushes each file system
// once. Touches only the files' flush results: it runs beside the walk.
void CCommitBatch::Flush(std::deque<Pending>& files, const ConversionSettings& settings) {
  platform::FileSystem& system = platform::Files();
  std::vector<CConvertedFile*> flushed;
  for (Pending& p : files) {
    if (!NeedsFlush(p, settings)) continue;
    CConvertedFile& c = p.file->converted;
    c.flushError = system.WaitForStaged(c.staged);
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
    if (const platform::SysError error = system.FlushFileSystem(*c->staged.directory)) {
      for (CConvertedFile* other : flushed) {
        if (other->staged.directory->id.device == directory.device) other->flushError = error;
      }
    }
  }
}

bool CCommitBatch::NeedsFlush(const Pending& p, const ConversionSettings& settings) {
  return p.file && p.file->result == Result::Converted && p.file->converted.NeedsFlush(settings);
}

void CCommitBatch::FinishFlushed() {
  if (flushed_.empty()) return;
  if (flushing_.valid()) flushing_.get();
  while (!flushed_.empty()) {
    Pending& p = flushed_.front();
    if (p.job) RemoveNames(*p.job);
    Finish(p);
    flushed_.pop_front();
  }
}

void CCommitBatch::Rotate() {
  FinishFlushed();
  if (Pending failed = CollectJobs(); failed.job) {
    pending_.push_back(std::move(failed));  // Complete() collects it again and ends with it
    Complete();
    return;
  }
  CompleteReady();  // what needs no flush at the front goes at once
  if (pending_.empty()) return;
  // The walk goes on, and the workers with it, while these files are flushed.
  flushed_ = std::move(pending_);
  pending_.clear();
  bytes_ = 0;  // the bound is the next batch's: this one's data is being written out
  try {
    flushing_ = std::async(std::launch::async, [this] {
      platform::BlockInterruptsOnThisThread();
      Flush(flushed_, run_.settings.conversion);
    });
  } catch (const std::system_error&) {
    Flush(flushed_, run_.settings.conversion);  // no thread to be had: the walk waits
  }
}

void CCommitBatch::Complete() {
  FinishFlushed();
  if (pending_.empty()) {
    held_.reset();
    return;
  }
  const Pending failed = CollectJobs();
  Flush(pending_, run_.settings.conversion);
  for (Pending& p : pending_) Finish(p);
  names_.clear();  // before the jobs whose names it holds
  pending_.clear();
  bytes_ = 0;
  if (failed.job) {
    // Its lines end the run's output: nothing printed after it was handed over would have been.
    held_->ReleaseUntil(failed.heldMark);
    held_->PrintThrough([&] { PrintHeldTexts(failed.job->texts); });
    held_->Drop();
    held_.reset();
    std::rethrow_exception(failed.job->failure);
  }
  held_.reset();  // writes the lines printed after the last file
}

}  // namespace glyphshift
