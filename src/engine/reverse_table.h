// The ReverseTable of ConvertDoubleByteToSingleByte, and the lookup that replaces it when its
// 65536 bytes cannot be allocated.
#pragma once

#include <cstdint>

#include "engine/mapping_table.h"

namespace glyphshift::engine {

inline constexpr std::uint32_t kReverseTableSize = 0x10000;
inline constexpr std::uint8_t kUnmappableByte = 0x3F;

// Every entry 0x3F, then byte values 0..255 in ascending order store themselves at their unit,
// so a unit several bytes map to gets the highest, and unit 0xFFFF the highest undefined byte.
void FillReverseTable(const MappingTable& table, std::uint8_t* reverse) noexcept;

// The same answers as a filled ReverseTable, from 256 (unit, byte) pairs sorted by unit (highest
// byte kept per unit) and a binary search: 1 KiB on the stack instead of 64 KiB on the heap.
class CSortedReverseLookup {
 public:
  explicit CSortedReverseLookup(const MappingTable& table) noexcept;
  std::uint8_t Find(char16_t unit) const noexcept;

 private:
  char16_t units_[256];
  std::uint8_t bytes_[256];
  unsigned count_ = 0;
};

}  // namespace glyphshift::engine
