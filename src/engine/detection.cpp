// DetectCharacterSet: byte order marks, zero bytes, the UTF-8 decoder as a validity test, then
// the first table in which every byte of the text is defined.
#include <cstdint>

#include "engine/detection.h"

#include "engine/codec_path.h"
#include "engine/engine.h"
#include "engine/mapping_table.h"
#include "engine/reference/reference.h"
#include "engine/utf8_decoder.h"

namespace glyphshift::engine {
namespace {

// 256 bits: which byte values occur in the text, or which a table leaves undefined.
struct ByteSet {
  std::uint64_t bits[4] = {};
  void Add(std::uint8_t b) noexcept { bits[b >> 6] |= std::uint64_t{1} << (b & 63); }
  bool Empty() const noexcept { return (bits[0] | bits[1] | bits[2] | bits[3]) == 0; }
  bool Meets(const ByteSet& other) const noexcept {
    return ((bits[0] & other.bits[0]) | (bits[1] & other.bits[1]) | (bits[2] & other.bits[2]) |
            (bits[3] & other.bits[3])) != 0;
  }
};

ByteSet UndefinedBytes(const MappingTable& table) noexcept {
  ByteSet set;
  for (unsigned b = 0; b < 256; ++b) {
    if (table.units[b] == kMappingUndefined) set.Add(static_cast<std::uint8_t>(b));
  }
  return set;
}

}  // namespace

// A table without undefined entries (code 0 among ours) needs no look at the text, so the
// usual answer costs no pass; otherwise one pass collects the byte values the text holds.
CharsetCode FirstDefiningTable(const MappingTable* tables, int count, const std::uint8_t* data,
                               std::uint32_t dataLength) noexcept {
  ByteSet present;
  bool scanned = false;
  for (CharsetCode code = 0; code < count; ++code) {
    const ByteSet undefined = UndefinedBytes(tables[code]);
    if (undefined.Empty()) return code;
    if (!scanned) {
      for (std::uint32_t i = 0; i < dataLength; ++i) present.Add(data[i]);
      scanned = true;
    }
    if (!present.Meets(undefined)) return code;
  }
  return 0;
}

CharsetCode DetectCharset(const std::uint8_t* data, std::uint32_t dataLength) noexcept {
  if (CurrentCodecPath() == CodecPath::kReference) return reference::DetectCharset(data, dataLength);
  if (dataLength < 3) return 0;
  const std::uint8_t b0 = data[0], b1 = data[1], b2 = data[2];
  if (b0 == 0xFE && b1 == 0xFF) return CHARSET_UTF16BE;
  if (b0 == 0xFF && b1 == 0xFE) return CHARSET_UTF16;
  if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) return CHARSET_UTF8;
  if (b0 != 0 && b1 == 0) return CHARSET_UTF16;
  if (b0 == 0 && b1 != 0) return CHARSET_UTF16BE;
  // A malformed place anywhere rules UTF-8 out for good, so the pass may stop at the first.
  std::uint64_t units = 0;
  const std::int32_t result = DecodeUtf8(data, dataLength, nullptr, units, /*stopAtError=*/true);
  if ((result & static_cast<std::int32_t>(0x8000FFFF)) == 0 && (result & CONVERT_FLAG_MULTIBYTE) != 0) {
    return CHARSET_UTF8;
  }
  return FirstDefiningTable(kMappingTables, kSingleByteTableCount, data, dataLength);
}

}  // namespace glyphshift::engine
