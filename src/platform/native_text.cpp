// UTF-16 <-> UTF-8 at the byte boundary. File names are byte strings that need not be valid
// UTF-8; each byte of an invalid sequence travels as the lone surrogate U+DC00+byte (always in
// U+DC80..U+DCFF, as ASCII bytes are never invalid) and turns back into that byte, so a name read
// from a directory reaches the same file again.
#include "platform/native_text.h"

#include <cstdint>

namespace glyphshift::platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
constexpr bool IsEscapedByte(char32_t u) { return u >= 0xDC80 && u <= 0xDCFF; }
constexpr bool IsContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The length of the well-formed UTF-8 sequence at `in[i]` (Unicode Table 3-7), or 0 when the
// bytes there do not start one: overlong forms, encoded surrogates and values above U+10FFFF
// are all refused.
std::size_t SequenceLength(std::string_view in, std::size_t i, char32_t& c) {
  const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(in[i + k]); };
  const std::uint8_t b0 = at(0);
  const std::size_t left = in.size() - i;
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (left < 2 || !IsContinuation(at(1))) return 0;
    c = (char32_t{b0} & 0x1F) << 6 | (at(1) & 0x3F);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (left < 3 || !IsContinuation(at(1)) || !IsContinuation(at(2))) return 0;
    if ((b0 == 0xE0 && at(1) < 0xA0) || (b0 == 0xED && at(1) > 0x9F)) return 0;
    c = (char32_t{b0} & 0x0F) << 12 | char32_t{at(1) & 0x3Fu} << 6 | (at(2) & 0x3F);
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (left < 4 || !IsContinuation(at(1)) || !IsContinuation(at(2)) || !IsContinuation(at(3))) return 0;
    if ((b0 == 0xF0 && at(1) < 0x90) || (b0 == 0xF4 && at(1) > 0x8F)) return 0;
    c = (char32_t{b0} & 0x07) << 18 | char32_t{at(1) & 0x3Fu} << 12 | char32_t{at(2) & 0x3Fu} << 6 | (at(3) & 0x3F);
    return 4;
  }
  return 0;
}

}  // namespace

std::string ToNative(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t u = text[i];
    if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (IsEscapedByte(u)) {
      out += static_cast<char>(u - kEscapeBase);
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      AppendUtf8(out, 0xFFFD);  // a lone surrogate has no UTF-8 form
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::u16string FromNative(std::string_view native) {
  std::u16string out;
  out.reserve(native.size());
  for (std::size_t i = 0; i < native.size();) {
    char32_t c = 0;
    const std::size_t length = SequenceLength(native, i, c);
    if (length == 0) {
      // One byte at a time, so the bytes after it are read afresh and nothing is lost.
      out += static_cast<char16_t>(kEscapeBase + static_cast<std::uint8_t>(native[i]));
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

}  // namespace glyphshift::platform
