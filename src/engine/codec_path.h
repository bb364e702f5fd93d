// Which implementation the codecs run, and the allocation seam of the ReverseTable.
// The reference path is the plain per-character loop that defines every result; the
// vector paths must give the same bytes and result codes (tests and fuzzers hold them to it).
#pragma once

#include <cstddef>

namespace glyphshift::engine {

enum class CodecPath {
  kReference,  // the plain loops only
  kSse2,       // x86-64 baseline vectors
  kSsse3,      // plus byte shuffles (checked at run time)
  kAvx512,     // plus 512-bit permutes and compresses (AVX-512 BW, VBMI, VBMI2, checked at run time)
};

// The best path the compiler and this CPU allow.
CodecPath BestCodecPath() noexcept;
// The path in force; starts as BestCodecPath().
CodecPath CurrentCodecPath() noexcept;
// Selects a path (clamped to BestCodecPath()); returns the one now in force. Meant for tests,
// fuzzers and benchmarks: not synchronised with conversions running on other threads.
CodecPath SetCodecPath(CodecPath path) noexcept;

// The 65536-byte ReverseTable of ConvertDoubleByteToSingleByte comes from here. A null result
// (short of memory, or made to fail by SetAllocationFailureForTesting) makes the conversion fall
// back to a lookup that needs no allocation.
void* AllocateReverseTable(std::size_t bytes) noexcept;
void ReleaseReverseTable(void* block) noexcept;

}  // namespace glyphshift::engine
