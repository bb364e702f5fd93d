// The AVX-512 UTF-8 kernels: 64-byte blocks classified with byte-mask compares, every unit
// assembled in place and the meaningful ones packed together by a compress, stored through a
// write mask so that nothing past a block's own output is touched.
#include "engine/simd/kernels.h"

#include "glyphshift/glyphshift.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
// GCC 12's AVX-512 headers start some intrinsics from an "undefined" register, which -O3 then
// reports as maybe-uninitialized in our code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "engine/simd/interleave_indexes.h"
#include "engine/simd/streamed_output.h"

#define GLYPHSHIFT_AVX512_UTF8 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2,lzcnt")))

namespace glyphshift::engine::simd {
namespace {

constexpr std::uint64_t kAll = ~std::uint64_t{0};

// The lowest `count` bits (count up to 64).
GLYPHSHIFT_AVX512_UTF8 inline std::uint64_t LowBits(unsigned count) {
  return count >= 64 ? kAll : (std::uint64_t{1} << count) - 1;
}

GLYPHSHIFT_AVX512_UTF8 inline unsigned Count(std::uint64_t bits) { return static_cast<unsigned>(_mm_popcnt_u64(bits)); }

GLYPHSHIFT_AVX512_UTF8 inline unsigned Lowest(std::uint64_t bits) { return static_cast<unsigned>(_tzcnt_u64(bits)); }

// The classes of a block's 64 bytes, one bit per byte.
struct ByteClasses {
  std::uint64_t continuation;  // 80..BF
  std::uint64_t leads;         // C0..EF: 2- and 3-byte leads
  std::uint64_t lead3;         // E0..EF
  std::uint64_t other;         // F0..FF: what only the per-character step judges
};

GLYPHSHIFT_AVX512_UTF8 inline ByteClasses Classify(__m512i in, std::uint64_t high) {
  const std::uint64_t geC0 = _mm512_cmpge_epu8_mask(in, _mm512_set1_epi8(static_cast<char>(0xC0)));
  const std::uint64_t geE0 = _mm512_cmpge_epu8_mask(in, _mm512_set1_epi8(static_cast<char>(0xE0)));
  const std::uint64_t geF0 = _mm512_cmpge_epu8_mask(in, _mm512_set1_epi8(static_cast<char>(0xF0)));
  return {high & ~geC0, geC0 & ~geF0, geE0 & ~geF0, geF0};
}

// Whether anything in the block is malformed or for the steps alone. Every continuation byte
// must be one a lead announced, and every announced one must be there: then the leads, their
// continuation bytes and the ASCII bytes tile the block exactly (an announced byte past the
// block's end is the next block's business).
GLYPHSHIFT_AVX512_UTF8 inline std::uint64_t BadBytes(const ByteClasses& c) {
  return c.other | (c.continuation ^ ((c.leads << 1) | (c.lead3 << 2)));
}

GLYPHSHIFT_AVX512_UTF8 inline bool Malformed(const ByteClasses& c) { return BadBytes(c) != 0; }

// How many of a malformed block's bytes hold only whole, well-formed 1- to 3-byte characters,
// counted from its start. The character that holds the first bad byte starts at the last
// character start before it (a stray continuation byte or a byte F0..FF starts one itself, and
// the steps take that one too).
GLYPHSHIFT_AVX512_UTF8 inline unsigned WellFormedPrefix(const ByteClasses& c) {
  const std::uint64_t startsBefore = ~c.continuation & LowBits(Lowest(BadBytes(c)));
  return startsBefore != 0 ? 63 - static_cast<unsigned>(_lzcnt_u64(startsBefore)) : 0;
}

// The unit each position would start, for 32 positions: ASCII as is, a 2- or 3-byte lead with
// the bytes after it. b1 and b2 are the bytes one and two further on.
GLYPHSHIFT_AVX512_UTF8 inline __m512i AssembleUnits(__m256i b0, __m256i b1, __m256i b2, std::uint32_t leads,
                                                    std::uint32_t lead3) {
  const __m512i u0 = _mm512_cvtepu8_epi16(b0);
  const __m512i low6 = _mm512_set1_epi16(0x3F);
  const __m512i u1 = _mm512_and_si512(_mm512_cvtepu8_epi16(b1), low6);
  const __m512i u2 = _mm512_and_si512(_mm512_cvtepu8_epi16(b2), low6);
  const __m512i two = _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(u0, _mm512_set1_epi16(0x1F)), 6), u1);
  // The 16-bit shift keeps only the lead's low four bits.
  const __m512i three = _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(u0, 12), _mm512_slli_epi16(u1, 6)), u2);
  const __m512i units = _mm512_mask_mov_epi16(u0, leads, two);
  return _mm512_mask_mov_epi16(units, lead3, three);
}

