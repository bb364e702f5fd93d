#include "convert/utf8_streaming.h"

#include <cstring>
#include <limits>

#include "engine/engine.h"

namespace glyphshift {

namespace {

constexpr std::uint64_t kMaxStepBytes = std::numeric_limits<std::uint32_t>::max() - 2u;

}  // namespace

FusedResult CUtf8Decoding::Begin(std::uint64_t size) {
  planned_ = size;
  added_ = 0;
  carried_ = 0;
  text_ = {};
  if (2 * size > kMaxStepBytes) return FusedResult::TooLarge;
  text_.buffer = AllocateUnits(BlockUnitsFor(2 * size));
  if (!text_.buffer) return FusedResult::Stepwise;
  text_.buffer[0] = 0;
  return FusedResult::Ok;
}

bool CUtf8Decoding::Commit(std::size_t got) {
  if (got > planned_ - added_) return false;
  added_ += got;
  const std::size_t filled = carried_ + got;
  if (got == 0) {
    Decode(filled);  // the end: whatever is left is the last piece
    return true;
  }
  std::size_t cut = filled;
  while (cut != 0 && pending_[cut - 1] >= 0x80) --cut;
  if (filled - cut >= kPieceBytes) return false;  // Room() must stay a whole piece
  Decode(cut);
  carried_ = filled - cut;
  if (carried_ != 0) std::memmove(pending_, pending_ + cut, carried_);
  return true;
}

void CUtf8Decoding::Decode(std::size_t count) {
  if (count == 0) return;
  // Room for one unit per byte is always left: the block holds 2 units per planned byte.
  std::uint32_t made = static_cast<std::uint32_t>(2 * count);
  engine::Utf8ToUtf16(pending_, static_cast<std::uint32_t>(count), text_.Text() + text_.UnitCount(), &made);
  text_.byteLength += made;
  text_.Text()[text_.UnitCount()] = 0;
}

WorkingText CUtf8Decoding::TakeText() { return std::move(text_); }

}  // namespace glyphshift
