// Small helpers every codec shares.
#pragma once

#include <cstdint>
#include <cstring>

#include "glyphshift/glyphshift.h"

namespace glyphshift::engine {

inline constexpr char16_t kReplacementCharacter = 0xFFFD;

// The bits of a result that tell of a failure: the high bit and the low 16 bits of the codes.
inline constexpr std::int32_t kConvertFailureBits = static_cast<std::int32_t>(0x8000FFFF);

// Sizes travel in 32-bit out-parameters. A size query whose answer would not fit reports
// 0xFFFFFFFF with CONVERT_BUFFER_TOO_SMALL rather than a wrapped, too small count.
inline constexpr std::uint64_t kMaxReportableBytes = 0xFFFFFFFFull;

// Puts a byte count into a 32-bit out-parameter, or reports that it does not fit.
inline std::int32_t ReportByteCount(std::uint64_t bytes, std::uint32_t* destinationSize) noexcept {
  if (bytes > kMaxReportableBytes) {
    *destinationSize = static_cast<std::uint32_t>(kMaxReportableBytes);
    return CONVERT_BUFFER_TOO_SMALL;
  }
  *destinationSize = static_cast<std::uint32_t>(bytes);
  return CONVERT_OK;
}

// The same for a count of UTF-16 units, keeping `result` when the count fits.
inline std::int32_t ReportUtf16Size(std::int32_t result, std::uint64_t units, std::uint32_t* destinationSize) noexcept {
  return ReportByteCount(units * 2, destinationSize) == CONVERT_OK ? result : CONVERT_BUFFER_TOO_SMALL;
}

// Below 2 GiB of input no UTF-16 output of ours can reach 4 GiB, so the count checks that
// protect converting calls without a capacity are needed only above it.
inline constexpr std::uint32_t kLargeInput = 0x7FFFFFFF;

inline std::uint64_t LoadWord(const void* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);  // unaligned-safe load
  return word;
}

inline void StoreWord(void* p, std::uint64_t word) noexcept { std::memcpy(p, &word, sizeof word); }

// Eight bytes below 0x80.
inline bool IsAsciiWord(std::uint64_t word) noexcept { return (word & 0x8080'8080'8080'8080ull) == 0; }

}  // namespace glyphshift::engine
