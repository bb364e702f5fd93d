// The AVX-512 kernels: a 256-entry table (or a 256-unit page of the ReverseTable) held in
// registers and indexed by permutes, instead of one load per byte.
#include "engine/simd/kernels.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
// GCC 12's AVX-512 headers start some intrinsics from an "undefined" register, which -O3 then
// reports as (maybe-)uninitialized in our code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include "engine/simd/interleave_indexes.h"
#include "engine/simd/streamed_output.h"

#define GLYPHSHIFT_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi")))
#define GLYPHSHIFT_AVX512_VBMI2 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,popcnt")))

namespace glyphshift::engine::simd {

namespace {

// Byte k is 2k: as a permute's indexes into two registers of units, their low bytes in order.
struct EvenBytes {
  alignas(64) std::uint8_t bytes[64];
};
constexpr EvenBytes kEvenBytes = [] {
  EvenBytes even{};
  for (unsigned k = 0; k < 64; ++k) even.bytes[k] = static_cast<std::uint8_t>(2 * k);
  return even;
}();

// Blocks whose units spread over more pages are left to the plain look-ups: each page costs about
// as much as a quarter of the block's look-ups one by one.
constexpr int kMaxPagesPerBlock = 4;

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

// A 256-byte table in four registers.
struct ByteTable {
  __m512i q[4];
};

GLYPHSHIFT_AVX512_VBMI2 inline ByteTable LoadByteTable(const std::uint8_t* table) {
  return {{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
           _mm512_loadu_si512(table + 192)}};
}

// The entries of 64 bytes; with kHighOnly, zero for the bytes below 0x80 (`high` clear).
template <bool kHighOnly>
GLYPHSHIFT_AVX512_VBMI2 inline __m512i LookUp(const ByteTable& t, __m512i index, __mmask64 high) {
  const __m512i upper = _mm512_maskz_permutex2var_epi8(high, t.q[2], index, t.q[3]);
  if constexpr (kHighOnly) {
    return upper;
  } else {
    return _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(t.q[0], index, t.q[1]), upper);
  }
}

// Index vectors of the lanes below (the second and third bytes of input bytes 32h..32h+31 are
// interleaved by kInterleaved.bytes[h]): `lanes[g]` makes 16 four-byte lanes of group g's input
// bytes 16g..16g+15: the lead (from the permute's first register), then the two tail bytes (from
// the second, at 64 on). A lane's fourth byte is masked off.
struct LaneIndexes {
  alignas(64) std::uint8_t lanes[4][64];
};
constexpr LaneIndexes kLaneIndexes = [] {
  LaneIndexes x{};
  for (unsigned g = 0; g < 4; ++g) {
    for (unsigned i = 0; i < 16; ++i) {
      const unsigned tail = 64 + 2 * (16 * (g % 2) + i);
      x.lanes[g][4 * i] = static_cast<std::uint8_t>(16 * g + i);
      x.lanes[g][4 * i + 1] = static_cast<std::uint8_t>(tail);
      x.lanes[g][4 * i + 2] = static_cast<std::uint8_t>(tail + 1);
    }
  }
  return x;
}();

// The destination written as the kernel goes, 64 bytes a store, past a block's own bytes into
// the room the caller leaves.
class CSlackOutput {
 public:
  explicit CSlackOutput(std::uint8_t* destination) : next_(destination) {}
  GLYPHSHIFT_AVX512_VBMI2 void Store(__m512i bytes, unsigned count) {
    _mm512_storeu_si512(next_, bytes);
    next_ += count;
  }
  void Finish() {}