// 3-byte values a converting call replaces: surrogates and U+FFFE, U+FFFF.
GLYPHSHIFT_AVX512_UTF8 inline std::uint32_t Replaced(__m512i units, std::uint32_t lead3) {
  const __m512i offset = _mm512_sub_epi16(units, _mm512_set1_epi16(static_cast<short>(0xD800)));
  return _mm512_mask_cmplt_epu16_mask(lead3, offset, _mm512_set1_epi16(0x800)) |
         _mm512_mask_cmpge_epu16_mask(lead3, units, _mm512_set1_epi16(static_cast<short>(0xFFFE)));
}

// The units of a block's 64 positions, in two registers of 32; returns the positions of the
// 3-byte values a converting call replaces. (Blocks without 3-byte leads take TwoByteUnits.)
GLYPHSHIFT_AVX512_UTF8 inline std::uint64_t AssembleBlock(const std::uint8_t* source, __m512i in,
                                                          const ByteClasses& classes, __m512i& low, __m512i& upper) {
  const auto leadsLow = static_cast<std::uint32_t>(classes.leads);
  const auto leadsHigh = static_cast<std::uint32_t>(classes.leads >> 32);
  const __m512i in1 = _mm512_loadu_si512(source + 1);
  const auto lead3Low = static_cast<std::uint32_t>(classes.lead3);
  const auto lead3High = static_cast<std::uint32_t>(classes.lead3 >> 32);
  const __m512i in2 = _mm512_loadu_si512(source + 2);
  low = AssembleUnits(_mm512_castsi512_si256(in), _mm512_castsi512_si256(in1), _mm512_castsi512_si256(in2), leadsLow,
                      lead3Low);
  upper = AssembleUnits(_mm512_extracti64x4_epi64(in, 1), _mm512_extracti64x4_epi64(in1, 1),
                        _mm512_extracti64x4_epi64(in2, 1), leadsHigh, lead3High);
  return Replaced(low, lead3Low) | (std::uint64_t{Replaced(upper, lead3High)} << 32);
}

GLYPHSHIFT_AVX512_UTF8 inline void StoreUnits(char16_t* destination, __m512i units, std::uint32_t keep,
                                              unsigned count) {
  const __m512i packed = _mm512_maskz_compress_epi16(keep, units);
  _mm512_mask_storeu_epi16(destination, static_cast<__mmask32>(_bzhi_u32(~0u, count)), packed);
}

