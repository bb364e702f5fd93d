#include "engine/allocation.h"

#include <atomic>

namespace glyphshift::engine {
namespace {
// Atomic: allocations are asked about from every worker of a run.
std::atomic<int> gSuccessesLeft{-1};  // negative: never fail
std::atomic<int> gAttempts{0};
}  // namespace

void SetAllocationFailureForTesting(int successes) noexcept {
  gSuccessesLeft = successes;
  gAttempts = 0;
}

bool AllocationFailsForTesting() noexcept {
  gAttempts.fetch_add(1, std::memory_order_relaxed);
  int left = gSuccessesLeft.load(std::memory_order_relaxed);
  while (left > 0 && !gSuccessesLeft.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
  }
  return left == 0;
}

int AllocationAttemptsForTesting() noexcept { return gAttempts; }

}  // namespace glyphshift::engine
