#include "engine/allocation.h"

namespace glyphshift::engine {
namespace {
int gSuccessesLeft = -1;  // negative: never fail
int gAttempts = 0;
}  // namespace

void SetAllocationFailureForTesting(int successes) noexcept {
  gSuccessesLeft = successes;
  gAttempts = 0;
}

bool AllocationFailsForTesting() noexcept {
  ++gAttempts;
  if (gSuccessesLeft < 0) return false;
  if (gSuccessesLeft == 0) return true;
  --gSuccessesLeft;
  return false;
}

int AllocationAttemptsForTesting() noexcept { return gAttempts; }

}  // namespace glyphshift::engine
