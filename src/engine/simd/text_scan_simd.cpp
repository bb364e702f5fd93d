// Vector kernels of the text scans. A byte's membership in a 256-value set is two table
// look-ups: the low nibble picks a byte of bits, one per high nibble of its half of the set,
// and the high nibble picks the bit (W. Mula's byte-set method); AVX-512 holds the whole set in
// four registers and permutes instead.
#include "engine/text_scan.h"

#if defined(__SSE2__)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include <cstring>

#define GLYPHSHIFT_SSSE3_SCAN __attribute__((target("ssse3")))
#define GLYPHSHIFT_AVX512_SCAN __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace glyphshift::engine::simd {
namespace {

// Non-zero bytes where the 16 bytes at `at` are in the set. pshufb gives 0 for an index with its
// top bit set: each half of the set answers only for its own bytes, without a blend.
GLYPHSHIFT_SSSE3_SCAN inline __m128i HitsSsse3(const std::uint8_t* at, __m128i lowHalf, __m128i highHalf) {
  const __m128i bitOfHigh = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i rows =
      _mm_or_si128(_mm_shuffle_epi8(lowHalf, in), _mm_shuffle_epi8(highHalf, _mm_xor_si128(in, _mm_set1_epi8(-128))));
  return _mm_and_si128(rows, _mm_shuffle_epi8(bitOfHigh, _mm_and_si128(_mm_srli_epi16(in, 4), _mm_set1_epi8(0x0F))));
}

struct SetRegisters {
  __m512i q0, q1, q2, q3;
};

// Non-zero bytes where the 64 bytes at `at` are in the set.
GLYPHSHIFT_AVX512_SCAN inline __m512i HitsAvx512(const std::uint8_t* at, const SetRegisters& set) {
  const __m512i in = _mm512_loadu_si512(at);
  const __mmask64 upper = _mm512_movepi8_mask(in);  // values 0x80..0xFF
  return _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(set.q0, in, set.q1),
                                _mm512_permutex2var_epi8(set.q2, in, set.q3));
}

}  // namespace

GLYPHSHIFT_SSSE3_SCAN std::size_t FindByteInSetSsse3(const std::uint8_t* data, std::size_t size,
                                                     const CByteScanner::Tables& set) noexcept {
  const __m128i lowHalf = _mm_load_si128(reinterpret_cast<const __m128i*>(set.bits[0]));
  const __m128i highHalf = _mm_load_si128(reinterpret_cast<const __m128i*>(set.bits[1]));
  std::size_t i = 0;
  // Four blocks to one test: text without a hit, the usual case, costs one branch per 64 bytes.
  for (; size - i >= 64; i += 64) {
    const __m128i any = _mm_or_si128(
        _mm_or_si128(HitsSsse3(data + i, lowHalf, highHalf), HitsSsse3(data + i + 16, lowHalf, highHalf)),
        _mm_or_si128(HitsSsse3(data + i + 32, lowHalf, highHalf), HitsSsse3(data + i + 48, lowHalf, highHalf)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF) break;
  }
  return i;
}

GLYPHSHIFT_AVX512_SCAN std::size_t FindByteInSetAvx512(const std::uint8_t* data, std::size_t size,
                                                       const CByteScanner::Tables& set) noexcept {
  // The set as 256 bytes of 0 or 1, in four registers of 64 values each.
  const SetRegisters registers{_mm512_load_si512(set.flags), _mm512_load_si512(set.flags + 64),
                               _mm512_load_si512(set.flags + 128), _mm512_load_si512(set.flags + 192)};
  std::size_t i = 0;
  for (; size - i >= 128; i += 128) {
    const __m512i any = _mm512_or_si512(HitsAvx512(data + i, registers), HitsAvx512(data + i + 64, registers));
    if (_mm512_test_epi8_mask(any, any) != 0) break;
  }
  return i;
}

std::size_t FindSpecialUnitSse2(const char16_t* units, std::size_t count, std::uint32_t controls) noexcept {
  // Without a permute the controls are looked up one by one, but only for units below 0x20: line
  // breaks and tabs come a few to a line, and every other unit passes in the vector.
  const __m128i surrogateMask = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
  const __m128i aboveControls = _mm_set1_epi16(static_cast<short>(0xFFE0));
  const __m128i zero = _mm_setzero_si128();
  const auto masks = [&](const char16_t* at, int& surrogates, int& small) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    surrogates = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(in, surrogateMask), surrogate));
    small = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(in, aboveControls), zero));
  };
  std::size_t i = 0;
  for (; count - i >= 16; i += 16) {
    int surrogatesLow = 0, smallLow = 0, surrogatesHigh = 0, smallHigh = 0;
    masks(units + i, surrogatesLow, smallLow);
    masks(units + i + 8, surrogatesHigh, smallHigh);
    if ((surrogatesLow | surrogatesHigh) != 0) break;
    // Two mask bits a unit: bit 2k stands for unit k of the 16.
    auto small = static_cast<std::uint32_t>(smallLow) | (static_cast<std::uint32_t>(smallHigh) << 16);
    for (; small != 0; small &= small - 1, small &= small - 1) {
      const auto k = static_cast<unsigned>(__builtin_ctz(small)) / 2;
      if (((controls >> units[i + k]) & 1u) != 0) return i;
    }
  }
  return i;
}

GLYPHSHIFT_AVX512_SCAN std::size_t FindSpecialUnitAvx512(const char16_t* units, std::size_t count,
                                                         std::uint32_t controls) noexcept {
  // controls as 32 words, one per value below 0x20, looked up by a permute of the units.
  alignas(64) std::uint16_t table[32];
  for (unsigned v = 0; v < 32; ++v) table[v] = static_cast<std::uint16_t>((controls >> v) & 1u);
  const __m512i controlTable = _mm512_load_si512(table);
  const __m512i below = _mm512_set1_epi16(0x20);
  const __m512i surrogateMask = _mm512_set1_epi16(static_cast<short>(0xF800));
  const __m512i surrogate = _mm512_set1_epi16(static_cast<short>(0xD800));
  std::size_t i = 0;
  for (; count - i >= 32; i += 32) {
    const __m512i in = _mm512_loadu_si512(units + i);
    const __mmask32 small = _mm512_cmplt_epu16_mask(in, below);
    const __m512i flagged = _mm512_permutexvar_epi16(in, controlTable);
    const __mmask32 control = _mm512_mask_test_epi16_mask(small, flagged, flagged);
    const __mmask32 surrogates = _mm512_cmpeq_epi16_mask(_mm512_and_si512(in, surrogateMask), surrogate);
    if ((control | surrogates) != 0) break;
  }
  return i;
}

}  // namespace glyphshift::engine::simd
#endif
