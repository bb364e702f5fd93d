// The workers that convert the files of a listing at once. The walk stays on the run's own
// thread: it lists, decides, opens and claims each source, then hands the conversion to a worker;
// the batch takes the results back in the order the files were handed over and completes them
// there (names, result lines, counts), so a run with many workers says and does what a run with
// one says and does, in the same order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "messages/print_message.h"
#include "run/file_steps.h"

namespace glyphshift {

// One file's conversion, from its opened source to its staged destination (StartFile).
struct CFileJob {
  OpenedSource source;
  FileLocation sourceLocation;
  FileLocation destination;
  std::u16string displayName;
  std::vector<std::shared_ptr<const platform::CDirectory>> pins;  // the directories it names files in

  // Filled by the worker.
  std::unique_ptr<CFileRun> file;
  std::vector<HeldText> texts;  // what the conversion printed, for the run to print in turn
  std::exception_ptr failure;   // what the conversion threw (out of memory)
  bool done = false;            // under the pool's lock
};

class CFileJobs {
 public:
  // `workers` from RunSettings::jobs (0: one per core). With one, every job runs on the calling
  // thread when it is handed over, and nothing is held back.
  CFileJobs(CRun& run, std::int32_t workers);
  ~CFileJobs();
  CFileJobs(const CFileJobs&) = delete;
  CFileJobs& operator=(const CFileJobs&) = delete;

  void Submit(const std::shared_ptr<CFileJob>& job);
  // Until the job is done; the progress line is kept up meanwhile.
  void Wait(CFileJob& job);
  bool Done(const CFileJob& job);
  bool Parallel() const { return !threads_.empty(); }

 private:
  void Work();
  void Run(CFileJob& job);

  CRun& run_;
  std::vector<std::thread> threads_;
  std::mutex lock_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<std::shared_ptr<CFileJob>> queue_;
  bool stopping_ = false;
};

// The number of workers a setting asks for: 0 is one per core.
std::int32_t WorkerCount(std::int32_t setting);

}  // namespace glyphshift
