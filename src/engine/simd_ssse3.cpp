// The SSSE3 kernels: compaction by shuffle, with tables built at compile time.
#include "engine/simd_kernels.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
#include <tmmintrin.h>


#define GLYPHSHIFT_SSSE3 __attribute__((target("ssse3")))

namespace glyphshift::engine::simd {
namespace {

struct ShuffleTable {
  alignas(16) std::uint8_t shuffle[256][16];
  std::uint8_t length[256];
};

// Entry m moves the 16-bit lanes whose bit is set in m to the front, in order; length in lanes.
constexpr ShuffleTable MakeKeepLanesTable() {
  ShuffleTable t{};
  for (unsigned m = 0; m < 256; ++m) {
    unsigned out = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if ((m >> lane & 1) == 0) continue;
      t.shuffle[m][2 * out] = static_cast<std::uint8_t>(2 * lane);
      t.shuffle[m][2 * out + 1] = static_cast<std::uint8_t>(2 * lane + 1);
      ++out;
    }
    for (unsigned b = 2 * out; b < 16; ++b) t.shuffle[m][b] = 0x80;
    t.length[m] = static_cast<std::uint8_t>(out);
  }
  return t;
}

// Entry m keeps both bytes of each lane, except only the low byte of lanes whose bit is set
// (ASCII units); length in bytes.
constexpr ShuffleTable MakeDropHighBytesTable() {
  ShuffleTable t{};
  for (unsigned m = 0; m < 256; ++m) {
    unsigned out = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      t.shuffle[m][out++] = static_cast<std::uint8_t>(2 * lane);
      if ((m >> lane & 1) == 0) t.shuffle[m][out++] = static_cast<std::uint8_t>(2 * lane + 1);
    }
    for (unsigned b = out; b < 16; ++b) t.shuffle[m][b] = 0x80;
    t.length[m] = static_cast<std::uint8_t>(out);
  }
  return t;
}

constexpr ShuffleTable kKeepLanes = MakeKeepLanesTable();
constexpr ShuffleTable kDropHighBytes = MakeDropHighBytesTable();

GLYPHSHIFT_SSSE3 inline __m128i Shuffle(__m128i v, const ShuffleTable& table, unsigned mask) {
  return _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(table.shuffle[mask])));
}

// (lead AND 0x1F) << 6 | (next AND 0x3F) where `lead` is set, the byte itself elsewhere.
GLYPHSHIFT_SSSE3 inline __m128i TwoByteUnits(__m128i bytes, __m128i next, __m128i isLead) {
  const __m128i value = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, _mm_set1_epi16(0x1F)), 6),
                                     _mm_and_si128(next, _mm_set1_epi16(0x3F)));
  return _mm_or_si128(_mm_and_si128(isLead, value), _mm_andnot_si128(isLead, bytes));
}

}  // namespace

GLYPHSHIFT_SSSE3 Utf8BlockResult DecodeUtf8TwoByteBlock(const std::uint8_t* source, char16_t* destination) noexcept {
  const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
  const __m128i high3 = _mm_and_si128(in, _mm_set1_epi8(static_cast<char>(0xE0)));
  const __m128i lead = _mm_cmpeq_epi8(high3, _mm_set1_epi8(static_cast<char>(0xC0)));
  const __m128i wide = _mm_cmpeq_epi8(high3, _mm_set1_epi8(static_cast<char>(0xE0)));
  const __m128i cont =
      _mm_cmpeq_epi8(_mm_and_si128(in, _mm_set1_epi8(static_cast<char>(0xC0))), _mm_set1_epi8(static_cast<char>(0x80)));
  const auto leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
  const auto conts = static_cast<unsigned>(_mm_movemask_epi8(cont));
  // No 3-byte or longer lead, no 0xFE/0xFF; every continuation byte right after a lead and every
  // lead (but one in the last byte) right before one: nothing here is malformed.
  if (_mm_movemask_epi8(wide) != 0 || conts != ((leads << 1) & 0xFFFF)) return {0, 0, false};
  const bool leadAtEnd = (leads & 0x8000) != 0;
  const unsigned keep = ~conts & (leadAtEnd ? 0x7FFFu : 0xFFFFu);
  const unsigned keepLow = keep & 0xFF, keepHigh = keep >> 8;
  const std::uint32_t units = kKeepLanes.length[keepLow] + kKeepLanes.length[keepHigh];
  if (destination != nullptr) {
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 1));
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = TwoByteUnits(_mm_unpacklo_epi8(in, zero), _mm_unpacklo_epi8(next, zero),
                                     _mm_unpacklo_epi8(lead, lead));
    const __m128i high = TwoByteUnits(_mm_unpackhi_epi8(in, zero), _mm_unpackhi_epi8(next, zero),
                                      _mm_unpackhi_epi8(lead, lead));
    auto* out = reinterpret_cast<__m128i*>(destination);
    _mm_storeu_si128(out, Shuffle(low, kKeepLanes, keepLow));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + kKeepLanes.length[keepLow]),
                     Shuffle(high, kKeepLanes, keepHigh));
  }
  return {leadAtEnd ? 15u : 16u, units, (leads & keep) != 0};
}

GLYPHSHIFT_SSSE3 unsigned EncodeUtf8TwoByteBlock(const char16_t* source, std::uint8_t* destination) noexcept {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
  // Saturating subtraction stands in for the unsigned 16-bit compare SSE2 lacks.
  const __m128i ascii = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7F)), _mm_setzero_si128());
  const __m128i belowWide = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7FF)), _mm_setzero_si128());
  if (_mm_movemask_epi8(belowWide) != 0xFFFF) return 0;
  // Lane k, as little-endian bytes: C0|c>>6 then 80|c&3F; an ASCII lane keeps c in its low byte.
  const __m128i first = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
  const __m128i second = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
  const __m128i pairs = _mm_or_si128(first, _mm_slli_epi16(second, 8));
  const __m128i lanes = _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, pairs));
  // One mask bit per lane: pack the 16-bit compare results down to bytes first.
  const auto asciiMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, ascii)) & 0xFF);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), Shuffle(lanes, kDropHighBytes, asciiMask));
  return kDropHighBytes.length[asciiMask];
}

}  // namespace glyphshift::engine::simd

#endif
