#include "convert/working_text.h"

#include <cstring>
#include <limits>
#include <new>

namespace glyphshift {

namespace {

int allocationsBeforeFailure = -1;  // negative: never fail

bool TestingSaysFail() {
  if (allocationsBeforeFailure < 0) return false;
  if (allocationsBeforeFailure == 0) return true;
  --allocationsBeforeFailure;
  return false;
}

template <class T>
std::unique_ptr<T[]> Allocate(std::uint64_t count) noexcept {
  // The size arithmetic of a conversion is 64-bit; a count the address space cannot hold is
  // an allocation failure like any other.
  if (count > std::numeric_limits<std::size_t>::max() / sizeof(T) || TestingSaysFail()) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]);
}

}  // namespace

std::unique_ptr<char16_t[]> AllocateUnits(std::uint64_t count) noexcept { return Allocate<char16_t>(count); }

std::unique_ptr<char16_t[]> AllocateZeroedUnits(std::uint64_t count) noexcept {
  auto block = Allocate<char16_t>(count);
  if (block) std::memset(block.get(), 0, static_cast<std::size_t>(count) * sizeof(char16_t));
  return block;
}

std::unique_ptr<std::uint8_t[]> AllocateBytes(std::uint64_t count) noexcept {
  // A zero-byte block still gets an address, so an empty output is not mistaken for a failure.
  return Allocate<std::uint8_t>(count == 0 ? 1 : count);
}

void SetAllocationFailureForTesting(int successes) { allocationsBeforeFailure = successes; }

}  // namespace glyphshift
