#include "convert/working_text.h"

#include <cstring>
#include <limits>
#include <new>

#include "engine/allocation.h"

namespace glyphshift {

namespace {

template <class T>
platform::FileMemory<T> Allocate(std::uint64_t count) noexcept {
  // The size arithmetic of a conversion is 64-bit; a count the address space cannot hold is
  // an allocation failure like any other.
  if (count > std::numeric_limits<std::size_t>::max() / sizeof(T) || engine::AllocationFailsForTesting())
    return nullptr;
  return platform::ReinterpretFileMemory<T>(platform::AllocateFileMemory(count * sizeof(T)));
}

}  // namespace

platform::FileMemory<char16_t> AllocateUnits(std::uint64_t count) noexcept { return Allocate<char16_t>(count); }

platform::FileMemory<char16_t> AllocateZeroedUnits(std::uint64_t count) noexcept {
  auto block = Allocate<char16_t>(count);
  if (block) std::memset(block.get(), 0, static_cast<std::size_t>(count) * sizeof(char16_t));
  return block;
}

// A zero-byte block still gets an address, so an empty output is not mistaken for a failure.
platform::FileMemory<std::uint8_t> AllocateBytes(std::uint64_t count) noexcept { return Allocate<std::uint8_t>(count); }

}  // namespace glyphshift
