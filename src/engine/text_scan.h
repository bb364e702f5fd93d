// Scans that find the few places of a text a conversion must look at closely: bytes of a given
// set (binary data, undefined bytes, UTF-8 lead bytes of overlong forms), and UTF-16 units that
// are surrogates or given C0 controls. They run over every byte the conversion reads, so the
// vector paths do a 64-byte block in a handful of instructions; the plain loops in reference::
// define the answers, and every path gives the same ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/detection.h"

namespace glyphshift::engine {

// A byte set prepared for scanning: its tables are built once, for every scan of a conversion.
class CByteScanner {
 public:
  CByteScanner() noexcept : CByteScanner(ByteSet{}) {}
  explicit CByteScanner(const ByteSet& set) noexcept;
  // The index of the first byte of `data` whose value is in the set; `size` when there is none.
  std::size_t Find(const std::uint8_t* data, std::size_t size) const noexcept;
  const ByteSet& Set() const noexcept { return set_; }

  // For the vector kernels: bits[n][lo] has bit h set when 16 * (8 * n + h) + lo is in the set;
  // flags[v] is 1 when v is.
  struct Tables {
    alignas(64) std::uint8_t flags[256];
    alignas(16) std::uint8_t bits[2][16];
  };

 private:
  ByteSet set_;
  Tables tables_;
};

// The same in one call, for a set used once.
std::size_t FindByteInSet(const std::uint8_t* data, std::size_t size, const ByteSet& set) noexcept;

// The index of the first unit that is a surrogate (D800-DFFF) or a unit below 0x20 whose bit is
// set in `controls`; `count` when there is none.
std::size_t FindSpecialUnit(const char16_t* units, std::size_t count, std::uint32_t controls) noexcept;

namespace reference {
std::size_t FindByteInSet(const std::uint8_t* data, std::size_t size, const ByteSet& set) noexcept;
std::size_t FindSpecialUnit(const char16_t* units, std::size_t count, std::uint32_t controls) noexcept;
}  // namespace reference

namespace simd {
// Kernels for the paths CurrentCodecPath() allows: each returns the index of the first block
// that holds a hit, or the whole blocks it scanned; the caller finishes with the plain loop.
std::size_t FindByteInSetSsse3(const std::uint8_t* data, std::size_t size, const CByteScanner::Tables& set) noexcept;
std::size_t FindByteInSetAvx512(const std::uint8_t* data, std::size_t size, const CByteScanner::Tables& set) noexcept;
std::size_t FindSpecialUnitSse2(const char16_t* units, std::size_t count, std::uint32_t controls) noexcept;
std::size_t FindSpecialUnitAvx512(const char16_t* units, std::size_t count, std::uint32_t controls) noexcept;
}  // namespace simd

}  // namespace glyphshift::engine
