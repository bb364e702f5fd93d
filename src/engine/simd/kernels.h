// Vector kernels beyond the x86-64 baseline. Each is compiled for its instruction set alone,
// not the whole engine; call it only when CurrentCodecPath() allows that set.
#pragma once

#include <cstdint>

namespace glyphshift::engine::simd {

#if defined(__SSE2__)
#define GLYPHSHIFT_HAVE_SSE2 1

// How far ahead of their loads the AVX-512 kernels prefetch their input. The hardware's
// prefetcher stops at every 4 KiB page, and a 64 MiB input is not in the caches: on the 2-core
// development machine this took single-byte decoding from 5.6 to 8 GB/s, Latin UTF-16 to UTF-8
// from 4.7 to 10 GB/s and Cyrillic UTF-16 to Windows-1251 from 4.2 to 15 GB/s (768 and 1024
// bytes did no better).
inline constexpr int kInputPrefetchBytes = 2048;

// SSSE3 kernels: call them only when CurrentCodecPath() is CodecPath::kSsse3 or above.

struct Utf8DecodeRun {
  std::uint32_t consumed;   // input bytes taken
  std::uint32_t multibyte;  // non-zero when a multi-byte sequence was among them
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

// AVX-512 (BW, VBMI and VBMI2) kernels: call them only when CurrentCodecPath() is CodecPath::kAvx512.

// Decodes 64-byte blocks from the start of `source` through `table` with in-register permutes
// while 64 or more bytes are left; returns the bytes decoded, and sets `undefined` when one of
// them was undefined. Large outputs are written past the caches.
std::uint32_t DecodeSingleBytesAvx512(const char16_t* table, const std::uint8_t* source, std::uint32_t count,
                                      char16_t* destination, bool& undefined) noexcept;

struct SingleByteUtf8Run {
  std::uint32_t consumed;  // input bytes taken
  std::uint32_t written;   // UTF-8 bytes produced
};

// Converts 64-byte blocks of single-byte text straight to UTF-8 while 64 or more bytes are left,
// through `planes`: 1024 bytes, each byte value's first, second and third UTF-8 byte (0 where the
// character has fewer) and 0xFF for an undefined byte, 256 of each in that order. With
// `asciiIdentity` bytes below 0x80 stand for themselves and their entries are not read. Sets
// `undefined` when a byte was undefined. Each 16 input bytes store 64 bytes of which only their
// own count: the destination needs room for 3 bytes per input byte and 64 more. With
// `pastCaches`, and for runs over 4 MiB or more of input, only its own bytes are written, whole
// lines of them past the caches.
SingleByteUtf8Run SingleBytesToUtf8Avx512(const std::uint8_t* planes, bool asciiIdentity, const std::uint8_t* source,
                                          std::uint32_t count, std::uint8_t* destination, bool pastCaches,
                                          bool& undefined) noexcept;

// Encodes 64-unit blocks through a filled ReverseTable while the units of a block lie in at most
// four of its 256-unit pages (U+0000..U+00FF, U+0400..U+04FF, ...), as the text of one script
// does; returns the units encoded (a multiple of 64).
std::uint32_t EncodeUnitsByPageAvx512(const std::uint8_t* reverse, const char16_t* source, std::uint32_t count,
                                      std::uint8_t* destination) noexcept;

// Decodes 64-byte blocks from the start of `source` while each holds only ASCII and whole 1- to
// 3-byte sequences and 64 (size query, `destination` null) or 66 (converting) bytes are left; a
// sequence cut by a block's end waits for the next block. Stops at the first character the
// per-character step must judge (a malformed place, a 4-byte or longer form, and converting, a
// 3-byte value that is replaced), having taken everything before it. Writes only its own units;
// a run over 4 MiB or more of input writes them past the caches.
Utf8DecodeRun DecodeUtf8BlocksAvx512(const std::uint8_t* source, std::uint32_t length, char16_t* destination) noexcept;

// Decodes 64-byte blocks of any bytes, as the per-character step would, while each holds a
// malformed place and 64 (size query) or 66 (converting) bytes are left; stops after a block
// without one, and before a whole 4-byte form (the steps make its pair). A form cut by a block's
// end waits for the next block. Applies the blocks' errors and multi-byte flags to `result` in
// order. Writes only its own units.
Utf8DecodeRun DecodeUtf8AnyBlocksAvx512(const std::uint8_t* source, std::uint32_t length, char16_t* destination,
                                        std::int32_t& result) noexcept;

// Encodes 32-unit blocks while 32 or more units are left, stopping before a block whose bytes do
// not fit in what is left of `capacity`. Surrogates become what the per-character step makes of
// them: a pair its 4 bytes, one standing alone EF BF BD (a pair cut by a block's end goes with
// the next block). Writes only its own bytes; from 2 Mi units on, past the caches.
Utf8EncodeRun EncodeUtf8BlocksAvx512(const char16_t* source, std::uint32_t units, std::uint8_t* destination,
                                     std::uint32_t capacity) noexcept;

#endif

}  // namespace glyphshift::engine::simd
