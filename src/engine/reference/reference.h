// The straightforward loops: one character at a time, exactly as the exported functions are
// defined. They are the oracle the vector paths are tested and fuzzed against, and the path
// in force under CodecPath::kReference. Same contracts as engine.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/charset_catalogue.h"

namespace glyphshift::engine::reference {

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

// CSingleByteToUtf8::Convert byte by byte: the table's unit (U+FFFD for an undefined byte)
// through the UTF-8 encoder's per-character step. Writes only its own bytes.
std::size_t SingleByteToUtf8(CharsetCode code, const std::uint8_t* source, std::size_t count, std::uint8_t* destination,
                             bool& undefined) noexcept;

// The UTF-8 decoder's result over the whole input as a size query, and the units it counts.
std::int32_t ScanUtf8(const std::uint8_t* source, std::uint32_t sourceLength, std::uint64_t& units) noexcept;

// The decoding loop itself (converting unless `destination` is null): `units` receives the
// units, `consumed` the bytes before the place where decoding ended (the input's end, or a
// lead byte with fewer bytes left than its form needs).
std::int32_t DecodeUtf8Prefix(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                              std::uint64_t& units, std::uint32_t& consumed) noexcept;

}  // namespace glyphshift::engine::reference