// A block without 3-byte leads (Latin, Cyrillic: a branch that text predicts well), decoded in
// bytes: each kept position's low and high unit byte, packed by two byte compresses and
// interleaved into units. On the 2-core development machine 64 MiB of Latin text went at 10.8
// GB/s this way, at 9.2 with every position widened to 16 bits first and the units compressed.
// Returns the units of the positions in `keep`, packed: the first 32 in `first`.
GLYPHSHIFT_AVX512_UTF8 inline __m512i TwoByteUnits(__m512i in, __m512i in1, std::uint64_t leads, std::uint64_t keep,
                                                   __m512i& first) {
  // A lead C0..DF and its continuation byte make the unit 00000aaa aabbbbbb; the 16-bit shifts
  // move only bits that stay within their byte.
  const __m512i lowOfPair =
      _mm512_ternarylogic_epi32(_mm512_slli_epi16(_mm512_and_si512(in, _mm512_set1_epi8(0x03)), 6), in1,
                                _mm512_set1_epi8(0x3F), 0xF8);  // a | (b & c)
  const __m512i lows = _mm512_mask_mov_epi8(in, leads, lowOfPair);
  const __m512i highs =
      _mm512_maskz_mov_epi8(leads, _mm512_srli_epi16(_mm512_and_si512(in, _mm512_set1_epi8(0x1C)), 2));
  const __m512i packedLows = _mm512_maskz_compress_epi8(keep, lows);
  const __m512i packedHighs = _mm512_maskz_compress_epi8(keep, highs);
  first = _mm512_permutex2var_epi8(packedLows, _mm512_load_si512(kInterleaved.bytes[0]), packedHighs);
  return _mm512_permutex2var_epi8(packedLows, _mm512_load_si512(kInterleaved.bytes[1]), packedHighs);
}

// Runs over this many input bytes and more write their output past the caches, which it would
// not fit in anyway: an ordinary store first reads its line from memory, which on the 2-core
// development machine held 64 MiB of Latin UTF-8 to UTF-16 at 3.7 GB/s against 5.7 streamed.
constexpr std::uint32_t kStreamingInput = 1u << 22;

// Bytes a converting decoder's block needs left: it reads two past itself.
constexpr std::uint32_t kConvertingMargin = 66;

// The destination written as the kernel goes: outputs that stay in the caches.
class CDirectOutput {
 public:
  explicit CDirectOutput(void* destination) : next_(static_cast<std::uint8_t*>(destination)) {}
  std::uint8_t* Next() { return next_; }
  void Advance(unsigned bytes) { next_ += bytes; }
  GLYPHSHIFT_AVX512_UTF8 void StoreUnits(__m512i first, __m512i second, unsigned count) {
    _mm512_mask_storeu_epi16(next_, static_cast<__mmask32>(_bzhi_u32(~0u, count)), first);
    _mm512_mask_storeu_epi16(next_ + 64, static_cast<__mmask32>(_bzhi_u32(~0u, count > 32 ? count - 32 : 0)), second);
    Advance(2 * count);
  }
  GLYPHSHIFT_AVX512_UTF8 void Store(__m512i bytes, unsigned count) {
    _mm512_mask_storeu_epi8(next_, LowBits(count), bytes);
    Advance(count);
  }
  void Finish() {}

 private:
  std::uint8_t* next_;
};

