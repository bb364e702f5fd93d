// The AVX-512 kernels: a 256-entry table held in registers and indexed by permutes, instead of
// one load per byte.
#include "engine/simd/kernels.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
// GCC 12's AVX-512 headers start some intrinsics from an "undefined" register, which -O3 then
// reports as (maybe-)uninitialized in our code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#define GLYPHSHIFT_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace glyphshift::engine::simd {

namespace {

// A table split into its units' low and high bytes, four registers of 64 each: byte permutes
// look up 64 bytes at once, where 16-bit ones took 32 (and cost more each).
struct SplitTable {
  __m512i low[4], high[4];
};

// Outputs of this many bytes and more bypass the caches: they cannot stay there anyway, and
// filling lines that are only overwritten would read each one from memory first.
constexpr std::uint32_t kStreamingBytes = 1u << 22;

template <bool kStream>
GLYPHSHIFT_AVX512 inline __mmask64 DecodeBlock(const SplitTable& t, const std::uint8_t* source, char16_t* destination) {
  // The byte interleave below works within 128-bit lanes; this order of the input's 8-byte
  // groups makes its two results the units of bytes 0..31 and 32..63.
  const __m512i index = _mm512_permutexvar_epi64(_mm512_set_epi64(7, 3, 6, 2, 5, 1, 4, 0), _mm512_loadu_si512(source));
  const __mmask64 upperHalf = _mm512_movepi8_mask(index);  // bytes 0x80..0xFF
  const __m512i lows = _mm512_mask_blend_epi8(upperHalf, _mm512_permutex2var_epi8(t.low[0], index, t.low[1]),
                                              _mm512_permutex2var_epi8(t.low[2], index, t.low[3]));
  const __m512i highs = _mm512_mask_blend_epi8(upperHalf, _mm512_permutex2var_epi8(t.high[0], index, t.high[1]),
                                               _mm512_permutex2var_epi8(t.high[2], index, t.high[3]));
  if constexpr (kStream) {
    _mm512_stream_si512(reinterpret_cast<__m512i*>(destination), _mm512_unpacklo_epi8(lows, highs));
    _mm512_stream_si512(reinterpret_cast<__m512i*>(destination + 32), _mm512_unpackhi_epi8(lows, highs));
  } else {
    _mm512_storeu_si512(destination, _mm512_unpacklo_epi8(lows, highs));
    _mm512_storeu_si512(destination + 32, _mm512_unpackhi_epi8(lows, highs));
  }
  const __m512i allOnes = _mm512_set1_epi8(-1);
  return _mm512_cmpeq_epi8_mask(lows, allOnes) & _mm512_cmpeq_epi8_mask(highs, allOnes);
}

}  // namespace

GLYPHSHIFT_AVX512 std::uint32_t DecodeSingleBytesAvx512(const char16_t* table, const std::uint8_t* source,
                                                        std::uint32_t count, char16_t* destination,
                                                        bool& undefined) noexcept {
  SplitTable t;
  for (int k = 0; k < 4; ++k) {
    const __m512i a = _mm512_loadu_si512(table + 64 * k), b = _mm512_loadu_si512(table + 64 * k + 32);
    t.low[k] = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi16_epi8(a)), _mm512_cvtepi16_epi8(b), 1);
    t.high[k] = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi16_epi8(_mm512_srli_epi16(a, 8))),
                                   _mm512_cvtepi16_epi8(_mm512_srli_epi16(b, 8)), 1);
  }
  __mmask64 undefinedBytes = 0;
  std::uint32_t i = 0;
  const auto address = reinterpret_cast<std::uintptr_t>(destination);
  if (count >= kStreamingBytes && address % 2 == 0) {
    // One ordinary block, then on from where the output is 64-byte aligned (rewriting a few units).
    undefinedBytes |= DecodeBlock<false>(t, source, destination);
    i = static_cast<std::uint32_t>((64 - address % 64) % 64 / 2);
    for (; count - i >= 64; i += 64) undefinedBytes |= DecodeBlock<true>(t, source + i, destination + i);
    _mm_sfence();  // the streamed stores are seen before what follows
  } else {
    for (; count - i >= 64; i += 64) undefinedBytes |= DecodeBlock<false>(t, source + i, destination + i);
  }
  undefined = undefinedBytes != 0;
  return i;
}

GLYPHSHIFT_AVX512 std::uint32_t EncodeLatinUnitsAvx512(const std::uint8_t* reverse, const char16_t* source,
                                                       std::uint32_t count, std::uint8_t* destination) noexcept {
  const __m512i r0 = _mm512_loadu_si512(reverse), r1 = _mm512_loadu_si512(reverse + 64);
  const __m512i r2 = _mm512_loadu_si512(reverse + 128), r3 = _mm512_loadu_si512(reverse + 192);
  const __m512i highByte = _mm512_set1_epi16(static_cast<short>(0xFF00));
  std::uint32_t i = 0;
  for (; count - i >= 32; i += 32) {
    const __m512i units = _mm512_loadu_si512(source + i);
    if (_mm512_test_epi16_mask(units, highByte) != 0) break;
    const __m512i index = _mm512_castsi256_si512(_mm512_cvtepi16_epi8(units));
    const __m512i low = _mm512_permutex2var_epi8(r0, index, r1);   // entries 0..127
    const __m512i high = _mm512_permutex2var_epi8(r2, index, r3);  // entries 128..255
    const __m512i bytes = _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i), _mm512_castsi512_si256(bytes));
  }
  return i;
}

}  // namespace glyphshift::engine::simd

#endif
