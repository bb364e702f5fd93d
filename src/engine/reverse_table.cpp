#include "engine/reverse_table.h"

#include <algorithm>
#include <cstring>

namespace glyphshift::engine {

void FillReverseTable(const MappingTable& table, std::uint8_t* reverse) noexcept {
  std::memset(reverse, kUnmappableByte, kReverseTableSize);
  for (unsigned b = 0; b < 256; ++b) reverse[table.units[b]] = static_cast<std::uint8_t>(b);
}

CSortedReverseLookup::CSortedReverseLookup(const MappingTable& table) noexcept {
  // Pack (unit, byte) into one key so a plain sort orders by unit, then byte.
  std::uint32_t keys[256];
  for (unsigned b = 0; b < 256; ++b) keys[b] = (static_cast<std::uint32_t>(table.units[b]) << 8) | b;
  std::sort(keys, keys + 256);
  for (unsigned k = 0; k < 256; ++k) {
    const auto unit = static_cast<char16_t>(keys[k] >> 8);
    const auto byte = static_cast<std::uint8_t>(keys[k] & 0xFF);
    if (count_ > 0 && units_[count_ - 1] == unit) {
      bytes_[count_ - 1] = byte;  // ascending bytes: the later, higher one wins
    } else {
      units_[count_] = unit;
      bytes_[count_] = byte;
      ++count_;
    }
  }
}

std::uint8_t CSortedReverseLookup::Find(char16_t unit) const noexcept {
  const char16_t* end = units_ + count_;
  const char16_t* hit = std::lower_bound(units_, end, unit);
  if (hit == end || *hit != unit) return kUnmappableByte;
  return bytes_[hit - units_];
}

}  // namespace glyphshift::engine