// DecodeUtf8BlocksAvx512 converting (kConvert) or counting, into `Output`.
template <bool kConvert, class Output>
GLYPHSHIFT_AVX512_UTF8 Utf8DecodeRun DecodeWellFormedBlocks(const std::uint8_t* source, std::uint32_t length,
                                                            char16_t* destination) noexcept {
  const std::uint32_t margin = kConvert ? kConvertingMargin : 64;
  std::uint32_t j = 0;
  std::uint64_t i = 0;
  std::uint64_t leadsSeen = 0;
  Output output(destination);
  while (length - j >= margin) {
    // Where the next block starts is known only once this one is classified, so without a
    // prefetch every block that misses the caches waits for the one before it.
    _mm_prefetch(reinterpret_cast<const char*>(source + j) + kInputPrefetchBytes, _MM_HINT_T0);
    const __m512i in = _mm512_loadu_si512(source + j);
    // No shortcut for ASCII blocks: on Latin text the branch would be mispredicted often.
    const std::uint64_t high = _mm512_movepi8_mask(in);
    // Where the next block starts when this one is well-formed, from two plain byte loads: the
    // next load then waits for those, not for the whole classification.
    const unsigned last = source[j + 63], beforeLast = source[j + 62];
    unsigned cut = last - 0xC0u < 0x30u ? 63 : beforeLast - 0xE0u < 0x10u ? 62 : 64;
    const ByteClasses classes = Classify(in, high);
    bool clean = true;
    if (Malformed(classes)) {
      cut = WellFormedPrefix(classes);
      clean = false;
    }
    if (kConvert && classes.lead3 == 0) {
      const std::uint64_t keep = ~classes.continuation & LowBits(cut);
      const unsigned count = Count(keep);
      __m512i first;
      const __m512i second = TwoByteUnits(in, _mm512_loadu_si512(source + j + 1), classes.leads, keep, first);
      output.StoreUnits(first, second, count);
      leadsSeen |= classes.leads & keep;
      i += count;
      j += cut;
      if (!clean) break;
      continue;
    }
    __m512i low = _mm512_setzero_si512(), upper = _mm512_setzero_si512();
    if constexpr (kConvert) {
      const std::uint64_t replaced = AssembleBlock(source + j, in, classes, low, upper) & LowBits(cut);
      if (replaced != 0) {
        cut = Lowest(replaced);  // the steps replace it; everything before it is whole
        clean = false;
      }
    }
    const std::uint64_t keep = ~classes.continuation & LowBits(cut);
    const auto keepLow = static_cast<std::uint32_t>(keep), keepHigh = static_cast<std::uint32_t>(keep >> 32);
    const unsigned countLow = Count(keepLow), countHigh = Count(keepHigh);
    if constexpr (kConvert) {
      auto* next = reinterpret_cast<char16_t*>(output.Next());
      StoreUnits(next, low, keepLow, countLow);
      StoreUnits(next + countLow, upper, keepHigh, countHigh);
      output.Advance(2 * (countLow + countHigh));
    }
    leadsSeen |= classes.leads & keep;
    i += countLow + countHigh;
    j += cut;
    if (!clean) break;
  }
  output.Finish();
  return {j, static_cast<std::uint32_t>(leadsSeen != 0), i};
}

}  // namespace

GLYPHSHIFT_AVX512_UTF8 Utf8DecodeRun DecodeUtf8BlocksAvx512(const std::uint8_t* source, std::uint32_t length,
                                                            char16_t* destination) noexcept {
  if (destination == nullptr) return DecodeWellFormedBlocks<false, CDirectOutput>(source, length, nullptr);
  if (length < kStreamingInput) return DecodeWellFormedBlocks<true, CDirectOutput>(source, length, destination);
  // Streaming pays only over long runs, and malformed text ends one every block or so (random
  // bytes decoded 20% slower): a run goes on streamed once its first 4 KiB were whole.
  constexpr std::uint32_t kTrialBytes = 4096;
  const Utf8DecodeRun trial = DecodeWellFormedBlocks<true, CDirectOutput>(source, kTrialBytes, destination);
  if (kTrialBytes - trial.consumed >= kConvertingMargin) return trial;  // stopped inside the trial
  const Utf8DecodeRun rest = DecodeWellFormedBlocks<true, CStreamedOutput>(
      source + trial.consumed, length - trial.consumed, destination + trial.units);
  return {trial.consumed + rest.consumed, trial.multibyte | rest.multibyte, trial.units + rest.units};
}

