// What one run keeps while it goes: its settings (read-only), its counts, its log and the
// owner hand-over. Both flows and every file step work on it.
#pragma once

#include <cstdint>

#include "messages/results.h"
#include "run/owner_handover.h"
#include "run/run_log.h"
#include "settings/run_settings.h"

namespace glyphshift {

struct RunSummary {
  std::int32_t convertedCount = 0;
  std::int32_t failedCount = 0;
  std::int64_t totalSourceBytes = 0;      // of the converted files
  Result lastResult = Result::Converted;  // of the most recent file
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
};

}  // namespace glyphshift
