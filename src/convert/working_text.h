// The text of one conversion in memory, and the allocation of every block a conversion makes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_memory.h"

namespace glyphshift {

// UTF-16 units in machine byte order. `buffer` is an owned block; the text starts `start` units
// into it and is `byteLength` bytes long (odd only for a UTF-16 source of odd size, whose last
// byte is then 0). The unit at byte offset `byteLength` rounded down to a unit is always U+0000:
// scanners stop there without knowing the length.
struct WorkingText {
  platform::FileMemory<char16_t> buffer;
  std::size_t start = 0;
  std::uint32_t byteLength = 0;

  char16_t* Text() { return buffer.get() + start; }
  const char16_t* Text() const { return buffer.get() + start; }
  // Whole units of the text; the terminator sits at this index.
  std::uint32_t UnitCount() const { return byteLength / 2; }
};

// Units a block needs for a text of `byteLength` bytes plus the U+0000 after it.
constexpr std::uint64_t BlockUnitsFor(std::uint64_t byteLength) { return byteLength / 2 + 1; }

// Allocation failure is a result: these return null instead of throwing. `AllocateZeroedUnits`
// clears the block, the others leave it uninitialised. Large blocks are mapped from the OS (see
// platform::AllocateFileMemory), so room that is never written costs no memory.
platform::FileMemory<char16_t> AllocateUnits(std::uint64_t count) noexcept;
platform::FileMemory<char16_t> AllocateZeroedUnits(std::uint64_t count) noexcept;
platform::FileMemory<std::uint8_t> AllocateBytes(std::uint64_t count) noexcept;

// Tests make these fail through engine::SetAllocationFailureForTesting.

}  // namespace glyphshift
