// UTF-8 to UTF-16. Blocks that hold only ASCII and complete 2-byte sequences (16 bytes, SSSE3),
// or also 3-byte ones (64 bytes, AVX-512), go through vector code; every other character goes
// through the same per-character step as the reference loop, so malformed input is always
// judged by the one definition.
#include "engine/utf8_decoder.h"

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

// A 2-byte block stores up to 5 meaningless units past its output. Converting, we enter a block
// only with 64 bytes left, whose decoding yields at least 8 more units (a character takes at
// most 6 bytes, and only a final truncated one of at most 5 yields nothing) to overwrite them.
constexpr std::uint32_t kConvertBlockMargin = 64;
constexpr std::uint32_t kQueryBlockMargin = 17;  // the block reads one byte past itself

// The plain steps from `j` until `end` (a character may carry `j` past it). False when decoding
// ends, or with kStop when an error has been met (checked once per span: the failure bit, once
// set, stays). As tight as the reference loop: text the vector code refuses throughout (random
// bytes, CJK without AVX-512) spends its time here.
template <bool kConvert, bool kStop>
inline bool DecodeSteps(const std::uint8_t* source, std::uint32_t sourceLength, std::uint32_t& j, std::uint32_t end,
                        char16_t* destination, std::uint64_t& i, std::int32_t& result) noexcept {
  while (j < end) {
    if (!DecodeUtf8Character<kConvert>(source, sourceLength, j, destination, i, result)) return false;
  }
  return !(kStop && result < 0);
}

// AVX-512: one kernel takes runs of whole 1- to 3-byte characters, the other blocks with
// malformed places; the steps take only whole 4-byte forms and the last bytes.
template <bool kConvert, bool kStop>
std::int32_t DecodeAvx512(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                          std::uint64_t& units, std::uint32_t& consumed) noexcept {
  std::int32_t result = 0;
  std::uint32_t j = 0;
  std::uint64_t i = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  const std::uint32_t margin = kConvert ? 66 : 64;
  while (sourceLength - j >= margin) {
    const simd::Utf8DecodeRun run =
        simd::DecodeUtf8BlocksAvx512(source + j, sourceLength - j, kConvert ? destination + i : nullptr);
    j += run.consumed;
    i += run.units;
    if (run.multibyte != 0) result |= CONVERT_FLAG_MULTIBYTE;
    if (sourceLength - j < margin) break;  // the rest is for the steps below
    const simd::Utf8DecodeRun any =
        simd::DecodeUtf8AnyBlocksAvx512(source + j, sourceLength - j, kConvert ? destination + i : nullptr, result);
    j += any.consumed;
    i += any.units;
    if (kStop && result < 0) {
      units = i;
      consumed = j;
      return result;
    }
    if (sourceLength - j < margin) break;
    if (run.consumed == 0 && any.consumed == 0) {
      // A whole 4-byte form: the step makes its pair.
      if (!DecodeSteps<kConvert, kStop>(source, sourceLength, j, j + 1, destination, i, result)) {
        units = i;
        consumed = j;
        return result;
      }
    }
  }
#endif
  DecodeSteps<kConvert, kStop>(source, sourceLength, j, sourceLength, destination, i, result);
  units = i;
  consumed = j;
  return result;
}

