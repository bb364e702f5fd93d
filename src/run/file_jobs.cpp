#include "run/file_jobs.h"

#include <algorithm>
#include <chrono>

#include "messages/progress.h"
#include "platform/files.h"

namespace glyphshift {

std::int32_t WorkerCount(std::int32_t setting) {
  if (setting > 0) return std::min(setting, RunSettings::kMaxJobs);
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<std::int32_t>(std::clamp<unsigned>(cores, 1, RunSettings::kMaxJobs));
}

CFileJobs::CFileJobs(CRun& run, std::int32_t workers) : run_(run) {
  const std::int32_t count = WorkerCount(workers);
  if (count <= 1) return;
  threads_.reserve(static_cast<std::size_t>(count));
  try {
    for (std::int32_t i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // Fewer threads than asked for (a process limit): the run goes on with those it has.
  }
}

CFileJobs::~CFileJobs() {
  {
    const std::lock_guard<std::mutex> locked(lock_);
    stopping_ = true;
  }
  queued_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void CFileJobs::Run(CFileJob& job) {
  job.file = StartFile(run_, job.source, job.sourceLocation, job.destination, job.displayName, true);
}

void CFileJobs::Submit(const std::shared_ptr<CFileJob>& job) {
  if (threads_.empty()) {
    Run(*job);
    job->done = true;
    return;
  }
  {
    const std::lock_guard<std::mutex> locked(lock_);
    queue_.push_back(job);
  }
  queued_.notify_one();
}

void CFileJobs::Work() {
  // An interrupt is handled on the run's own thread, where names are given and records ended.
  platform::BlockInterruptsOnThisThread();
  for (;;) {
    std::shared_ptr<CFileJob> job;
    {
      std::unique_lock<std::mutex> locked(lock_);
      queued_.wait(locked, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    {
      const CCapturedMessages captured(job->texts);
      try {
        Run(*job);
      } catch (...) {
        job->failure = std::current_exception();  // thrown again on the run's thread, in turn
      }
    }
    {
      const std::lock_guard<std::mutex> locked(lock_);
      job->done = true;
    }
    finished_.notify_all();
  }
}

bool CFileJobs::Done(const CFileJob& job) {
  if (threads_.empty()) return true;
  const std::lock_guard<std::mutex> locked(lock_);
  return job.done;
}

void CFileJobs::Wait(CFileJob& job) {
  if (threads_.empty()) return;
  constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
  std::unique_lock<std::mutex> locked(lock_);
  while (!finished_.wait_for(locked, kRedrawEvery, [&job] { return job.done; })) {
    locked.unlock();
    RunProgress().Redraw();
    locked.lock();
  }
}

}  // namespace glyphshift