namespace {

// Every class the per-character step tells apart, one bit per byte of a block.
struct AllByteClasses {
  std::uint64_t continuation;         // 80..BF
  std::uint64_t lead2, lead3, lead4;  // C0..DF, E0..EF, F0..F7
  std::uint64_t atLeast[7];           // [n]: leads of forms of n bytes or more (n = 2..6)
  std::uint64_t never;                // FE, FF
};

GLYPHSHIFT_AVX512_UTF8 inline std::uint64_t AtLeast(__m512i in, int byte) {
  return _mm512_cmpge_epu8_mask(in, _mm512_set1_epi8(static_cast<char>(byte)));
}

GLYPHSHIFT_AVX512_UTF8 inline AllByteClasses ClassifyAll(__m512i in) {
  const std::uint64_t high = _mm512_movepi8_mask(in), geC0 = AtLeast(in, 0xC0), geE0 = AtLeast(in, 0xE0);
  const std::uint64_t geF0 = AtLeast(in, 0xF0), geF8 = AtLeast(in, 0xF8), geFC = AtLeast(in, 0xFC);
  const std::uint64_t geFE = AtLeast(in, 0xFE);
  AllByteClasses c{};
  c.continuation = high & ~geC0;
  c.lead2 = geC0 & ~geE0;
  c.lead3 = geE0 & ~geF0;
  c.lead4 = geF0 & ~geF8;
  c.atLeast[2] = geC0 & ~geFE;
  c.atLeast[3] = geE0 & ~geFE;
  c.atLeast[4] = geF0 & ~geFE;
  c.atLeast[5] = geF8 & ~geFE;
  c.atLeast[6] = geFC & ~geFE;
  c.never = geFE;
  return c;
}

// The units of half `kHalf` of a block for DecodeUtf8AnyBlocksAvx512: whole 2- and 3-byte forms
// assembled, U+FFFD for every malformed place and (converting) replaced value, which joins
// `errors`.
template <int kHalf>
GLYPHSHIFT_AVX512_UTF8 inline __m512i AnyUnits(__m512i in, __m512i in1, __m512i in2, std::uint64_t wholeLeads,
                                               std::uint64_t whole3, std::uint64_t keep, std::uint64_t& errors) {
  constexpr unsigned kShift = 32 * kHalf;
  const auto leadsHalf = static_cast<std::uint32_t>(wholeLeads >> kShift);
  const auto lead3Half = static_cast<std::uint32_t>(whole3 >> kShift);
  const __m512i units = AssembleUnits(_mm512_extracti64x4_epi64(in, kHalf), _mm512_extracti64x4_epi64(in1, kHalf),
                                      _mm512_extracti64x4_epi64(in2, kHalf), leadsHalf, lead3Half);
  const std::uint64_t replaced = (std::uint64_t{Replaced(units, lead3Half)} << kShift) & keep;
  errors |= replaced;
  return _mm512_mask_mov_epi16(units, static_cast<std::uint32_t>(errors >> kShift),
                               _mm512_set1_epi16(static_cast<short>(0xFFFD)));
}

}  // namespace

