// UTF-16 to UTF-8. Vector code counts the size query and encodes blocks of ASCII, of units
// below 0x800 (SSSE3), or of any units (AVX-512); every other character goes through the
// reference loop's per-character step.
#include <algorithm>

#include "engine/codec_path.h"
#include "engine/codec_support.h"
#include "engine/engine.h"
#include "engine/reference/reference.h"
#include "engine/simd/kernels.h"
#include "engine/utf8_steps.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace glyphshift::engine {
namespace {

#if defined(GLYPHSHIFT_HAVE_SSE2)
inline __m128i Load8(const char16_t* p) noexcept { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// All-ones lanes where the unit is below `limit` + 1 (an unsigned compare SSE2 lacks).
inline __m128i AtMost(__m128i v, short limit) noexcept {
  return _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(limit)), _mm_setzero_si128());
}

inline bool AllAscii(__m128i v) noexcept { return _mm_movemask_epi8(AtMost(v, 0x7F)) == 0xFFFF; }
#endif

// The size query: 1, 2 or 3 bytes per unit, 4 for every surrogate.
std::uint64_t CountUtf8Bytes(const char16_t* source, std::uint32_t units) noexcept {
  std::uint64_t bytes = 0;
  std::uint32_t j = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  // Per lane: 3 + (below 0x80 ? -1 : 0) + (below 0x800 ? -1 : 0) - (surrogate ? -1 : 0). Lanes
  // move by at most 2 per block, so folding every 8192 blocks keeps them inside 16 bits.
  constexpr std::uint32_t kBlocksPerFold = 8192;
  while (units - j >= 8) {
    __m128i lanes = _mm_setzero_si128();
    std::uint32_t blocks = 0;
    for (; blocks < kBlocksPerFold && units - j >= 8; ++blocks, j += 8) {
      const __m128i v = Load8(source + j);
      const __m128i surrogate = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800))),
                                                _mm_set1_epi16(static_cast<short>(0xD800)));
      lanes = _mm_add_epi16(lanes, _mm_add_epi16(AtMost(v, 0x7F), AtMost(v, 0x7FF)));
      lanes = _mm_sub_epi16(lanes, surrogate);
    }
    alignas(16) std::int32_t sums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums), _mm_madd_epi16(lanes, _mm_set1_epi16(1)));
    const std::int64_t adjust = std::int64_t{sums[0]} + sums[1] + sums[2] + sums[3];
    bytes += static_cast<std::uint64_t>(std::int64_t{blocks} * 24 + adjust);
  }
#endif
  for (; j < units; ++j) bytes += Utf8QueryBytes(source[j]);
  return bytes;
}

// The plain steps from unit `j` until `end` (a pair may carry `j` past it); false, with `out`
// on the last whole character, when the next one does not fit. As tight as the reference loop:
// text the vector code refuses throughout spends its time here.
inline bool EncodeSteps(const char16_t* source, std::uint32_t units, std::uint32_t& j, std::uint32_t end,
                        std::uint8_t* destination, std::uint32_t& out, std::uint32_t capacity) noexcept {
  while (j < end) {
    if (!EncodeUtf8Character(source, units, j, destination, out, capacity)) return false;
  }
  return true;
}

// AVX-512: the kernel takes whole blocks, the steps what it leaves: the last units, or from a
// block that does not fit, the characters that still do.
std::int32_t EncodeAvx512(const char16_t* source, std::uint32_t units, std::uint8_t* destination,
                          std::uint32_t* destinationSize) noexcept {
  const std::uint32_t capacity = *destinationSize;
  std::uint32_t j = 0;
  std::uint32_t out = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  if (units >= 32) {
    const simd::Utf8EncodeRun run = simd::EncodeUtf8BlocksAvx512(source, units, destination, capacity);
    j = run.consumed;
    out = run.written;
  }
#endif
  const bool fits = EncodeSteps(source, units, j, units, destination, out, capacity);
  *destinationSize = out;
  return fits ? CONVERT_OK : CONVERT_BUFFER_TOO_SMALL;
}

// Converting: runs of vector blocks (see EncodeUtf8TwoByteBlocks for the room they need),
// and the steps for everything else, over doubling spans while the vector code keeps refusing.
std::int32_t EncodeVector(const char16_t* source, std::uint32_t units, std::uint8_t* destination,
                          std::uint32_t* destinationSize, bool shuffles) noexcept {
  const std::uint32_t capacity = *destinationSize;
  std::uint32_t j = 0;
  std::uint32_t out = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  std::uint32_t stepSpan = 8;
  while (units - j >= 16 && capacity - out >= 19) {
    if (shuffles) {
      const simd::Utf8EncodeRun run =
          simd::EncodeUtf8TwoByteBlocks(source + j, units - j, destination + out, capacity - out);
      j += run.consumed;
      out += run.written;
      if (units - j < 16 || capacity - out < 19) break;  // the rest is for the steps below
      stepSpan = run.consumed != 0 ? 8 : std::min(2 * stepSpan, 4096u);
    } else {
      const __m128i a = Load8(source + j);
      const __m128i b = Load8(source + j + 8);
      if (AllAscii(_mm_or_si128(a, b))) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + out), _mm_packus_epi16(a, b));
        j += 16;
        out += 16;
        stepSpan = 8;
        continue;
      }
      stepSpan = std::min(2 * stepSpan, 4096u);
    }
    if (!EncodeSteps(source, units, j, j + std::min(stepSpan, units - j), destination, out, capacity)) {
      *destinationSize = out;
      return CONVERT_BUFFER_TOO_SMALL;
    }
  }
#else
  (void)shuffles;
#endif
  const bool fits = EncodeSteps(source, units, j, units, destination, out, capacity);
  *destinationSize = out;
  return fits ? CONVERT_OK : CONVERT_BUFFER_TOO_SMALL;
}

}  // namespace

std::int32_t Utf16ToUtf8(const char16_t* source, std::uint32_t sourceLength, std::uint8_t* destination,
                         std::uint32_t* destinationSize) noexcept {
  const CodecPath path = CurrentCodecPath();
  if (path == CodecPath::kReference) {
    return reference::Utf16ToUtf8(source, sourceLength, destination, destinationSize);
  }
  if (*destinationSize == 0) return ReportByteCount(CountUtf8Bytes(source, sourceLength / 2), destinationSize);
  if (path == CodecPath::kAvx512) return EncodeAvx512(source, sourceLength / 2, destination, destinationSize);
  return EncodeVector(source, sourceLength / 2, destination, destinationSize, path >= CodecPath::kSsse3);
}

}  // namespace glyphshift::engine
