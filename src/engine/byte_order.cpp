// TransformEndianess: swaps the two bytes of every whole unit in place.
#include "engine/codec_path.h"
#include "engine/engine.h"
#include "engine/reference/reference.h"
#include "engine/simd/kernels.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace glyphshift::engine {

std::int32_t SwapByteOrder(char16_t* data, std::uint32_t dataLength) noexcept {
  if (CurrentCodecPath() == CodecPath::kReference) return reference::SwapByteOrder(data, dataLength);
  const std::uint32_t units = dataLength / 2;
  std::uint32_t i = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  for (; units - i >= 8; i += 8) {
    auto* p = reinterpret_cast<__m128i*>(data + i);
    const __m128i v = _mm_loadu_si128(p);
    _mm_storeu_si128(p, _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)));
  }
#endif
  for (; i < units; ++i) data[i] = static_cast<char16_t>((data[i] >> 8) | (data[i] << 8));
  return 1;
}

}  // namespace glyphshift::engine