GLYPHSHIFT_AVX512_UTF8 Utf8DecodeRun DecodeUtf8AnyBlocksAvx512(const std::uint8_t* source, std::uint32_t length,
                                                               char16_t* destination, std::int32_t& result) noexcept {
  const std::uint32_t margin = destination != nullptr ? kConvertingMargin : 64;
  std::uint32_t j = 0;
  std::uint64_t i = 0;
  while (length - j >= margin) {
    _mm_prefetch(reinterpret_cast<const char*>(source + j) + kInputPrefetchBytes, _MM_HINT_T0);
    const __m512i in = _mm512_loadu_si512(source + j);
    const AllByteClasses c = ClassifyAll(in);
    // `run` marks continuation bytes ending a run of at least d of them. A lead of n bytes takes
    // the continuation bytes right after it, up to n - 1: the rest stand alone.
    std::uint64_t run = c.continuation, taken = 0;
    for (unsigned d = 1; d <= 5; ++d) {
      if (d > 1) run &= c.continuation << (d - 1);
      taken |= run & (c.atLeast[d + 1] << d);
    }
    const std::uint64_t run2 = c.continuation & (c.continuation >> 1);
    const std::uint64_t whole2 = c.lead2 & (c.continuation >> 1);
    const std::uint64_t whole3 = c.lead3 & (run2 >> 1);
    const std::uint64_t whole4 = c.lead4 & (run2 >> 1) & (c.continuation >> 3);
    // Leads whose form reaches past the block wait for the next one; whole 4-byte forms (a pair
    // of units) are the steps' business.
    std::uint64_t stop = whole4;
    for (unsigned n = 2; n <= 6; ++n) stop |= c.atLeast[n] & ~LowBits(65 - n);
    const unsigned cut = stop != 0 ? Lowest(stop) : 64;
    const std::uint64_t keep = ~taken & LowBits(cut);  // the characters' first bytes
    const std::uint64_t wholeLeads = whole2 | whole3;
    std::uint64_t errors = (c.never | (c.continuation & ~taken) | (c.atLeast[2] & ~wholeLeads)) & keep;
    std::uint64_t multibyte = wholeLeads & keep;
    if (destination != nullptr) {
      const __m512i in1 = _mm512_loadu_si512(source + j + 1), in2 = _mm512_loadu_si512(source + j + 2);
      const __m512i low = AnyUnits<0>(in, in1, in2, wholeLeads, whole3, keep, errors);
      const __m512i upper = AnyUnits<1>(in, in1, in2, wholeLeads, whole3, keep, errors);
      const auto keepLow = static_cast<std::uint32_t>(keep), keepHigh = static_cast<std::uint32_t>(keep >> 32);
      const unsigned countLow = Count(keepLow);
      StoreUnits(destination + i, low, keepLow, countLow);
      StoreUnits(destination + i + countLow, upper, keepHigh, Count(keepHigh));
    }
    // An error replaces the result; a well-formed multi-byte character after the last one sets
    // the flag again (a replaced value is an error, so never one of those).
    if (errors != 0) {
      const unsigned lastError = 63 - static_cast<unsigned>(_lzcnt_u64(errors));
      result = CONVERT_INVALID_INPUT;
      multibyte &= ~LowBits(lastError + 1);
    }
    if (multibyte != 0) result |= CONVERT_FLAG_MULTIBYTE;
    i += Count(keep);
    j += cut;
    if (errors == 0 || (cut < 64 && (whole4 & (std::uint64_t{1} << cut)) != 0)) break;
  }
  return {j, 0, i};
}

