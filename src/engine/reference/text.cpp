#include <cstdint>

#include "engine/codec_support.h"
#include "engine/mapping_table.h"
#include "engine/reference/reference.h"

namespace glyphshift::engine::reference {
namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kLf = 0x000A;

template <bool kWrite>
std::uint64_t RewriteLineBreaks(std::int32_t type, const char16_t* source, std::uint32_t units,
                                char16_t* destination) noexcept {
  std::uint64_t i = 0;
  for (std::uint32_t j = 0; j < units; ++j) {
    const char16_t c = source[j];
    if (c != kCr && c != kLf) {
      if constexpr (kWrite) destination[i] = c;
      ++i;
      continue;
    }
    if (c == kCr && j + 1 < units && source[j + 1] == kLf) ++j;  // CR LF is one break
    if (type == LINEBREAK_DOS) {
      if constexpr (kWrite) destination[i] = kCr, destination[i + 1] = kLf;
      i += 2;
    } else if (type == LINEBREAK_UNIX || type == LINEBREAK_MAC) {
      if constexpr (kWrite) destination[i] = type == LINEBREAK_UNIX ? kLf : kCr;
      i += 1;
    }
  }
  return i;
}

}  // namespace

std::int32_t TransformLineBreaks(std::int32_t type, const char16_t* source, std::uint32_t sourceLength,
                                 char16_t* destination, std::uint32_t* destinationSize) noexcept {
  const std::uint32_t units = sourceLength / 2;
  const std::uint64_t query = destination == nullptr || (type == LINEBREAK_DOS && sourceLength > kLargeInput)
                                  ? RewriteLineBreaks<false>(type, source, units, nullptr)
                                  : 0;
  if (destination == nullptr) return ReportUtf16Size(CONVERT_OK, query, destinationSize);
  if (query * 2 > kMaxReportableBytes) {
    *destinationSize = 0;  // no caller can hold this output: write nothing
    return CONVERT_BUFFER_TOO_SMALL;
  }
  *destinationSize = static_cast<std::uint32_t>(RewriteLineBreaks<true>(type, source, units, destination) * 2);
  return CONVERT_OK;
}

CharsetCode DetectCharset(const std::uint8_t* data, std::uint32_t dataLength) noexcept {
  if (dataLength < 3) return 0;
  const std::uint8_t b0 = data[0], b1 = data[1], b2 = data[2];
  if (b0 == 0xFE && b1 == 0xFF) return CHARSET_UTF16BE;
  if (b0 == 0xFF && b1 == 0xFE) return CHARSET_UTF16;
  if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) return CHARSET_UTF8;
  if (b0 != 0 && b1 == 0) return CHARSET_UTF16;
  if (b0 == 0 && b1 != 0) return CHARSET_UTF16BE;
  std::uint64_t units = 0;
  const std::int32_t result = ScanUtf8(data, dataLength, units);
  if ((result & kConvertFailureBits) == 0 && (result & CONVERT_FLAG_MULTIBYTE) != 0) {
    return CHARSET_UTF8;
  }
  for (CharsetCode code = 0; code < kSingleByteTableCount; ++code) {
    const char16_t* table = kMappingTables[code].units;
    std::uint32_t i = 0;
    while (i < dataLength && table[data[i]] != kMappingUndefined) ++i;
    if (i == dataLength) return code;
  }
  return 0;  // not reached: code 0 defines every byte value
}

}  // namespace glyphshift::engine::reference