 private:
  std::uint8_t* next_;
};

template <bool kAsciiIdentity, class Output>
GLYPHSHIFT_AVX512_VBMI2 SingleByteUtf8Run SingleBytesToUtf8(const std::uint8_t* planes, const std::uint8_t* source,
                                                            std::uint32_t count, std::uint8_t* destination,
                                                            bool& undefined) {
  const ByteTable leads = LoadByteTable(planes), seconds = LoadByteTable(planes + 256),
                  thirds = LoadByteTable(planes + 512), undefinedBytes = LoadByteTable(planes + 768);
  const __m512i tailIndex[2] = {_mm512_load_si512(kInterleaved.bytes[0]), _mm512_load_si512(kInterleaved.bytes[1])};
  __m512i laneIndex[4];
  for (int g = 0; g < 4; ++g) laneIndex[g] = _mm512_load_si512(kLaneIndexes.lanes[g]);
  const __m512i leadBits = _mm512_set1_epi32(1);
  Output output(destination);
  __m512i seen = _mm512_setzero_si512();
  std::uint32_t i = 0, written = 0;
  for (; count - i >= 64; i += 64) {
    const __m512i in = _mm512_loadu_si512(source + i);
    const __mmask64 high = _mm512_movepi8_mask(in);
    __m512i lead = LookUp<kAsciiIdentity>(leads, in, high);
    if constexpr (kAsciiIdentity) lead = _mm512_mask_blend_epi8(high, in, lead);
    const __m512i second = LookUp<kAsciiIdentity>(seconds, in, high);
    const __m512i third = LookUp<kAsciiIdentity>(thirds, in, high);
    seen = _mm512_or_si512(seen, LookUp<kAsciiIdentity>(undefinedBytes, in, high));
    const __m512i tails[2] = {_mm512_permutex2var_epi8(second, tailIndex[0], third),
                              _mm512_permutex2var_epi8(second, tailIndex[1], third)};
    // Each group of 16 bytes as 16 four-byte lanes (lead, second, third), packed by a compress
    // down to the bytes that are there: a lane's lead always (tested with a bit set, as U+0000
    // is 0), the others where not 0 (a continuation byte never is).
    for (int g = 0; g < 4; ++g) {
      const __m512i lanes = _mm512_maskz_permutex2var_epi8(0x7777'7777'7777'7777ull, lead, laneIndex[g], tails[g / 2]);
      const __m512i marked = _mm512_or_si512(lanes, leadBits);
      const __mmask64 keep = _mm512_test_epi8_mask(marked, marked);
      const auto bytes = static_cast<unsigned>(_mm_popcnt_u64(keep));
      output.Store(_mm512_maskz_compress_epi8(keep, lanes), bytes);
      written += bytes;
    }
  }
  output.Finish();
  if (_mm512_test_epi8_mask(seen, seen) != 0) undefined = true;
  return {i, written};
}

}  // namespace

GLYPHSHIFT_AVX512_VBMI2 SingleByteUtf8Run SingleBytesToUtf8Avx512(const std::uint8_t* planes, bool asciiIdentity,
                                                                  const std::uint8_t* source, std::uint32_t count,
                                                                  std::uint8_t* destination, bool pastCaches,
                                                                  bool& undefined) noexcept {
  if (pastCaches || count >= kStreamingBytes) {
    if (asciiIdentity) return SingleBytesToUtf8<true, CStreamedOutput>(planes, source, count, destination, undefined);
    return SingleBytesToUtf8<false, CStreamedOutput>(planes, source, count, destination, undefined);
  }
  if (asciiIdentity) return SingleBytesToUtf8<true, CSlackOutput>(planes, source, count, destination, undefined);
  return SingleBytesToUtf8<false, CSlackOutput>(planes, source, count, destination, undefined);
}

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
    for (; count - i >= 64; i += 64) {
      _mm_prefetch(reinterpret_cast<const char*>(source + i) + kInputPrefetchBytes, _MM_HINT_T0);
      undefinedBytes |= DecodeBlock<true>(t, source + i, destination + i);
    }
    _mm_sfence();  // the streamed stores are seen before what follows
  } else {
    for (; count - i >= 64; i += 64) undefinedBytes |= DecodeBlock<false>(t, source + i, destination + i);
  }
  undefined = undefinedBytes != 0;
  return i;
}

GLYPHSHIFT_AVX512 std::uint32_t EncodeUnitsByPageAvx512(const std::uint8_t* reverse, const char16_t* source,
                                                        std::uint32_t count, std::uint8_t* destination) noexcept {
  const __m512i lowBytes = _mm512_loadu_si512(kEvenBytes.bytes);
  const __m512i highBytes = _mm512_add_epi8(lowBytes, _mm512_set1_epi8(1));
  std::uint32_t i = 0;
  for (; count - i >= 64; i += 64) {
    _mm_prefetch(reinterpret_cast<const char*>(source + i) + kInputPrefetchBytes, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(source + i) + kInputPrefetchBytes + 64, _MM_HINT_T0);
    const __m512i a = _mm512_loadu_si512(source + i), b = _mm512_loadu_si512(source + i + 32);
    // The units' low bytes index a page, their high bytes name it: one byte permute each.
    const __m512i index = _mm512_permutex2var_epi8(a, lowBytes, b);
    const __m512i pages = _mm512_permutex2var_epi8(a, highBytes, b);
    const __mmask64 upperHalf = _mm512_movepi8_mask(index);  // entries 128..255 of a page
    __m512i bytes = _mm512_setzero_si512();
    std::uint64_t left = ~std::uint64_t{0};
    for (int tries = 0; left != 0 && tries < kMaxPagesPerBlock; ++tries) {
      // The page of the first unit not yet encoded, and every unit of the block in it.
      const unsigned page = source[i + static_cast<unsigned>(_tzcnt_u64(left))] >> 8;
      const std::uint64_t inPage = _mm512_cmpeq_epi8_mask(pages, _mm512_set1_epi8(static_cast<char>(page))) & left;
      const std::uint8_t* entries = reverse + 256 * page;
      const __m512i low =
          _mm512_permutex2var_epi8(_mm512_loadu_si512(entries), index, _mm512_loadu_si512(entries + 64));
      const __m512i high =
          _mm512_permutex2var_epi8(_mm512_loadu_si512(entries + 128), index, _mm512_loadu_si512(entries + 192));
      bytes = _mm512_mask_mov_epi8(bytes, inPage, _mm512_mask_blend_epi8(upperHalf, low, high));
      left &= ~inPage;
    }
    if (left != 0) break;
    _mm512_storeu_si512(destination + i, bytes);
  }
  return i;
}

}  // namespace glyphshift::engine::simd

#endif
