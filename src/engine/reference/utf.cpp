#include <cstdint>

#include "engine/codec_support.h"
#include "engine/reference/reference.h"
#include "engine/utf8_steps.h"

namespace glyphshift::engine::reference {
namespace {

template <bool kConvert>
std::int32_t DecodeAll(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                       std::uint64_t& units, std::uint32_t* consumed = nullptr) noexcept {
  std::int32_t result = 0;
  std::uint32_t j = 0;
  units = 0;
  while (j < sourceLength) {
    if (!DecodeUtf8Character<kConvert>(source, sourceLength, j, destination, units, result)) break;
  }
  if (consumed) *consumed = j;
  return result;
}

}  // namespace

std::int32_t DecodeUtf8Prefix(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                              std::uint64_t& units, std::uint32_t& consumed) noexcept {
  return destination ? DecodeAll<true>(source, sourceLength, destination, units, &consumed)
                     : DecodeAll<false>(source, sourceLength, nullptr, units, &consumed);
}

std::int32_t ScanUtf8(const std::uint8_t* source, std::uint32_t sourceLength, std::uint64_t& units) noexcept {
  return DecodeAll<false>(source, sourceLength, nullptr, units);
}

std::int32_t Utf8ToUtf16(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                         std::uint32_t* destinationSize) noexcept {
  std::uint64_t units = 0;
  if (destination == nullptr) {
    const std::int32_t result = DecodeAll<false>(source, sourceLength, nullptr, units);
    return ReportUtf16Size(result, units, destinationSize);
  }
  if (sourceLength > kLargeInput && (ScanUtf8(source, sourceLength, units), units * 2 > kMaxReportableBytes)) {
    *destinationSize = 0;  // no caller can hold this output: write nothing
    return CONVERT_BUFFER_TOO_SMALL;
  }
  const std::int32_t result = DecodeAll<true>(source, sourceLength, destination, units);
  *destinationSize = static_cast<std::uint32_t>(units * 2);
  return result;
}

std::int32_t Utf16ToUtf8(const char16_t* source, std::uint32_t sourceLength, std::uint8_t* destination,
                         std::uint32_t* destinationSize) noexcept {
  const std::uint32_t units = sourceLength / 2;
  if (*destinationSize == 0) {
    std::uint64_t bytes = 0;
    for (std::uint32_t j = 0; j < units; ++j) bytes += Utf8QueryBytes(source[j]);
    return ReportByteCount(bytes, destinationSize);
  }
  const std::uint32_t capacity = *destinationSize;
  std::uint32_t out = 0;
  std::uint32_t j = 0;
  while (j < units) {
    if (!EncodeUtf8Character(source, units, j, destination, out, capacity)) {
      *destinationSize = out;
      return CONVERT_BUFFER_TOO_SMALL;
    }
  }
  *destinationSize = out;
  return CONVERT_OK;
}

std::int32_t SwapByteOrder(char16_t* data, std::uint32_t dataLength) noexcept {
  for (std::uint32_t i = 0; i < dataLength / 2; ++i) {
    data[i] = static_cast<char16_t>((data[i] >> 8) | (data[i] << 8));
  }
  return 1;
}

}  // namespace glyphshift::engine::reference
