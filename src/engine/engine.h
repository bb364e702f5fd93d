// The engine's conversion functions for C++ callers: the same contracts, results and
// size queries as the exported C functions of include/glyphshift/glyphshift.h, on char16_t
// text. The exported functions are thin shims over these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/charset_catalogue.h"
#include "glyphshift/glyphshift.h"

namespace glyphshift::engine {

std::int32_t SingleByteToUtf16(CharsetCode code, const std::uint8_t* source, std::uint32_t sourceLength,
                               char16_t* destination, std::uint32_t* destinationSize) noexcept;
std::int32_t Utf16ToSingleByte(CharsetCode code, const char16_t* source, std::uint32_t sourceLength,
                               std::uint8_t* destination, std::uint32_t* destinationSize) noexcept;
std::int32_t Utf8ToUtf16(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                         std::uint32_t* destinationSize) noexcept;
std::int32_t Utf16ToUtf8(const char16_t* source, std::uint32_t sourceLength, std::uint8_t* destination,
                         std::uint32_t* destinationSize) noexcept;
std::int32_t SwapByteOrder(char16_t* data, std::uint32_t dataLength) noexcept;
std::int32_t TransformLineBreaks(std::int32_t type, const char16_t* source, std::uint32_t sourceLength,
                                 char16_t* destination, std::uint32_t* destinationSize) noexcept;
CharsetCode DetectCharset(const std::uint8_t* data, std::uint32_t dataLength) noexcept;

// A small text read whole (a settings file) with CR LF and lone CR made LF, so its parser sees
// one kind of line break. Below 2 GiB of text.
std::u16string WithUnixLineBreaks(std::u16string_view text);

// UTF-16 to one single-byte set over many calls, with the same bytes as Utf16ToSingleByte. The
// exported function builds its 64 KiB reverse table on every call, which a text converted in
// pieces would pay for each piece; this builds it once (or, short of memory, uses the
// allocation-free lookup).
class CSingleByteEncoder {
 public:
  explicit CSingleByteEncoder(CharsetCode code) noexcept;
  ~CSingleByteEncoder();
  CSingleByteEncoder(const CSingleByteEncoder&) = delete;
  CSingleByteEncoder& operator=(const CSingleByteEncoder&) = delete;
  // One byte per unit into `destination`.
  void Encode(const char16_t* source, std::uint32_t units, std::uint8_t* destination) const noexcept;

 private:
  CharsetCode code_;
  std::uint8_t* reverse_ = nullptr;
  bool asciiIdentity_ = false;
};

// Single-byte text straight to UTF-8, without the UTF-16 units between: each byte's character
// as Utf16ToUtf8 encodes it, and a byte the set leaves undefined as U+FFFD (EF BF BD), the
// replacement the conversion's loss check puts in its place.
class CSingleByteToUtf8 {
 public:
  // The bytes past what Convert writes that it may overwrite.
  static constexpr std::size_t kSlack = 64;

  explicit CSingleByteToUtf8(CharsetCode code) noexcept;
  // The one of a single-byte set (IsSingleByteCode), built on first use and kept: building the
  // table costs more than converting a small file.
  static const CSingleByteToUtf8& For(CharsetCode code);
  // Room `Convert` needs for `count` bytes.
  static constexpr std::size_t MaxBytes(std::size_t count) { return 3 * count + kSlack; }
  // Converts `count` bytes into `destination` (room for MaxBytes(count)); returns the bytes of
  // UTF-8 written. `undefined` is set when a byte was undefined, and left alone otherwise.
  // With `pastCaches` (the output is read next on another core), and for calls of 4 MiB and
  // more (it would not fit), the vector path writes the output past the caches.
  std::size_t Convert(const std::uint8_t* source, std::size_t count, std::uint8_t* destination, bool& undefined,
                      bool pastCaches = false) const noexcept;

  // Each byte's UTF-8 bytes, split by place: a vector kernel looks up 64 bytes at once in each.
  struct Planes {
    std::uint8_t lead[256];
    std::uint8_t second[256];     // 0 for a character of one byte
    std::uint8_t third[256];      // 0 for a character of one or two bytes
    std::uint8_t undefined[256];  // 0xFF for a byte the set leaves undefined, else 0
  };

 private:
  CharsetCode code_;
  bool asciiIdentity_;
  // Each byte's UTF-8 bytes from the lowest byte up, their count in bits 24-25, and bit 31 set
  // for an undefined byte: one load and one 4-byte store per byte.
  std::uint32_t sequences_[256];
  Planes planes_;
};

}  // namespace glyphshift::engine