template <bool kConvert, bool kStop>
std::int32_t DecodeVector(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                          std::uint64_t& units, std::uint32_t& consumed, bool shuffles) noexcept {
  std::int32_t result = 0;
  std::uint32_t j = 0;
  std::uint64_t i = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  const std::uint32_t margin = kConvert ? kConvertBlockMargin : kQueryBlockMargin;
  // Bytes to take by the steps after a block the vector code refused: doubled while it keeps
  // refusing (CJK, random bytes), so such text pays little for the tries; 16 after a success.
  std::uint32_t stepSpan = 16;
  while (sourceLength - j >= margin) {
    if (shuffles) {
      const simd::Utf8DecodeRun run =
          simd::DecodeUtf8TwoByteBlocks(source + j, sourceLength - j, margin, kConvert ? destination + i : nullptr);
      j += run.consumed;
      i += run.units;
      if (run.multibyte != 0) result |= CONVERT_FLAG_MULTIBYTE;
      if (sourceLength - j < margin) break;  // the rest is for the steps below
      stepSpan = run.consumed != 0 ? 16 : std::min(2 * stepSpan, 4096u);
    } else {
      const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + j));
      if (_mm_movemask_epi8(in) == 0) {
        if constexpr (kConvert) {
          const __m128i zero = _mm_setzero_si128();
          _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), _mm_unpacklo_epi8(in, zero));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 8), _mm_unpackhi_epi8(in, zero));
        }
        j += 16;
        i += 16;
        stepSpan = 16;
        continue;
      }
      stepSpan = std::min(2 * stepSpan, 4096u);
    }
    // Bytes the vector code does not take: their characters one by one, then try again.
    const std::uint32_t stepEnd = j + std::min(stepSpan, sourceLength - j);
    if (!DecodeSteps<kConvert, kStop>(source, sourceLength, j, stepEnd, destination, i, result)) {
      units = i;
      consumed = j;
      return result;
    }
  }
#else
  (void)shuffles;
#endif
  DecodeSteps<kConvert, kStop>(source, sourceLength, j, sourceLength, destination, i, result);
  units = i;
  consumed = j;
  return result;
}

}  // namespace

std::int32_t DecodeUtf8(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                        std::uint64_t& units, bool stopAtError, std::uint32_t* consumed) noexcept {
  std::uint32_t decoded = 0;
  std::int32_t result = 0;
  const CodecPath path = CurrentCodecPath();
  if (path == CodecPath::kReference) {
    result = reference::DecodeUtf8Prefix(source, sourceLength, destination, units, decoded);
  } else if (path == CodecPath::kAvx512) {
    if (destination != nullptr) {
      result = stopAtError ? DecodeAvx512<true, true>(source, sourceLength, destination, units, decoded)
                           : DecodeAvx512<true, false>(source, sourceLength, destination, units, decoded);
    } else {
      result = stopAtError ? DecodeAvx512<false, true>(source, sourceLength, nullptr, units, decoded)
                           : DecodeAvx512<false, false>(source, sourceLength, nullptr, units, decoded);
    }
  } else {
    const bool shuffles = path >= CodecPath::kSsse3;
    if (destination != nullptr) {
      result = stopAtError ? DecodeVector<true, true>(source, sourceLength, destination, units, decoded, shuffles)
                           : DecodeVector<true, false>(source, sourceLength, destination, units, decoded, shuffles);
    } else {
      result = stopAtError ? DecodeVector<false, true>(source, sourceLength, nullptr, units, decoded, shuffles)
                           : DecodeVector<false, false>(source, sourceLength, nullptr, units, decoded, shuffles);
    }
  }
  if (consumed) *consumed = decoded;
  return result;
}

std::int32_t Utf8ToUtf16(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                         std::uint32_t* destinationSize) noexcept {
  if (CurrentCodecPath() == CodecPath::kReference) {
    return reference::Utf8ToUtf16(source, sourceLength, destination, destinationSize);
  }
  std::uint64_t units = 0;
  if (destination == nullptr) {
    const std::int32_t result = DecodeUtf8(source, sourceLength, nullptr, units, false);
    return ReportUtf16Size(result, units, destinationSize);
  }
  if (sourceLength > kLargeInput) {
    DecodeUtf8(source, sourceLength, nullptr, units, false);
    if (units * 2 > kMaxReportableBytes) {
      *destinationSize = 0;  // no caller can hold this output: write nothing
      return CONVERT_BUFFER_TOO_SMALL;
    }
  }
  const std::int32_t result = DecodeUtf8(source, sourceLength, destination, units, false);
  *destinationSize = static_cast<std::uint32_t>(units * 2);
  return result;
}

}  // namespace glyphshift::engine
