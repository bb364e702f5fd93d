// The benchmark's inputs: 64 MiB of generated text of four kinds, in the forms each function
// takes. Generated from word lists with a fixed seed, so every run measures the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glyphshift::bench {

enum class TextKind { kLatin, kCyrillic, kGreekCjk, kRandom };

const char* KindName(TextKind kind);

struct Input {
  std::vector<std::uint8_t> bytes;  // single-byte text, UTF-8 or raw bytes, as the function takes it
  std::vector<char16_t> units;      // UTF-16 text
};

inline constexpr std::size_t kInputBytes = 64u << 20;

// The single-byte code a kind is stored in: Windows-1252, -1251, -1253 (Greek words only;
// CJK has no single-byte form), and Windows-1252 for random bytes, which has undefined bytes.
std::int32_t SingleByteCodeOf(TextKind kind);

// kInputBytes of single-byte text in SingleByteCodeOf(kind).
const std::vector<std::uint8_t>& SingleByteText(TextKind kind);
// kInputBytes of UTF-8 text (random bytes for kRandom).
const std::vector<std::uint8_t>& Utf8Text(TextKind kind);
// kInputBytes / 2 units of UTF-16 text with CR LF line breaks (random units for kRandom);
// for Greek/CJK the Greek-only text when `singleByteSubset` is set.
const std::vector<char16_t>& Utf16Text(TextKind kind, bool singleByteSubset = false);

}  // namespace glyphshift::bench
