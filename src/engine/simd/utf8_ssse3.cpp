// The SSSE3 kernels: compaction by shuffle, with tables built at compile time.
#include "engine/simd/kernels.h"

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

GLYPHSHIFT_SSSE3 inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
GLYPHSHIFT_SSSE3 inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

GLYPHSHIFT_SSSE3 Utf8DecodeRun DecodeUtf8TwoByteBlocks(const std::uint8_t* source, std::uint32_t length,
                                                       std::uint32_t margin, char16_t* destination) noexcept {
  const __m128i zero = _mm_setzero_si128();
  std::uint32_t j = 0;
  std::uint64_t i = 0;
  unsigned leadsSeen = 0;
  while (length - j >= margin) {
    // 64 bytes of ASCII widen without the compaction: long ASCII runs are the common case.
    if (length - j >= margin + 48) {
      const __m128i a = Load(source + j), b = Load(source + j + 16), c = Load(source + j + 32),
                    d = Load(source + j + 48);
      if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) {
        if (destination != nullptr) {
          char16_t* out = destination + i;
          Store(out, _mm_unpacklo_epi8(a, zero)), Store(out + 8, _mm_unpackhi_epi8(a, zero));
          Store(out + 16, _mm_unpacklo_epi8(b, zero)), Store(out + 24, _mm_unpackhi_epi8(b, zero));
          Store(out + 32, _mm_unpacklo_epi8(c, zero)), Store(out + 40, _mm_unpackhi_epi8(c, zero));
          Store(out + 48, _mm_unpacklo_epi8(d, zero)), Store(out + 56, _mm_unpackhi_epi8(d, zero));
        }
        j += 64;
        i += 64;
        continue;
      }
    }
    const __m128i in = Load(source + j);
    const __m128i high3 = _mm_and_si128(in, _mm_set1_epi8(static_cast<char>(0xE0)));
    const __m128i lead = _mm_cmpeq_epi8(high3, _mm_set1_epi8(static_cast<char>(0xC0)));
    const __m128i wide = _mm_cmpeq_epi8(high3, _mm_set1_epi8(static_cast<char>(0xE0)));
    const __m128i cont = _mm_cmpeq_epi8(_mm_and_si128(in, _mm_set1_epi8(static_cast<char>(0xC0))),
                                        _mm_set1_epi8(static_cast<char>(0x80)));
    const auto leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
    const auto conts = static_cast<unsigned>(_mm_movemask_epi8(cont));
    // No 3-byte or longer lead, no 0xFE/0xFF; every continuation byte right after a lead and
    // every lead (but one in the last byte) right before one: nothing here is malformed.
    if (_mm_movemask_epi8(wide) != 0 || conts != ((leads << 1) & 0xFFFF)) break;
    const unsigned leadAtEnd = leads >> 15;
    const unsigned keep = ~conts & (0xFFFFu >> leadAtEnd);
    const unsigned keepLow = keep & 0xFF, keepHigh = keep >> 8;
    if (destination != nullptr) {
      const __m128i next = Load(source + j + 1);
      const __m128i low =
          TwoByteUnits(_mm_unpacklo_epi8(in, zero), _mm_unpacklo_epi8(next, zero), _mm_unpacklo_epi8(lead, lead));
      const __m128i high =
          TwoByteUnits(_mm_unpackhi_epi8(in, zero), _mm_unpackhi_epi8(next, zero), _mm_unpackhi_epi8(lead, lead));
      Store(destination + i, Shuffle(low, kKeepLanes, keepLow));
      Store(destination + i + kKeepLanes.length[keepLow], Shuffle(high, kKeepLanes, keepHigh));
    }
    leadsSeen |= leads & keep;
    j += 16 - leadAtEnd;
    i += kKeepLanes.length[keepLow] + kKeepLanes.length[keepHigh];
  }
  return {j, leadsSeen, i};
}

GLYPHSHIFT_SSSE3 Utf8EncodeRun EncodeUtf8TwoByteBlocks(const char16_t* source, std::uint32_t units,
                                                       std::uint8_t* destination, std::uint32_t capacity) noexcept {
  std::uint32_t j = 0, out = 0;
  while (units - j >= 16 && capacity - out >= 19) {
    const __m128i v = Load(source + j);
    // Saturating subtraction stands in for the unsigned 16-bit compare SSE2 lacks.
    const __m128i ascii = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7F)), _mm_setzero_si128());
    const __m128i belowWide = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x7FF)), _mm_setzero_si128());
    if (_mm_movemask_epi8(belowWide) != 0xFFFF) break;
    // Lane k, as little-endian bytes: C0|c>>6 then 80|c&3F; an ASCII lane keeps c in its low byte.
    const __m128i first = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
    const __m128i second = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
    const __m128i pairs = _mm_or_si128(first, _mm_slli_epi16(second, 8));
    const __m128i lanes = _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, pairs));
    // One mask bit per lane: pack the 16-bit compare results down to bytes first.
    const auto asciiMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, ascii)) & 0xFF);
    Store(destination + out, Shuffle(lanes, kDropHighBytes, asciiMask));
    out += kDropHighBytes.length[asciiMask];
    j += 8;
  }
  return {j, out};
}

}  // namespace glyphshift::engine::simd

#endif
