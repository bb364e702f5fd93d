// TransformNewLineCharacter: blocks of 8 units without CR or LF are copied whole; the units of
// any other block go through the same per-unit rules as the reference loop.
#include "engine/codec_path.h"
#include "engine/codec_support.h"
#include "engine/engine.h"
#include "engine/reference/reference.h"
#include "engine/simd/kernels.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace glyphshift::engine {
namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kLf = 0x000A;

// Handles the unit at `j` (a CR LF pair as one break), advancing `j` and the output count `i`.
template <bool kWrite>
inline void RewriteUnit(std::int32_t type, const char16_t* source, std::uint32_t units, std::uint32_t& j,
                        char16_t* destination, std::uint64_t& i) noexcept {
  const char16_t c = source[j++];
  if (c != kCr && c != kLf) {
    if constexpr (kWrite) destination[i] = c;
    ++i;
    return;
  }
  if (c == kCr && j < units && source[j] == kLf) ++j;
  if (type == LINEBREAK_DOS) {
    if constexpr (kWrite) {
      destination[i] = kCr;
      destination[i + 1] = kLf;
    }
    i += 2;
  } else if (type == LINEBREAK_UNIX || type == LINEBREAK_MAC) {
    if constexpr (kWrite) destination[i] = type == LINEBREAK_UNIX ? kLf : kCr;
    ++i;
  }
}

template <bool kWrite>
std::uint64_t RewriteLineBreaks(std::int32_t type, const char16_t* source, std::uint32_t units,
                                char16_t* destination) noexcept {
  std::uint64_t i = 0;
  std::uint32_t j = 0;
  while (j < units) {
#if defined(GLYPHSHIFT_HAVE_SSE2)
    if (units - j >= 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + j));
      const __m128i breaks =
          _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(kCr)), _mm_cmpeq_epi16(v, _mm_set1_epi16(kLf)));
      if (_mm_movemask_epi8(breaks) == 0) {
        if constexpr (kWrite) _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), v);
        j += 8;
        i += 8;
        continue;
      }
      const std::uint32_t blockEnd = j + 8;
      while (j < blockEnd) RewriteUnit<kWrite>(type, source, units, j, destination, i);
      continue;
    }
#endif
    RewriteUnit<kWrite>(type, source, units, j, destination, i);
  }
  return i;
}

}  // namespace

std::int32_t TransformLineBreaks(std::int32_t type, const char16_t* source, std::uint32_t sourceLength,
                                 char16_t* destination, std::uint32_t* destinationSize) noexcept {
  if (CurrentCodecPath() == CodecPath::kReference) {
    return reference::TransformLineBreaks(type, source, sourceLength, destination, destinationSize);
  }
  const std::uint32_t units = sourceLength / 2;
  if (destination == nullptr) {
    return ReportUtf16Size(CONVERT_OK, RewriteLineBreaks<false>(type, source, units, nullptr), destinationSize);
  }
  // Only DOS breaks grow the text, and only above 2 GiB can it outgrow a 32-bit count.
  if (type == LINEBREAK_DOS && sourceLength > kLargeInput &&
      RewriteLineBreaks<false>(type, source, units, nullptr) * 2 > kMaxReportableBytes) {
    *destinationSize = 0;  // no caller can hold this output: write nothing
    return CONVERT_BUFFER_TOO_SMALL;
  }
  *destinationSize = static_cast<std::uint32_t>(RewriteLineBreaks<true>(type, source, units, destination) * 2);
  return CONVERT_OK;
}

std::u16string WithUnixLineBreaks(std::u16string_view text) {
  const auto length = static_cast<std::uint32_t>(text.size() * 2);
  std::uint32_t size = 0;
  TransformLineBreaks(LINEBREAK_UNIX, text.data(), length, nullptr, &size);
  std::u16string unix(size / 2, u'\0');
  TransformLineBreaks(LINEBREAK_UNIX, text.data(), length, unix.data(), &size);
  unix.resize(size / 2);
  return unix;
}

}  // namespace glyphshift::engine
