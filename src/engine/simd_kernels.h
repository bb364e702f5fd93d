// Vector kernels that need byte shuffles (SSSE3). Call them only when CurrentCodecPath() is
// CodecPath::kSsse3; they are compiled for that instruction set alone, not the whole engine.
#pragma once

#include <cstdint>

namespace glyphshift::engine::simd {

#if defined(__SSE2__)
#define GLYPHSHIFT_HAVE_SSE2 1

struct Utf8DecodeRun {
  std::uint32_t consumed;   // input bytes taken
  std::uint32_t multibyte;  // non-zero when a 2-byte sequence was among them
  std::uint64_t units;      // UTF-16 units produced
};

// Decodes 16-byte blocks from the start of `source` while each holds only ASCII and complete
// 2-byte sequences (a lead in a block's last byte waits for the next block) and at least
// `margin` (17 or more) bytes are left; stops before the first other block. With a destination
// each block stores 16 units' worth of bytes of which only its own are meaningful, so the
// caller's margin must leave enough output ahead to overwrite the rest (5 units at most).
Utf8DecodeRun DecodeUtf8TwoByteBlocks(const std::uint8_t* source, std::uint32_t length, std::uint32_t margin,
                                      char16_t* destination) noexcept;

struct Utf8EncodeRun {
  std::uint32_t consumed;  // units taken
  std::uint32_t written;   // bytes produced
};

// Encodes 8-unit blocks from the start of `source` while each unit is below 0x800, 16 or more
// units are left and 19 or more bytes of capacity; stops before the first other block. A block
// stores 16 bytes of which only its own are meaningful; what those rules leave ahead (8 more
// units, or a capacity stop no earlier than 3 bytes short) overwrites the rest.
Utf8EncodeRun EncodeUtf8TwoByteBlocks(const char16_t* source, std::uint32_t units, std::uint8_t* destination,
                                      std::uint32_t capacity) noexcept;

#endif

}  // namespace glyphshift::engine::simd
