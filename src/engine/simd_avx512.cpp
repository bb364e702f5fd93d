// The AVX-512 kernels: a 256-entry table held in registers and indexed by permutes, instead of
// one load per byte.
#include "engine/simd_kernels.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
// GCC 12's AVX-512 headers start some intrinsics from an "undefined" register, which -O3 then
// reports as maybe-uninitialized in our code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#define GLYPHSHIFT_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace glyphshift::engine::simd {

GLYPHSHIFT_AVX512 bool DecodeSingleBytesAvx512(const char16_t* table, const std::uint8_t* source,
                                               std::uint32_t count, char16_t* destination) noexcept {
  // Eight registers of 32 entries; a permute of two covers 64 entries, bits 6 and 7 pick the pair.
  __m512i t[8];
  for (int k = 0; k < 8; ++k) t[k] = _mm512_loadu_si512(table + 32 * k);
  const __m512i bit6 = _mm512_set1_epi16(0x40), bit7 = _mm512_set1_epi16(0x80);
  const __m512i undefinedUnit = _mm512_set1_epi16(-1);
  __mmask32 undefined = 0;
  for (std::uint32_t i = 0; count - i >= 32; i += 32) {
    const __m512i index = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i)));
    const __m512i r0 = _mm512_permutex2var_epi16(t[0], index, t[1]);
    const __m512i r1 = _mm512_permutex2var_epi16(t[2], index, t[3]);
    const __m512i r2 = _mm512_permutex2var_epi16(t[4], index, t[5]);
    const __m512i r3 = _mm512_permutex2var_epi16(t[6], index, t[7]);
    const __mmask32 high64 = _mm512_test_epi16_mask(index, bit6);
    const __m512i low = _mm512_mask_blend_epi16(high64, r0, r1);
    const __m512i high = _mm512_mask_blend_epi16(high64, r2, r3);
    const __m512i units = _mm512_mask_blend_epi16(_mm512_test_epi16_mask(index, bit7), low, high);
    undefined |= _mm512_cmpeq_epi16_mask(units, undefinedUnit);
    _mm512_storeu_si512(destination + i, units);
  }
  return undefined != 0;
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
