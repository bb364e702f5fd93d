// TransformEndianess: swaps the two bytes of every whole unit in place.
#include "engine/codec_path.h"
#include "engine/engine.h"
#include "engine/reference/reference.h"
#include "engine/simd/kernels.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace glyphshift::engine {

#if defined(GLYPHSHIFT_HAVE_SSE2)
namespace {
inline void SwapEight(char16_t* units) noexcept {
  auto* p = reinterpret_cast<__m128i*>(units);
  const __m128i v = _mm_loadu_si128(p);
  _mm_storeu_si128(p, _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)));
}
}  // namespace
#endif

std::int32_t SwapByteOrder(char16_t* data, std::uint32_t dataLength) noexcept {
  if (CurrentCodecPath() == CodecPath::kReference) return reference::SwapByteOrder(data, dataLength);
  const std::uint32_t units = dataLength / 2;
  std::uint32_t i = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  for (; units - i >= 32; i += 32) {
    // A line at a time, prefetched: see kInputPrefetchBytes.
    _mm_prefetch(reinterpret_cast<const char*>(data + i) + simd::kInputPrefetchBytes, _MM_HINT_T0);
    for (std::uint32_t k = i; k < i + 32; k += 8) SwapEight(data + k);
  }
  for (; units - i >= 8; i += 8) SwapEight(data + i);
#endif
  for (; i < units; ++i) data[i] = static_cast<char16_t>((data[i] >> 8) | (data[i] << 8));
  return 1;
}

}  // namespace glyphshift::engine
