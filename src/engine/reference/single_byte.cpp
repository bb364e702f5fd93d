#include <cstdint>

#include "engine/codec_path.h"
#include "engine/codec_support.h"
#include "engine/mapping_table.h"
#include "engine/reference/reference.h"
#include "engine/reverse_table.h"
#include "engine/utf8_steps.h"

namespace glyphshift::engine::reference {

std::int32_t SingleByteToUtf16(CharsetCode code, const std::uint8_t* source, std::uint32_t sourceLength,
                               char16_t* destination, std::uint32_t* destinationSize) noexcept {
  if (*destinationSize == 0) {
    const std::uint64_t needed = std::uint64_t{sourceLength} * 2;
    if (needed > kMaxReportableBytes) {
      *destinationSize = static_cast<std::uint32_t>(kMaxReportableBytes);
      return CONVERT_BUFFER_TOO_SMALL;
    }
    *destinationSize = static_cast<std::uint32_t>(needed);
    return CONVERT_OK;
  }
  const std::uint64_t capacity = *destinationSize;
  const char16_t* units = kMappingTables[code].units;
  std::int32_t result = CONVERT_OK;
  for (std::uint32_t i = 0; i < sourceLength; ++i) {
    if (2 * (std::uint64_t{i} + 1) > capacity) return CONVERT_BUFFER_TOO_SMALL;
    const char16_t unit = units[source[i]];
    destination[i] = unit;
    if (unit == kMappingUndefined) result = CONVERT_INVALID_INPUT;
  }
  return result;
}

std::int32_t Utf16ToSingleByte(CharsetCode code, const char16_t* source, std::uint32_t sourceLength,
                               std::uint8_t* destination, std::uint32_t* destinationSize) noexcept {
  const std::uint32_t units = sourceLength / 2;
  if (destination == nullptr) {
    *destinationSize = units;
    return CONVERT_OK;
  }
  const MappingTable& table = kMappingTables[code];
  auto* reverse = static_cast<std::uint8_t*>(AllocateReverseTable(kReverseTableSize));
  if (reverse != nullptr) FillReverseTable(table, reverse);
  const std::uint32_t capacity = *destinationSize;
  std::int32_t result = CONVERT_OK;
  for (std::uint32_t i = 0; i < units; ++i) {
    if (i >= capacity) {
      result = CONVERT_BUFFER_TOO_SMALL;
      break;
    }
    if (reverse != nullptr) {
      destination[i] = reverse[source[i]];
    } else {
      // Without the table: the highest byte value whose entry is the unit, else 0x3F.
      std::uint8_t byte = kUnmappableByte;
      for (int b = 255; b >= 0; --b) {
        if (table.units[b] == source[i]) {
          byte = static_cast<std::uint8_t>(b);
          break;
        }
      }
      destination[i] = byte;
    }
  }
  if (reverse != nullptr) ReleaseReverseTable(reverse);
  return result;
}

std::size_t SingleByteToUtf8(CharsetCode code, const std::uint8_t* source, std::size_t count, std::uint8_t* destination,
                             bool& undefined) noexcept {
  const char16_t* units = kMappingTables[code].units;
  std::size_t written = 0;
  for (std::size_t i = 0; i < count; ++i) {
    char16_t unit = units[source[i]];
    if (unit == kMappingUndefined) {
      unit = kReplacementCharacter;
      undefined = true;
    }
    std::uint32_t j = 0, out = 0;
    EncodeUtf8Character(&unit, 1, j, destination + written, out, 4);
    written += out;
  }
  return written;
}

}  // namespace glyphshift::engine::reference
