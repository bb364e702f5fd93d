// The one test hook for allocation failure. Allocation failure is a result, never a crash, so
// every allocation whose failure has a handling of its own asks here first: the engine's reverse
// table and every block of a file's conversion. Tests make the nth of them fail.
#pragma once

namespace glyphshift::engine {

// After `successes` more allocations that ask, every further one fails until this is called
// again; a negative value never fails (the default). Asked from any thread; set while no run goes.
void SetAllocationFailureForTesting(int successes) noexcept;

// Asked before each such allocation: true when it is to fail.
bool AllocationFailsForTesting() noexcept;

// Allocations that asked since the last SetAllocationFailureForTesting.
int AllocationAttemptsForTesting() noexcept;

}  // namespace glyphshift::engine
