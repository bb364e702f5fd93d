#include "convert/fused_conversion.h"

#include <limits>

#include "convert/working_text.h"
#include "engine/engine.h"

namespace glyphshift {

namespace {

// 16 Ki units: the raw chunk, its UTF-16 and its UTF-8 stay in the second-level cache.
constexpr std::uint32_t kChunkUnits = 16 * 1024;

// The limits of the stepwise path: its lengths are 32-bit byte counts, a working text 2 more.
constexpr std::uint64_t kMaxStepBytes = std::numeric_limits<std::uint32_t>::max() - 2u;
constexpr std::uint64_t kUtf8MarkBytes = 3;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Encodes `count` units at `units` into `out` (room for `capacity` bytes); returns the bytes made.
std::uint32_t EncodeUnits(CharsetCode destination, const char16_t* units, std::uint32_t count, std::uint8_t* out,
                          std::uint64_t capacity) {
  const std::uint64_t room64 = capacity < kMaxStepBytes ? capacity : kMaxStepBytes;
  std::uint32_t room = static_cast<std::uint32_t>(room64);
  if (destination == kCharsetUtf8) {
    engine::Utf16ToUtf8(units, 2 * count, out, &room);
    return room;
  }
  engine::Utf16ToSingleByte(destination, units, 2 * count, out, &room);
  return count;  // one byte per unit, and the block holds one per unit
}

}  // namespace

bool CanFuse(CharsetCode source, CharsetCode destination, const ConversionOptions& options) {
  const bool plainText = !options.lineBreak && !options.modifyXml && !options.modifyHtml;
  return plainText && IsSingleByteCode(source) && (destination == kCharsetUtf8 || IsSingleByteCode(destination));
}

FusedResult CFusedEncoding::Run(CharsetCode source, std::span<const std::uint8_t> raw, CharsetCode destination) {
  output_.reset();
  size_ = 0;
  const std::uint64_t size = raw.size();
  if (2 * size > kMaxStepBytes) return FusedResult::TooLarge;  // the decoding step's limit

  char16_t units[kChunkUnits + 1];
  std::uint32_t carried = 0;  // a unit held back from the previous chunk
  std::size_t at = 0;
  std::uint64_t bound = 0;
  while (at < raw.size() || carried != 0) {
    const auto take = static_cast<std::uint32_t>(std::min<std::size_t>(kChunkUnits, raw.size() - at));
    std::uint32_t decoded = 2 * take;
    if (take != 0) engine::SingleByteToUtf16(source, raw.data() + at, take, units + carried, &decoded);
    std::uint32_t count = carried + take;
    const char16_t* first = units;
    if (at == 0) {
      // Only the very first unit can be a byte order mark; it is dropped as the stepwise path does.
      const bool dropMark = units[0] == 0xFEFF;
      if (dropMark) {
        ++first;
        --count;
      }
      const std::uint64_t textUnits = size - (dropMark ? 1 : 0);
      if (destination == kCharsetUtf8 && 3 * textUnits + kUtf8MarkBytes > kMaxStepBytes) return FusedResult::TooLarge;
      // A BMP unit takes at most 3 UTF-8 bytes; mapped room that stays unwritten costs nothing.
      bound = destination == kCharsetUtf8 ? 3 * textUnits : textUnits;
      output_ = AllocateBytes(bound);
      if (!output_) return FusedResult::OutOfMemory;
    }
    at += take;
    // A high surrogate at a chunk's end waits for the unit that may complete it.
    carried = (at < raw.size() && count != 0 && IsHighSurrogate(first[count - 1])) ? 1 : 0;
    count -= carried;
    size_ += EncodeUnits(destination, first, count, output_.get() + size_, bound - size_);
    if (carried != 0) units[0] = first[count];
  }
  if (!output_) {  // an empty source: an empty body with an address
    output_ = AllocateBytes(0);
    if (!output_) return FusedResult::OutOfMemory;
  }
  return FusedResult::Ok;
}

}  // namespace glyphshift
