// The engine's conversion functions for C++ callers: the same contracts, results and
// size queries as the exported C functions of include/glyphshift/glyphshift.h, on char16_t
// text. The exported functions are thin shims over these.
#pragma once

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

}  // namespace glyphshift::engine