namespace {

// 16-bit lanes holding a unit's 1 or 2 UTF-8 bytes (units below 0x800; `ge80` marks those of 2).
GLYPHSHIFT_AVX512_UTF8 inline __m512i TwoByteLanes(__m512i v, std::uint32_t ge80) {
  const __m512i pairs = _mm512_or_si512(
      _mm512_or_si512(_mm512_srli_epi16(v, 6), _mm512_set1_epi16(0xC0)),
      _mm512_slli_epi16(_mm512_or_si512(_mm512_and_si512(v, _mm512_set1_epi16(0x3F)), _mm512_set1_epi16(0x80)), 8));
  return _mm512_mask_mov_epi16(v, ge80, pairs);
}

// The bytes of TwoByteLanes that count: every low byte, and the high bytes that are not zero
// (an ASCII lane's is, a 2-byte lane's holds 80..BF).
GLYPHSHIFT_AVX512_UTF8 inline std::uint64_t TwoByteKeep(__m512i lanes) {
  return 0x5555'5555'5555'5555ull | _mm512_test_epi8_mask(lanes, _mm512_set1_epi16(static_cast<short>(0xFF00)));
}

// 32-bit lanes holding a unit's 1, 2 or 3 UTF-8 bytes, and the mask of the bytes that count.
// A lane of `pairs` holds instead the 4 bytes of the pair its high surrogate (in `raw`, the
// unreplaced units) starts with the low one after it (in `next`, the units one further on); the
// lanes of `pairLows`, those low surrogates, keep nothing.
GLYPHSHIFT_AVX512_UTF8 inline __m512i EncodeWide(__m256i units, __m256i raw, __m256i next, std::uint16_t ge80,
                                                 std::uint16_t ge800, std::uint16_t pairs, std::uint16_t pairLows,
                                                 std::uint64_t& keep) {
  const __m512i w = _mm512_cvtepu16_epi32(units);
  const __m512i low6 = _mm512_set1_epi32(0x3F);
  const __m512i last = _mm512_or_si512(_mm512_and_si512(w, low6), _mm512_set1_epi32(0x80));
  const __m512i middle = _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(w, 6), low6), _mm512_set1_epi32(0x80));
  const __m512i two =
      _mm512_or_si512(_mm512_or_si512(_mm512_srli_epi32(w, 6), _mm512_set1_epi32(0xC0)), _mm512_slli_epi32(last, 8));
  const __m512i three = _mm512_or_si512(_mm512_or_si512(_mm512_srli_epi32(w, 12), _mm512_set1_epi32(0xE0)),
                                        _mm512_or_si512(_mm512_slli_epi32(middle, 8), _mm512_slli_epi32(last, 16)));
  // The first byte of every lane, the second of those at 0x80 and above, the third from 0x800.
  keep =
      0x1111'1111'1111'1111ull | _pdep_u64(ge80, 0x2222'2222'2222'2222ull) | _pdep_u64(ge800, 0x4444'4444'4444'4444ull);
  const __m512i wide = _mm512_mask_mov_epi32(_mm512_mask_mov_epi32(w, ge80, two), ge800, three);
  if ((pairs | pairLows) == 0) return wide;
  // 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00), in one shift and one addition.
  const __m512i c =
      _mm512_add_epi32(_mm512_add_epi32(_mm512_slli_epi32(_mm512_cvtepu16_epi32(raw), 10), _mm512_cvtepu16_epi32(next)),
                       _mm512_set1_epi32(0x10000 - (0xD800 << 10) - 0xDC00));
  const __m512i four = _mm512_or_si512(
      _mm512_or_si512(
          _mm512_or_si512(_mm512_srli_epi32(c, 18), _mm512_set1_epi32(0xF0)),
          _mm512_slli_epi32(_mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(c, 12), low6), _mm512_set1_epi32(0x80)),
                            8)),
      _mm512_or_si512(
          _mm512_slli_epi32(_mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(c, 6), low6), _mm512_set1_epi32(0x80)),
                            16),
          _mm512_slli_epi32(_mm512_or_si512(_mm512_and_si512(c, low6), _mm512_set1_epi32(0x80)), 24)));
  const std::uint64_t lowLanes = _pdep_u64(pairLows, 0x1111'1111'1111'1111ull);
  keep = (keep | _pdep_u64(pairs, 0x8888'8888'8888'8888ull)) & ~(lowLanes * 0xF);
  return _mm512_mask_mov_epi32(wide, pairs, four);
}

template <class Output>
GLYPHSHIFT_AVX512_UTF8 Utf8EncodeRun EncodeBlocks(const char16_t* source, std::uint32_t units,
                                                  std::uint8_t* destination, std::uint32_t capacity) noexcept {
  std::uint32_t j = 0, out = 0;
  Output output(destination);
  while (units - j >= 32) {
    _mm_prefetch(reinterpret_cast<const char*>(source + j) + kInputPrefetchBytes, _MM_HINT_T0);
    __m512i v = _mm512_loadu_si512(source + j);
    // ASCII takes the 2-byte way too: a branch on it would be mispredicted on Latin text.
    const std::uint32_t ge80 = _mm512_cmpge_epu16_mask(v, _mm512_set1_epi16(0x80));
    const std::uint32_t ge800 = _mm512_cmpge_epu16_mask(v, _mm512_set1_epi16(0x800));
    if (ge800 == 0) {
      // Below U+0800, so no surrogate either: Latin and Cyrillic text, by the shortest way.
      const __m512i lanes = TwoByteLanes(v, ge80);
      const unsigned count = 32 + Count(ge80);
      if (count > capacity - out) break;
      output.Store(_mm512_maskz_compress_epi8(TwoByteKeep(lanes), lanes), count);
      out += count;
      j += 32;
      continue;
    }
    // As the per-character step makes them: a high surrogate and the low one after it are one
    // 4-byte character, every other surrogate stands alone and becomes U+FFFD. A pair that the
    // block's end cuts waits for the next block, which then starts with it; the unit after the
    // last is not there at the input's end. No branch on surrogates being there: in random
    // units two blocks in three hold one, and the mispredictions cost more than this.
    const __m512i raw = v;
    const __m512i offset = _mm512_sub_epi16(v, _mm512_set1_epi16(static_cast<short>(0xD800)));
    const std::uint32_t surrogates = _mm512_cmplt_epu16_mask(offset, _mm512_set1_epi16(0x800));
    const std::uint32_t highs = _mm512_cmplt_epu16_mask(offset, _mm512_set1_epi16(0x400));
    const __m512i after = _mm512_maskz_loadu_epi16(units - j > 32 ? ~0u : 0x7FFF'FFFFu, source + j + 1);
    const __m512i afterOffset = _mm512_sub_epi16(after, _mm512_set1_epi16(static_cast<short>(0xDC00)));
    std::uint32_t pairs = highs & _mm512_cmplt_epu16_mask(afterOffset, _mm512_set1_epi16(0x400));
    unsigned taken = 32;
    if ((pairs >> 31) != 0) {
      taken = 31;
      pairs &= 0x7FFF'FFFFu;
    }
    v = _mm512_mask_mov_epi16(v, surrogates, _mm512_set1_epi16(static_cast<short>(0xFFFD)));
    const auto takenLanes = static_cast<std::uint32_t>(LowBits(taken));
    if ((ge800 & takenLanes) == 0) {
      const __m512i lanes = TwoByteLanes(v, ge80);
      const std::uint64_t keep = TwoByteKeep(lanes) & LowBits(2 * taken);
      const unsigned count = Count(keep);
      if (count > capacity - out) break;
      output.Store(_mm512_maskz_compress_epi8(keep, lanes), count);
      out += count;
    } else {
      std::uint64_t keepLow = 0, keepHigh = 0;
      const __m512i low =
          EncodeWide(_mm512_castsi512_si256(v), _mm512_castsi512_si256(raw), _mm512_castsi512_si256(after),
                     static_cast<std::uint16_t>(ge80), static_cast<std::uint16_t>(ge800),
                     static_cast<std::uint16_t>(pairs), static_cast<std::uint16_t>(pairs << 1), keepLow);
      const __m512i upper = EncodeWide(_mm512_extracti64x4_epi64(v, 1), _mm512_extracti64x4_epi64(raw, 1),
                                       _mm512_extracti64x4_epi64(after, 1), static_cast<std::uint16_t>(ge80 >> 16),
                                       static_cast<std::uint16_t>(ge800 >> 16), static_cast<std::uint16_t>(pairs >> 16),
                                       static_cast<std::uint16_t>(pairs >> 15), keepHigh);
      keepLow &= LowBits(4 * taken);
      keepHigh &= taken > 16 ? LowBits(4 * (taken - 16)) : 0;
      const unsigned countLow = Count(keepLow), countHigh = Count(keepHigh);
      if (countLow + countHigh > capacity - out) break;
      output.Store(_mm512_maskz_compress_epi8(keepLow, low), countLow);
      output.Store(_mm512_maskz_compress_epi8(keepHigh, upper), countHigh);
      out += countLow + countHigh;
    }
    j += taken;
  }
  output.Finish();
  return {j, out};
}

}  // namespace

GLYPHSHIFT_AVX512_UTF8 Utf8EncodeRun EncodeUtf8BlocksAvx512(const char16_t* source, std::uint32_t units,
                                                            std::uint8_t* destination,
                                                            std::uint32_t capacity) noexcept {
  if (units >= kStreamingInput / 2) return EncodeBlocks<CStreamedOutput>(source, units, destination, capacity);
  return EncodeBlocks<CDirectOutput>(source, units, destination, capacity);
}

}  // namespace glyphshift::engine::simd

#endif
