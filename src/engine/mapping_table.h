// Byte-to-UTF-16 tables of the 60 single-byte character sets (generated from the
// Unicode Consortium mapping files by tools/generate_tables.py).
#pragma once

#include <cstdint>

#include "engine/charset_catalogue.h"

namespace glyphshift {

inline constexpr char16_t kMappingUndefined = 0xFFFF;

struct MappingTable {
  char16_t units[256];  // entry b: the unit byte value b stands for, kMappingUndefined if none
};

// Indexed by CharsetCode 0..kSingleByteTableCount-1; callers pass only those codes.
extern const MappingTable kMappingTables[kSingleByteTableCount];

// Bytes 0x00..0x7F map to U+0000..U+007F in every table but the EBCDIC ones (56..59).
inline constexpr bool IsAsciiCompatible(std::int32_t code) { return code < 56; }

}  // namespace glyphshift
