// What one run keeps while it goes: its settings (read-only), its counts, its log and the
// owner hand-over. Both flows and every file step work on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_set>

#include "messages/results.h"
#include "platform/files.h"
#include "run/owner_handover.h"
#include "run/run_log.h"
#include "settings/run_settings.h"

namespace glyphshift {

struct RunSummary {
  std::int32_t convertedCount = 0;
  std::int32_t failedCount = 0;
  std::int64_t totalSourceBytes = 0;  // of the converted files
  // The exit code: the result of the most recent file that failed, whatever came after it, so
  // that a run with a failure never ends with 0 (Converted while none failed).
  Result lastResult = Result::Converted;
};

// The files the run wrote: a later source is never one of them (converted twice, in place), and
// none is written over (two sources of one name into one output folder). Workers look while the
// run's thread adds.
class CWrittenFiles {
 public:
  void Insert(const platform::FileId& id) {
    const std::lock_guard<std::mutex> locked(lock_);
    ids_.insert(id);
    any_.store(true, std::memory_order_release);
  }
  bool Contains(const platform::FileId& id) const {
    if (!Any()) return false;
    const std::lock_guard<std::mutex> locked(lock_);
    return ids_.count(id) != 0;
  }
  bool Any() const { return any_.load(std::memory_order_acquire); }

 private:
  mutable std::mutex lock_;
  std::unordered_set<platform::FileId, platform::FileIdHash> ids_;
  std::atomic<bool> any_{false};
};

class CRun {
 public:
  explicit CRun(const RunSettings& runSettings) : settings(runSettings), handOver(runSettings) {}
  CRun(const CRun&) = delete;
  CRun& operator=(const CRun&) = delete;

  const RunSettings& settings;
  RunSummary summary;
  const CRunLog log;
  COwnerHandOver handOver;
  CWrittenFiles written;
};

}  // namespace glyphshift
