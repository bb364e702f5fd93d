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

// bits[n][lo]: bit h set when the value 16 * (8 * n + h) + lo is in the set.
struct NibbleTables {
  alignas(16) std::uint8_t bits[2][16] = {};
};

NibbleTables NibblesOf(const ByteSet& set) noexcept {
  NibbleTables t;
  for (unsigned v = 0; v < 256; ++v) {
    if (set.Has(static_cast<std::uint8_t>(v)))
      t.bits[v >> 7][v & 15] |= static_cast<std::uint8_t>(1u << ((v >> 4) & 7));
  }
  return t;
}

}  // namespace

GLYPHSHIFT_SSSE3_SCAN std::size_t FindByteInSetSsse3(const std::uint8_t* data, std::size_t size,
                                                     const ByteSet& set) noexcept {
  const NibbleTables t = NibblesOf(set);
  const __m128i lowHalf = _mm_load_si128(reinterpret_cast<const __m128i*>(t.bits[0]));
  const __m128i highHalf = _mm_load_si128(reinterpret_cast<const __m128i*>(t.bits[1]));
  const __m128i bitOfHigh = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m128i nibble = _mm_set1_epi8(0x0F);
  std::size_t i = 0;
  for (; size - i >= 16; i += 16) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i lo = _mm_and_si128(in, nibble);
    const __m128i hi = _mm_and_si128(_mm_srli_epi16(in, 4), nibble);
    // A byte's top bit picks the half of the set.
    const __m128i upper = _mm_cmplt_epi8(in, _mm_setzero_si128());
    const __m128i rows = _mm_or_si128(_mm_and_si128(upper, _mm_shuffle_epi8(highHalf, lo)),
                                      _mm_andnot_si128(upper, _mm_shuffle_epi8(lowHalf, lo)));
    const __m128i hit = _mm_and_si128(rows, _mm_shuffle_epi8(bitOfHigh, hi));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(hit, _mm_setzero_si128())) != 0xFFFF) break;
  }
  return i;
}

GLYPHSHIFT_AVX512_SCAN std::size_t FindByteInSetAvx512(const std::uint8_t* data, std::size_t size,
                                                       const ByteSet& set) noexcept {
  // The set as 256 bytes of 0 or 1, in four registers of 64 values each.
  alignas(64) std::uint8_t flags[256];
  for (unsigned v = 0; v < 256; ++v) flags[v] = set.Has(static_cast<std::uint8_t>(v)) ? 1 : 0;
  const __m512i q0 = _mm512_load_si512(flags), q1 = _mm512_load_si512(flags + 64);
  const __m512i q2 = _mm512_load_si512(flags + 128), q3 = _mm512_load_si512(flags + 192);
  std::size_t i = 0;
  for (; size - i >= 64; i += 64) {
    const __m512i in = _mm512_loadu_si512(data + i);
    const __mmask64 upper = _mm512_movepi8_mask(in);  // values 0x80..0xFF
    const __m512i looked =
        _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(q0, in, q1), _mm512_permutex2var_epi8(q2, in, q3));
    if (_mm512_test_epi8_mask(looked, looked) != 0) break;
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
