// The files of a walk waiting for their names (and those that failed, to be counted in turn), so
// that the flushes replacements need are made together: each file's write-back starts as soon as
// it is complete, the batch waits for all of them once, then renames them in order. A full batch
// is waited for on a thread of its own while the next one fills, and named before anything after
// it. Files that need no flush (new outputs) are named as soon as everything before them is.
// Every line printed meanwhile is held back, so the lines come out in the order of the files, as
// they would one file at a time; a file whose flush failed fails alone, its old content kept. The
// conversions themselves run on the workers (CFileJobs) while the walk goes on; a worker's lines
// are printed in its file's turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "messages/print_message.h"
#include "run/file_jobs.h"
#include "run/file_steps.h"

namespace glyphshift {

class CCommitBatch {
 public:
  // A batch stays below these, so the dirty data and the open files stay bounded: each waiting
  // file holds two descriptors, and a converting one four. Large batches matter: each one's flush
  // costs a sync of the file system, replaced files or not.
  static constexpr std::size_t kMaxFiles = 1024;
  static constexpr std::uint64_t kMaxBytes = 64ull << 20;

  explicit CCommitBatch(CRun& run);
  // Completes what is left. While an exception unwinds the walk, a conversion that threw as well
  // is not thrown again: the first one ends the run.
  ~CCommitBatch();
  CCommitBatch(const CCommitBatch&) = delete;
  CCommitBatch& operator=(const CCommitBatch&) = delete;

  // A file refused before its conversion.
  void Add(std::unique_ptr<CFileRun> file);
  // A conversion handed to a worker; `done` is the file's, called when it is completed.
  void Start(std::shared_ptr<CFileJob> job, std::function<void(WrittenFile* written, bool skipped)> done);
  // A step of the walk that counts in the summary (a directory that could not be read): taken in
  // its turn, after the files added before it.
  void Defer(std::function<void()> step);
  // A file of the batch has this name in `directory` as its source or destination.
  bool Holds(const platform::CDirectory& directory, std::u16string_view name) const;
  void Complete();

 private:
  struct Pending {
    // Before the file: the job pins the directories the file's staged output is named in, and a
    // staged file not yet renamed removes itself from its directory when it goes.
    std::shared_ptr<CFileJob> job;
    std::unique_ptr<CFileRun> file;  // of a job: once it is done
    std::size_t heldMark = 0;        // the lines printed before it was added
    std::uint64_t bytes = 0;         // its share of bytes_
    std::function<void(WrittenFile* written, bool skipped)> done;
    std::function<void()> step;  // a deferred step instead of a file
  };
  // A name in a directory, by the directory's identity. The name is the job's own, which lives
  // as long as the job is in the batch.
  struct Name {
    platform::FileId directory;
    std::u16string_view name;
    bool operator==(const Name&) const = default;
  };
  struct NameHash {
    std::size_t operator()(const Name& n) const noexcept {
      return platform::FileIdHash{}(n.directory) ^ (std::hash<std::u16string_view>{}(n.name) * 31);
    }
  };

  void Enqueue(Pending pending, std::uint64_t bytes);
  bool Full() const;
  void AddNames(const CFileJob& job);
  void RemoveNames(const CFileJob& job);
  // Finishes the files at the front that are converted and need no flush (new outputs, those
  // that failed), so a batch only waits where a flush is shared.
  void CompleteReady();
  void TakeFile(Pending& p);  // the job's file, once it is done
  void Finish(Pending& p);    // names it, prints its lines
  // Takes the files of the finished jobs. From a conversion that threw on, nothing is kept: that
  // one is returned (its failure thrown again in its turn), and the files after it are dropped,
  // their staged files removed, as a run that stopped there would never have converted them.
  Pending CollectJobs();
  // A full batch: its files are flushed beside the walk (flushed_), and named once the next
  // batch is full, or before anything after them is.
  void Rotate();
  void FinishFlushed();  // waits for the flush of flushed_, then names its files
  static void Flush(std::deque<Pending>& files, const ConversionSettings& settings);
  static bool NeedsFlush(const Pending& p, const ConversionSettings& settings);

  CRun& run_;
  CFileJobs jobs_;
  std::deque<Pending> pending_;
  std::deque<Pending> flushed_;  // a batch before pending_, while flushing_ runs
  std::future<void> flushing_;
  std::unordered_multiset<Name, NameHash> names_;  // the sources and destinations of the jobs not yet named
  std::unique_ptr<CHeldMessages> held_;
  std::uint64_t bytes_ = 0;
  std::size_t maxFiles_;
};

}  // namespace glyphshift
