// The catalogue of character-set names and the code <-> name look-ups.
#pragma once

#include <cstdint>
#include <span>

namespace glyphshift {

using CharsetCode = std::int32_t;

inline constexpr CharsetCode kCharsetIso88591 = 0;  // what the byte rules read any other text as
inline constexpr CharsetCode kCharsetWindows1252 = 18;
inline constexpr CharsetCode kCharsetUtf8 = 100;
inline constexpr CharsetCode kCharsetUtf16 = 101;
inline constexpr CharsetCode kCharsetUtf16Be = 102;
inline constexpr int kSingleByteTableCount = 60;  // codes 0..59; 11 has a table but no name

inline constexpr bool IsSingleByteCode(CharsetCode code) { return code >= 0 && code < kSingleByteTableCount; }

struct CharsetRecord {
  char16_t name[32];
  char16_t description[128];  // empty in alias records
  std::int32_t code;
  std::int32_t listed;  // 1 in the primary record of a code, 0 in an alias
};

// The 182 records in catalogue order, without the terminating all-zero record.
std::span<const CharsetRecord> CharsetCatalogue();

// Name to code. On success sets *code and points *name at the engine's canonical spelling
// (the matched record's own name, or "utf-8", "utf-16", "utf-16be"); on failure touches neither.
bool ResolveCharsetName(CharsetCode* code, const char16_t** name);

// Code to name: "utf-8", "utf-16", "utf-16be" for 100..102, the primary record's name for a
// single-byte code, null for anything else (11, negatives, 60..99, 103 and above).
const char16_t* CharsetNameFromCode(CharsetCode code);

// The primary record of a code, or null (same codes as CharsetNameFromCode gives names for).
const CharsetRecord* PrimaryRecordFromCode(CharsetCode code);

}  // namespace glyphshift
