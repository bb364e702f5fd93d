#include "engine/text_scan.h"

#include <bit>

#include "engine/codec_path.h"

namespace glyphshift::engine {

namespace reference {

std::size_t FindByteInSet(const std::uint8_t* data, std::size_t size, const ByteSet& set) noexcept {
  for (std::size_t i = 0; i < size; ++i) {
    if (set.Has(data[i])) return i;
  }
  return size;
}

std::size_t FindSpecialUnit(const char16_t* units, std::size_t count, std::uint32_t controls) noexcept {
  for (std::size_t i = 0; i < count; ++i) {
    const char16_t u = units[i];
    if ((u >= 0xD800 && u <= 0xDFFF) || (u < 0x20 && ((controls >> u) & 1u) != 0)) return i;
  }
  return count;
}

}  // namespace reference

CByteScanner::CByteScanner(const ByteSet& set) noexcept : set_(set), tables_{} {
  // Only the set's own bytes: a conversion builds several scanners per file, mostly of few bytes.
  for (unsigned word = 0; word < 4; ++word) {
    for (std::uint64_t bits = set.bits[word]; bits != 0; bits &= bits - 1) {
      const unsigned v = word * 64 + static_cast<unsigned>(std::countr_zero(bits));
      tables_.flags[v] = 1;
      tables_.bits[v >> 7][v & 15] |= static_cast<std::uint8_t>(1u << ((v >> 4) & 7));
    }
  }
}

std::size_t CByteScanner::Find(const std::uint8_t* data, std::size_t size) const noexcept {
  if (set_.Empty()) return size;
  std::size_t at = 0;
#if defined(__SSE2__)
  switch (CurrentCodecPath()) {
    case CodecPath::kAvx512: at = simd::FindByteInSetAvx512(data, size, tables_); break;
    case CodecPath::kSsse3: at = simd::FindByteInSetSsse3(data, size, tables_); break;
    default: break;
  }
#endif
  return at + reference::FindByteInSet(data + at, size - at, set_);
}

std::size_t FindByteInSet(const std::uint8_t* data, std::size_t size, const ByteSet& set) noexcept {
  return CByteScanner(set).Find(data, size);
}

std::size_t FindSpecialUnit(const char16_t* units, std::size_t count, std::uint32_t controls) noexcept {
  std::size_t at = 0;
#if defined(__SSE2__)
  switch (CurrentCodecPath()) {
    case CodecPath::kAvx512: at = simd::FindSpecialUnitAvx512(units, count, controls); break;
    case CodecPath::kSse2:
    case CodecPath::kSsse3: at = simd::FindSpecialUnitSse2(units, count, controls); break;
    default: break;
  }
#endif
  return at + reference::FindSpecialUnit(units + at, count - at, controls);
}

}  // namespace glyphshift::engine
