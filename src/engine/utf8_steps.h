// One character of UTF-8 decoding or encoding, exactly as the exported functions define it.
// The reference loops are nothing but these steps in a row; the vector paths hand every
// character they do not handle themselves to the same steps.
#pragma once

#include <cstdint>

#include "engine/codec_support.h"

namespace glyphshift::engine {

// Sequence length announced by a lead byte 0xC0..0xFD (2..6).
inline unsigned Utf8SequenceLength(std::uint8_t lead) noexcept {
  if (lead >= 0xFC) return 6;
  if (lead >= 0xF8) return 5;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  return 2;
}

inline bool IsContinuationByte(std::uint8_t b) noexcept { return (b & 0xC0) == 0x80; }

// Decodes the character at `j`, advancing `j` and the unit count `i` (and storing the units when
// kConvert). Returns false when a lead byte has fewer bytes left than its form needs: decoding
// ends there, and neither that byte nor any after it counts.
template <bool kConvert>
inline bool DecodeUtf8Character(const std::uint8_t* source, std::uint32_t sourceLength, std::uint32_t& j,
                                char16_t* destination, std::uint64_t& i, std::int32_t& result) noexcept {
  const std::uint8_t e = source[j];
  if (e < 0x80) {
    if constexpr (kConvert) destination[i] = e;
    ++i;
    ++j;
    return true;
  }
  if (e < 0xC0 || e >= 0xFE) {  // a stray continuation byte, or a byte no form starts with
    if constexpr (kConvert) destination[i] = kReplacementCharacter;
    ++i;
    ++j;
    result = CONVERT_INVALID_INPUT;
    return true;
  }
  const unsigned n = Utf8SequenceLength(e);
  if (n > sourceLength - j) return false;
  unsigned k = 0;
  while (k < n - 1 && IsContinuationByte(source[j + 1 + k])) ++k;
  const std::uint8_t* b = source + j;  // b[1..k] are the continuation bytes
  j += 1 + k;
  if (k < n - 1 || n >= 5) {
    if constexpr (kConvert) destination[i] = kReplacementCharacter;
    ++i;
    result = CONVERT_INVALID_INPUT;
    return true;
  }
  result |= CONVERT_FLAG_MULTIBYTE;
  if (n == 2) {
    // Overlong forms are taken as they are: C0 80 is U+0000.
    if constexpr (kConvert) destination[i] = static_cast<char16_t>(((e & 0x1Fu) << 6) | (b[1] & 0x3Fu));
    ++i;
    return true;
  }
  if (n == 3) {
    if constexpr (kConvert) {
      const unsigned value = ((e & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
      if ((value >= 0xD800 && value <= 0xDFFF) || value > 0xFFFD) {
        destination[i] = kReplacementCharacter;
        result = CONVERT_INVALID_INPUT;
      } else {
        destination[i] = static_cast<char16_t>(value);
      }
    }
    ++i;
    return true;
  }
  // n == 4. A size query makes no range test and counts a surrogate pair.
  if constexpr (kConvert) {
    const std::uint32_t codePoint =
        ((e & 0x07u) << 18) | ((b[1] & 0x3Fu) << 12) | ((b[2] & 0x3Fu) << 6) | (b[3] & 0x3Fu);
    if (codePoint < 0x10000 || codePoint > 0x10FFFF) {
      destination[i++] = kReplacementCharacter;
      result = CONVERT_INVALID_INPUT;
      return true;
    }
    const std::uint32_t offset = codePoint - 0x10000;
    destination[i] = static_cast<char16_t>(0xD800 + (offset >> 10));
    destination[i + 1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
  }
  i += 2;
  return true;
}

// UTF-8 bytes a size query counts for one unit: surrogates count 4 each, paired or not.
inline unsigned Utf8QueryBytes(char16_t c) noexcept {
  if (c < 0x80) return 1;
  if (c < 0x800) return 2;
  if (c >= 0xD800 && c <= 0xDFFF) return 4;
  return 3;
}

// Encodes the character at unit `j` of `units` into `destination` at `out`, within `capacity`.
// Returns false, writing nothing, when the character's bytes do not fit. A high surrogate
// followed by a low one is one 4-byte character; any other surrogate becomes U+FFFD (EF BF BD),
// which stays within the 4 bytes the size query counted for it.
inline bool EncodeUtf8Character(const char16_t* source, std::uint32_t units, std::uint32_t& j,
                                std::uint8_t* destination, std::uint32_t& out, std::uint32_t capacity) noexcept {
  std::uint32_t c = source[j];
  unsigned consumed = 1;
  if (c >= 0xD800 && c <= 0xDFFF) {
    if (c <= 0xDBFF && j + 1 < units && source[j + 1] >= 0xDC00 && source[j + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (source[j + 1] - 0xDC00u);
      consumed = 2;
    } else {
      c = kReplacementCharacter;
    }
  }
  const unsigned n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  if (n > capacity - out) return false;
  std::uint8_t* d = destination + out;
  switch (n) {
    case 1: d[0] = static_cast<std::uint8_t>(c); break;
    case 2:
      d[0] = static_cast<std::uint8_t>(0xC0 | (c >> 6));
      d[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      break;
    case 3:
      d[0] = static_cast<std::uint8_t>(0xE0 | (c >> 12));
      d[1] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
      d[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      break;
    default:
      d[0] = static_cast<std::uint8_t>(0xF0 | (c >> 18));
      d[1] = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
      d[2] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
      d[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      break;
  }
  out += n;
  j += consumed;
  return true;
}

}  // namespace glyphshift::engine
