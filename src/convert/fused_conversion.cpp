#include "convert/fused_conversion.h"

#include <algorithm>
#include <limits>

#include "convert/working_text.h"
#include "engine/engine.h"

namespace glyphshift {

namespace {

// The limits of the stepwise path: its lengths are 32-bit byte counts, a working text 2 more.
constexpr std::uint64_t kMaxStepBytes = std::numeric_limits<std::uint32_t>::max() - 2u;
constexpr std::uint64_t kUtf8MarkBytes = 3;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

bool CanFuse(CharsetCode source, CharsetCode destination, const ConversionOptions& options) {
  const bool plainText = !options.lineBreak && !options.modifyXml && !options.modifyHtml;
  return plainText && IsSingleByteCode(source) && (destination == kCharsetUtf8 || IsSingleByteCode(destination));
}

FusedResult CFusedEncoding::Begin(CharsetCode source, std::uint64_t size, CharsetCode destination) {
  source_ = source;
  destination_ = destination;
  planned_ = size;
  added_ = 0;
  size_ = 0;
  carried_ = false;
  output_.reset();
  if (size == 0) return FusedResult::Stepwise;  // nothing to gain
  if (2 * size > kMaxStepBytes) return FusedResult::TooLarge;  // the decoding step's limit
  if (destination == kCharsetUtf8) {
    // The encoding step's limit counts the units after a dropped mark, which only decoding tells:
    // refused either way, or a size at the very edge left to the stepwise path.
    const auto refused = [](std::uint64_t units) { return 3 * units + kUtf8MarkBytes > kMaxStepBytes; };
    if (refused(size - 1)) return FusedResult::TooLarge;
    if (refused(size)) return FusedResult::Stepwise;
  }
  // A BMP unit takes at most 3 UTF-8 bytes; mapped room that stays unwritten costs nothing.
  bound_ = destination == kCharsetUtf8 ? 3 * size : size;
  output_ = AllocateBytes(bound_);
  // Short of memory for the bound: the stepwise path, which needs its blocks one after another
  // and only of the exact size, may still manage.
  return output_ ? FusedResult::Ok : FusedResult::Stepwise;
}

bool CFusedEncoding::Add(std::span<const std::uint8_t> piece) {
  if (piece.size() > planned_ - added_) return false;
  for (std::size_t at = 0; at < piece.size();) {
    const auto take = static_cast<std::uint32_t>(std::min<std::size_t>(kChunkUnits, piece.size() - at));
    added_ += take;
    EncodeChunk(piece.data() + at, take, added_ < planned_);
    at += take;
  }
  return true;
}

void CFusedEncoding::Finish() {
  if (!carried_) return;
  carried_ = false;
  auto made = static_cast<std::uint32_t>(std::min<std::uint64_t>(bound_ - size_, kMaxStepBytes));
  if (destination_ == kCharsetUtf8) {
    engine::Utf16ToUtf8(units_, 2, output_.get() + size_, &made);
  } else {
    engine::Utf16ToSingleByte(destination_, units_, 2, output_.get() + size_, &made);
    made = 1;
  }
  size_ += made;
}

void CFusedEncoding::EncodeChunk(const std::uint8_t* bytes, std::uint32_t count, bool more) {
  const std::uint32_t held = carried_ ? 1 : 0;
  std::uint32_t decoded = 2 * count;
  engine::SingleByteToUtf16(source_, bytes, count, units_ + held, &decoded);
  const char16_t* first = units_;
  std::uint32_t units = held + count;
  // Only the very first unit of the text can be a byte order mark; the stepwise path drops it.
  if (added_ == count && units_[0] == 0xFEFF) {
    ++first;
    --units;
  }
  // A high surrogate at a chunk's end waits for the unit that may complete it.
  carried_ = more && units != 0 && IsHighSurrogate(first[units - 1]);
  if (carried_) --units;
  const std::uint64_t room = std::min<std::uint64_t>(bound_ - size_, kMaxStepBytes);
  auto made = static_cast<std::uint32_t>(room);
  if (destination_ == kCharsetUtf8) {
    engine::Utf16ToUtf8(first, 2 * units, output_.get() + size_, &made);
  } else {
    engine::Utf16ToSingleByte(destination_, first, 2 * units, output_.get() + size_, &made);
    made = units;  // one byte per unit
  }
  size_ += made;
  if (carried_) units_[0] = first[units];
}

}  // namespace glyphshift
