// Output of the AVX-512 kernels that leaves past the caches. Include only from a kernel's own
// file, after kernels.h, where the AVX-512 intrinsics are compiled for their functions alone.
#pragma once

#include <immintrin.h>

#include <cstdint>

// A subset of every AVX-512 kernel's own target: inlined into each.
#define GLYPHSHIFT_AVX512_STREAMING __attribute__((target("avx512f,avx512bw")))

namespace glyphshift::engine::simd {

// A kernel's output gathered in a small buffer laid out like the destination modulo 64, so that
// whole 64-byte lines leave by streaming stores. Only the kernel's own bytes reach the
// destination; Finish() writes the last ones and must run before anything else writes there.
class CStreamedOutput {
 public:
  static constexpr unsigned kBlockRoom = 192;  // bytes one block may add before Advance()

  GLYPHSHIFT_AVX512_STREAMING explicit CStreamedOutput(void* destination)
      : offset_(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(destination) % 64)),
        // The address of the line, not a pointer before the destination's object.
        line_(reinterpret_cast<std::uint8_t*>(reinterpret_cast<std::uintptr_t>(destination) - offset_)),
        fill_(offset_) {}
  CStreamedOutput(const CStreamedOutput&) = delete;
  CStreamedOutput& operator=(const CStreamedOutput&) = delete;

  // Where the next output byte goes.
  GLYPHSHIFT_AVX512_STREAMING std::uint8_t* Next() { return stage_ + fill_; }
  // The first `count` bytes of `bytes` next; the stage has room for all 64.
  GLYPHSHIFT_AVX512_STREAMING void Store(__m512i bytes, unsigned count) {
    _mm512_storeu_si512(Next(), bytes);
    Advance(count);
  }
  // 128 bytes of units of which the first `count` units are meaningful; the stage has room for
  // all of them, so no write mask is needed (what lies past is overwritten by what comes next).
  GLYPHSHIFT_AVX512_STREAMING void StoreUnits(__m512i first, __m512i second, unsigned count) {
    _mm512_storeu_si512(Next(), first);
    _mm512_storeu_si512(Next() + 64, second);
    Advance(2 * count);
  }
  GLYPHSHIFT_AVX512_STREAMING void Advance(unsigned bytes) {
    fill_ += bytes;
    if (fill_ >= kStageBytes) Drain();
  }
  GLYPHSHIFT_AVX512_STREAMING void Finish() {
    for (unsigned at = 0; at < fill_; at += 64)
      StoreLine(at, ~std::uint64_t{0} >> (at + 64 > fill_ ? at + 64 - fill_ : 0));
    // The streamed lines are seen before what the caller writes next. Malformed text ends a
    // run every block or so, mostly before any line was streamed: that fence is not paid.
    if (streamed_) _mm_sfence();
  }

 private:
  static constexpr unsigned kStageBytes = 2048;

  // Line `at` of the stage with an ordinary store of the bytes in `mask`, less those before the
  // destination's start.
  GLYPHSHIFT_AVX512_STREAMING void StoreLine(unsigned at, std::uint64_t mask) {
    if (at == 0) mask &= ~std::uint64_t{0} << offset_;
    _mm512_mask_storeu_epi8(line_ + at, mask, _mm512_loadu_si512(stage_ + at));
  }

  GLYPHSHIFT_AVX512_STREAMING void Drain() {
    const unsigned whole = fill_ / 64 * 64;
    unsigned at = 0;
    if (offset_ != 0) {  // the destination's first line is only partly ours
      StoreLine(0, ~std::uint64_t{0});
      offset_ = 0;
      at = 64;
    }
    for (; at < whole; at += 64) {
      _mm512_stream_si512(reinterpret_cast<__m512i*>(line_ + at), _mm512_loadu_si512(stage_ + at));
      streamed_ = true;
    }
    _mm512_storeu_si512(stage_, _mm512_loadu_si512(stage_ + whole));  // the part of a line left over
    line_ += whole;
    fill_ -= whole;
  }

  // Aligned where the platform aligns its stack that far; the accesses do not rely on it
  // (64-bit Windows guarantees 16 bytes only).
  alignas(64) std::uint8_t stage_[kStageBytes + kBlockRoom];
  unsigned offset_;     // bytes of the first line before the destination, until it is written
  std::uint8_t* line_;  // the 64-byte-aligned destination line of stage_[0..63]
  unsigned fill_;       // bytes of the stage in use, offset_ included
  bool streamed_ = false;
};

}  // namespace glyphshift::engine::simd
