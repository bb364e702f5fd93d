#include "convert/utf8_streaming.h"

#include <cstring>
#include <limits>

#include "engine/engine.h"

namespace glyphshift {

namespace {

constexpr std::uint64_t kMaxStepBytes = std::numeric_limits<std::uint32_t>::max() - 2u;

// The bytes the decoder takes a character to be from its first byte: it looks that far ahead
// and, where the text ends sooner, stops decoding altogether.
std::size_t SequenceLength(std::uint8_t lead) {
  if (lead >= 0xFE) return 1;
  if (lead >= 0xFC) return 6;
  if (lead >= 0xF8) return 5;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// The end of the longest prefix of `bytes` that decodes alone as it does inside the whole text:
// it ends with an ASCII byte (always a character of its own, which no sequence swallows, as only
// continuation bytes are counted into one), and no lead byte before it would look past it.
std::size_t CutPoint(const std::uint8_t* bytes, std::size_t count) {
  constexpr std::size_t kLongestSequence = 6;
  for (std::size_t cut = count; cut != 0; --cut) {
    if (bytes[cut - 1] >= 0x80) continue;
    bool lookedPast = false;
    for (std::size_t j = cut > kLongestSequence ? cut - kLongestSequence : 0; j + 1 < cut; ++j) {
      lookedPast = lookedPast || j + SequenceLength(bytes[j]) > cut;
    }
    if (!lookedPast) return cut;
  }
  return 0;
}

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
  const std::size_t cut = CutPoint(pending_, filled);
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
