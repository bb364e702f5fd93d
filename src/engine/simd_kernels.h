// Vector kernels that need byte shuffles (SSSE3). Call them only when CurrentCodecPath() is
// CodecPath::kSsse3; they are compiled for that instruction set alone, not the whole engine.
#pragma once

#include <cstdint>

namespace glyphshift::engine::simd {

#if defined(__SSE2__)
#define GLYPHSHIFT_HAVE_SSE2 1

struct Utf8BlockResult {
  std::uint32_t consumed;  // input bytes taken: 0 (block not eligible), 15 or 16
  std::uint32_t units;     // UTF-16 units produced
  bool multibyte;          // a 2-byte sequence was among them
};

// Decodes a 16-byte block made of ASCII and complete 2-byte sequences (a lead in the last byte
// is left for the next block). Reads 17 bytes. With a destination it stores 16 units' worth of
// bytes at `destination`, of which only `units` are meaningful: the caller keeps enough output
// ahead for the rest to be overwritten. Any other block gives consumed = 0 and stores nothing.
Utf8BlockResult DecodeUtf8TwoByteBlock(const std::uint8_t* source, char16_t* destination) noexcept;

// Encodes 8 units that are all below 0x800; stores 16 bytes at `destination`, of which the
// returned count (8..16) are the encoding. Returns 0 and stores
// nothing when a unit is 0x800 or above.
unsigned EncodeUtf8TwoByteBlock(const char16_t* source, std::uint8_t* destination) noexcept;

#endif

}  // namespace glyphshift::engine::simd
