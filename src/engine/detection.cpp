// DetectCharacterSet: byte order marks, zero bytes, the UTF-8 decoder as a validity test, then
// the first table in which every byte of the text is defined.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/detection.h"

#include "engine/codec_path.h"
#include "engine/codec_support.h"
#include "engine/engine.h"
#include "engine/mapping_table.h"
#include "engine/reference/reference.h"
#include "engine/utf8_decoder.h"

namespace glyphshift::engine {
namespace {

ByteSet UndefinedBytes(const MappingTable& table) noexcept {
  ByteSet set;
  for (unsigned b = 0; b < 256; ++b) {
    if (table.units[b] == kMappingUndefined) set.Add(static_cast<std::uint8_t>(b));
  }
  return set;
}

// The first table that defines every byte value: the answer for any text from then on.
CharsetCode FirstTotalTable() noexcept {
  for (CharsetCode code = 0; code < kSingleByteTableCount; ++code) {
    if (UndefinedBytes(kMappingTables[code]).Empty()) return code;
  }
  return kSingleByteTableCount;
}

CharsetCode FirstTableWithout(const MappingTable* tables, int count, const ByteSet& present) noexcept {
  for (CharsetCode code = 0; code < count; ++code) {
    if (!present.Meets(UndefinedBytes(tables[code]))) return code;
  }
  return 0;
}

// The decisions on the first three bytes; -1 when none applies.
CharsetCode DecideByHead(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) noexcept {
  if (b0 == 0xFE && b1 == 0xFF) return CHARSET_UTF16BE;
  if (b0 == 0xFF && b1 == 0xFE) return CHARSET_UTF16;
  if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) return CHARSET_UTF8;
  if (b0 != 0 && b1 == 0) return CHARSET_UTF16;
  if (b0 == 0 && b1 != 0) return CHARSET_UTF16BE;
  return -1;
}

bool SaysUtf8(std::int32_t result) noexcept {
  return (result & kConvertFailureBits) == 0 && (result & CONVERT_FLAG_MULTIBYTE) != 0;
}

}  // namespace

void ByteSet::AddAll(const std::uint8_t* data, std::size_t size) noexcept {
  if (size < 256) {
    for (std::size_t i = 0; i < size; ++i) Add(data[i]);
    return;
  }
  // A mark per byte value, then the bits: setting each byte's bit in turn waits on the store of
  // the one before, as most bytes of a text fall in one word.
  std::uint8_t seen[256] = {};
  for (std::size_t i = 0; i < size; ++i) seen[data[i]] = 1;
  for (unsigned b = 0; b < 256; ++b) bits[b >> 6] |= std::uint64_t{seen[b]} << (b & 63);
}

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
  if (const CharsetCode code = DecideByHead(data[0], data[1], data[2]); code >= 0) return code;
  // A malformed place anywhere rules UTF-8 out for good, so the pass may stop at the first.
  std::uint64_t units = 0;
  if (SaysUtf8(DecodeUtf8(data, dataLength, nullptr, units, /*stopAtError=*/true))) return CHARSET_UTF8;
  return FirstDefiningTable(kMappingTables, kSingleByteTableCount, data, dataLength);
}

CCharsetDetector::CCharsetDetector() noexcept : needBytes_(FirstTotalTable() != 0) {}

bool CCharsetDetector::Add(const std::uint8_t* data, std::size_t size) noexcept {
  if (settled_ || size == 0) return !settled_;
  for (std::size_t i = 0; i < size && total_ + i < 3; ++i) head_[total_ + i] = data[i];
  const bool headComplete = total_ < 3 && total_ + size >= 3;
  total_ += size;
  if (headComplete) {
    if (const CharsetCode code = DecideByHead(head_[0], head_[1], head_[2]); code >= 0) {
      Settle(code);
      return false;
    }
  }
  if (needBytes_) present_.AddAll(data, size);
  if (utf8Result_ >= 0) Scan(data, size);
  // With UTF-8 ruled out, only the byte values can still matter.
  if (utf8Result_ < 0 && !needBytes_ && total_ >= 3) Settle(FirstTotalTable());
  return !settled_;
}

// The decoder's pass over the next piece. Decoding a piece stops only before a character the
// piece cuts off; its bytes start the next piece, so the pass sees every character whole.
void CCharsetDetector::Scan(const std::uint8_t* data, std::size_t size) noexcept {
  std::uint64_t units = 0;
  std::uint32_t consumed = 0;
  if (carried_ != 0) {
    const std::size_t taken = std::min(size, sizeof carry_ - carried_);
    std::memcpy(carry_ + carried_, data, taken);
    const std::size_t joined = carried_ + taken;
    utf8Result_ |= DecodeUtf8(carry_, static_cast<std::uint32_t>(joined), nullptr, units, true, &consumed);
    if (utf8Result_ < 0) return;
    if (consumed < carried_) {  // still cut off: the piece was too short to complete it
      carried_ = joined;
      return;
    }
    data += consumed - carried_;
    size -= consumed - carried_;
    carried_ = 0;
  }
  while (size != 0) {
    const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(size, 0x40000000));
    utf8Result_ |= DecodeUtf8(data, length, nullptr, units, true, &consumed);
    // Stopped at a malformed place, not before a cut-off character: nothing is carried.
    if (utf8Result_ < 0) return;
    if (consumed < length && length == size) {
      carried_ = size - consumed;  // fewer than a character's 6 bytes
      std::memcpy(carry_, data + consumed, carried_);
      return;
    }
    data += consumed;
    size -= consumed;
  }
}

void CCharsetDetector::Settle(CharsetCode answer) noexcept {
  settled_ = true;
  answer_ = answer;
}

CharsetCode CCharsetDetector::Finish() noexcept {
  if (settled_) return answer_;
  if (total_ < 3) return 0;
  if (utf8Result_ >= 0 && carried_ != 0) {
    // The end of the text: a character it cuts off ends the pass, as in the whole text.
    std::uint64_t units = 0;
    utf8Result_ |= DecodeUtf8(carry_, static_cast<std::uint32_t>(carried_), nullptr, units, true);
  }
  if (SaysUtf8(utf8Result_)) return CHARSET_UTF8;
  return needBytes_ ? FirstTableWithout(kMappingTables, kSingleByteTableCount, present_) : FirstTotalTable();
}

// Only a byte above 0x7F can make UTF-8 malformed, start a multi-byte character or be cut off.
bool CCharsetDetector::HighBytes() const noexcept {
  return (utf8Result_ & (kConvertFailureBits | CONVERT_FLAG_MULTIBYTE)) != 0 || carried_ != 0;
}

}  // namespace glyphshift::engine
