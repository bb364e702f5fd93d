// Permute indexes shared by the AVX-512 kernels.
#pragma once

#include <cstdint>

namespace glyphshift::engine::simd {

// Byte k of a pair of registers (a, b), interleaved: as permute indexes, a[32h + k] then
// b[32h + k] for k = 0..31 in bytes[h]. Low and high bytes of units, or a character's tail bytes.
struct InterleaveIndexes {
  alignas(64) std::uint8_t bytes[2][64];
};
inline constexpr InterleaveIndexes kInterleaved = [] {
  InterleaveIndexes indexes{};
  for (unsigned half = 0; half < 2; ++half) {
    for (unsigned k = 0; k < 32; ++k) {
      indexes.bytes[half][2 * k] = static_cast<std::uint8_t>(32 * half + k);
      indexes.bytes[half][2 * k + 1] = static_cast<std::uint8_t>(64 + 32 * half + k);
    }
  }
  return indexes;
}();

}  // namespace glyphshift::engine::simd
