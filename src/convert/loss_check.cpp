#include "convert/loss_check.h"

#include <cstring>

#include "engine/mapping_table.h"
#include "engine/text_scan.h"
#include "engine/utf8_steps.h"

namespace glyphshift {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kCr = 0x000D;
constexpr char16_t kLf = 0x000A;
constexpr char16_t kByteOrderMark = 0xFEFF;
// The byte a single-byte destination gets for a character it has no byte for.
constexpr std::uint8_t kUnmappable = 0x3F;

// C0 controls that are text: TAB, LF, VT, FF, CR, BS, ESC and SUB. Every other unit below 0x20
// (U+0000 among them) marks binary data.
constexpr std::uint32_t kBinaryControls = 0xF3FFC0FFu;

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

engine::ByteSet ControlBytes(std::uint32_t controls) {
  engine::ByteSet set;
  for (unsigned b = 0; b < 0x20; ++b) {
    if ((controls >> b) & 1u) set.Add(static_cast<std::uint8_t>(b));
  }
  return set;
}

// Lead bytes of the UTF-8 forms the engine's decoder takes although they are overlong: C0 and C1
// (two bytes for an ASCII character) and E0 (three bytes for one below U+0800, when the second
// byte is below A0). Every other malformed form the decoder reports itself.
constexpr std::uint8_t kOverlongLeads[] = {0xC0, 0xC1, 0xE0};

// One UTF-8 character at `j`, decoded as the engine decodes it but with overlong forms taken
// for malformed ones (U+FFFD): the same number of units either way. Returns the bytes of the
// character that do not decode (0 for a good one); false at a lead byte with fewer bytes left
// than its form needs (the engine ends there; those bytes are `bad`, without a unit).
bool StrictUtf8Character(const std::uint8_t* s, std::size_t n, std::size_t& j, char16_t* out, std::size_t& i,
                         std::size_t& bad) {
  const std::uint8_t e = s[j];
  bad = 0;
  if (e < 0x80) {
    out[i++] = e;
    ++j;
    return true;
  }
  if (e < 0xC0 || e >= 0xFE) {
    out[i++] = kReplacement;
    ++j;
    bad = 1;
    return true;
  }
  const unsigned length = engine::Utf8SequenceLength(e);
  if (length > n - j) {
    bad = n - j;
    j = n;
    return false;
  }
  unsigned k = 0;
  while (k < length - 1 && engine::IsContinuationByte(s[j + 1 + k])) ++k;
  const std::uint8_t* b = s + j;
  j += 1 + k;
  if (k < length - 1 || length >= 5) {
    out[i++] = kReplacement;
    bad = 1 + k;
    return true;
  }
  std::uint32_t value = 0;
  std::uint32_t least = 0;
  if (length == 2) {
    value = ((e & 0x1Fu) << 6) | (b[1] & 0x3Fu);
    least = 0x80;
  } else if (length == 3) {
    value = ((e & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
    least = 0x800;
  } else {
    value = ((e & 0x07u) << 18) | ((b[1] & 0x3Fu) << 12) | ((b[2] & 0x3Fu) << 6) | (b[3] & 0x3Fu);
    least = 0x10000;
  }
  const bool valid =
      value >= least && !(value >= 0xD800 && value <= 0xDFFF) && value <= 0x10FFFF && !(length == 3 && value > 0xFFFD);
  if (!valid) {
    out[i++] = kReplacement;
    bad = length;
    return true;
  }
  if (value < 0x10000) {
    out[i++] = static_cast<char16_t>(value);
  } else {
    out[i++] = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
    out[i++] = static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
  }
  return true;
}

// Whether the text ends within a character: a lead byte among the last five whose form needs
// more bytes than are left (the engine drops them without a unit).
bool EndsWithinACharacter(const std::uint8_t* s, std::size_t n) {
  for (std::size_t back = 1; back <= 5 && back <= n; ++back) {
    const std::uint8_t b = s[n - back];
    if (engine::IsContinuationByte(b)) continue;
    return b >= 0xC0 && b < 0xFE && engine::Utf8SequenceLength(b) > back;
  }
  return false;
}

}  // namespace

CLossCheck::CLossCheck(CharsetCode source, CharsetCode destination, const LossCheckSettings& settings)
    : source_(source),
      destination_(destination),
      singleByteDestination_(IsSingleByteCode(destination)),
      binaryControls_(settings.binaryAllowed ? 0 : kBinaryControls),
      noteC1_(settings.noteC1Bytes && IsSingleByteCode(source)) {
  if (IsSingleByteCode(source)) {
    const char16_t* units = kMappingTables[source].units;
    for (unsigned b = 0; b < 256; ++b) {
      if (units[b] < 0x20 && ((binaryControls_ >> units[b]) & 1u)) binaryBytes_.Add(static_cast<std::uint8_t>(b));
    }
    engine::ByteSet watched = binaryBytes_;
    if (noteC1_) {
      for (unsigned b = 0x80; b < 0xA0; ++b) watched.Add(static_cast<std::uint8_t>(b));
    }
    watched_ = engine::CByteScanner(watched);
  } else if (source == kCharsetUtf8) {
    binaryBytes_ = ControlBytes(binaryControls_);
    engine::ByteSet watched = binaryBytes_;
    for (const std::uint8_t lead : kOverlongLeads) watched.Add(lead);
    watched_ = engine::CByteScanner(watched);
  }
  binaryScanner_ = engine::CByteScanner(binaryBytes_);
}

bool CLossCheck::Decoded(const DecodedChunk& chunk) {
  if (IsSingleByteCode(source_)) return CheckSingleByte(chunk);
  if (source_ == kCharsetUtf8) return CheckUtf8(chunk);
  return CheckUtf16(chunk);
}

bool CLossCheck::CheckSingleByte(const DecodedChunk& chunk) {
  // The engine marks an undefined byte U+FFFF, a noncharacter: the text gets the replacement
  // character instead, in any destination.
  // Without units (converted straight to UTF-8) the table tells the undefined bytes, which the
  // conversion has replaced already.
  if (chunk.flagged) {
    const char16_t* table = kMappingTables[source_].units;
    for (std::size_t i = 0; i < chunk.unitCount; ++i) {
      if ((chunk.units != nullptr ? chunk.units[i] : table[chunk.bytes[i]]) != kMappingUndefined) continue;
      if (chunk.units != nullptr) chunk.units[i] = kReplacement;
      report_.undecodable.Note(chunk.unitIndex + i);
      ++replacements_;
    }
  }
  for (std::size_t at = watched_.Find(chunk.bytes, chunk.byteCount); at < chunk.byteCount;
       at += watched_.Find(chunk.bytes + at, chunk.byteCount - at)) {
    if (binaryBytes_.Has(chunk.bytes[at])) {
      // A guess of the byte rules may be wrong in just this way: UTF-16 text without a byte
      // order mark and without zero bytes (Chinese, say) has bytes ISO-8859-1 reads as controls.
      if (noteC1_ && ReadsAsUtf16(chunk)) {
        report_.readsAsUtf16 = true;
        watched_ = engine::CByteScanner();
        return true;
      }
      report_.binaryAt = chunk.sourceOffset + at;
      return false;
    }
    // A byte 0x80-0x9F: noted once, then no longer looked for.
    report_.c1Bytes = true;
    watched_ = binaryScanner_;
  }
  return true;
}

// Whether the chunk (starting at an even offset of the source) is UTF-16 in one byte order or
// the other: no control code that is no text, no lone surrogate.
bool CLossCheck::ReadsAsUtf16(const DecodedChunk& chunk) const {
  if (chunk.sourceOffset % 2 != 0 || (chunk.byteCount % 2 != 0 && !chunk.last)) return false;
  for (const bool bigEndian : {false, true}) {
    bool clean = true;
    bool afterHigh = false;
    for (std::size_t i = 0; i + 1 < chunk.byteCount && clean; i += 2) {
      const auto u = static_cast<char16_t>(bigEndian ? chunk.bytes[i] << 8 | chunk.bytes[i + 1]
                                                     : chunk.bytes[i + 1] << 8 | chunk.bytes[i]);
      clean = !(u < 0x20 && ((kBinaryControls >> u) & 1u)) && (IsLow(u) == afterHigh || !IsLow(u)) &&
              !(afterHigh && !IsLow(u));
      afterHigh = IsHigh(u);
    }
    if (clean && !(afterHigh && chunk.last)) return true;
  }
  return false;
}

bool CLossCheck::CheckUtf8(const DecodedChunk& chunk) {
  bool strict = chunk.flagged || (chunk.last && EndsWithinACharacter(chunk.bytes, chunk.byteCount));
  const engine::CByteScanner* watched = strict ? &binaryScanner_ : &watched_;
  for (std::size_t at = watched->Find(chunk.bytes, chunk.byteCount); at < chunk.byteCount;
       at += 1 + watched->Find(chunk.bytes + at + 1, chunk.byteCount - at - 1)) {
    if (binaryBytes_.Has(chunk.bytes[at])) {
      report_.binaryAt = chunk.sourceOffset + at;
      return false;
    }
    strict = true;  // a lead byte of an overlong form: the chunk is decoded again, closely
    watched = &binaryScanner_;
  }
  if (!strict) return true;
  std::size_t i = 0;
  for (std::size_t j = 0; j < chunk.byteCount;) {
    std::size_t bad = 0;
    const std::size_t at = i;
    const bool whole = StrictUtf8Character(chunk.bytes, chunk.byteCount, j, chunk.units, i, bad);
    if (bad == 0) continue;
    report_.undecodable.Note(chunk.unitIndex + at, bad);
    if (whole) ++replacements_;  // a character cut off at the text's end leaves no unit
  }
  return true;
}

bool CLossCheck::CheckUtf16(const DecodedChunk& chunk) {
  char16_t* units = chunk.units;
  const std::size_t count = chunk.unitCount;
  for (std::size_t at = engine::FindSpecialUnit(units, count, binaryControls_); at < count;
       at += engine::FindSpecialUnit(units + at, count - at, binaryControls_)) {
    if (units[at] < 0x20) {
      report_.binaryAt = chunk.sourceOffset + 2 * at;
      return false;
    }
    // The decoder holds back a high surrogate at a chunk's end, so a pair is always whole here.
    if (IsHigh(units[at]) && at + 1 < count && IsLow(units[at + 1])) {
      at += 2;
      continue;
    }
    units[at] = kReplacement;
    report_.undecodable.Note(chunk.unitIndex + at, 2);
    ++replacements_;
    ++at;
  }
  return true;
}

void CLossCheck::EncodedSingleBytes(const char16_t* units, std::size_t count, const std::uint8_t* bytes,
                                    std::uint64_t unitIndex) {
  if (count == 0) return;
  // What the byte itself stands for in the destination: "?", or SUB in the EBCDIC sets.
  const char16_t byteItself = kMappingTables[destination_].units[kUnmappable];
  for (const void* hit = std::memchr(bytes, kUnmappable, count); hit != nullptr;) {
    const auto i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - bytes);
    const char16_t u = units[i];
    const bool pairsOn = IsLow(u) && (i == 0 ? highBefore_ : IsHigh(units[i - 1]) && bytes[i - 1] == kUnmappable);
    if (u != byteItself && !pairsOn) {
      ++unencodableUnits_;
      if (u == kReplacement) {
        ++replacementUnits_;
        if (firstReplacement_ == LossTally::kNowhere) firstReplacement_ = unitIndex + i;
      } else if (firstOther_ == LossTally::kNowhere) {
        firstOther_ = unitIndex + i;
      }
    }
    hit = i + 1 < count ? std::memchr(bytes + i + 1, kUnmappable, count - i - 1) : nullptr;
  }
  highBefore_ = IsHigh(units[count - 1]) && bytes[count - 1] == kUnmappable;
}

void CLossCheck::Finished(bool oddByte, std::uint64_t sourceSize, std::uint64_t decodedUnits) {
  static_cast<void>(sourceSize);
  static_cast<void>(decodedUnits);
  report_.oddByte = oddByte;
  if (!singleByteDestination_) return;
  // Every replacement character the decoding side wrote became "?" too: it is counted there.
  const std::uint64_t ownReplacements = replacementUnits_ - std::min(replacementUnits_, replacements_);
  report_.unencodable.count = unencodableUnits_ - replacementUnits_ + ownReplacements;
  if (report_.unencodable.count == 0) return;
  report_.unencodable.firstIndex = firstOther_ != LossTally::kNowhere ? firstOther_ : firstReplacement_;
}

CPlaceFinder::CPlaceFinder(std::uint64_t decodedIndex, std::uint64_t encodedIndex) {
  decoded_.target = decodedIndex;
  decoded_.found = decodedIndex == LossTally::kNowhere;
  encoded_.target = encodedIndex;
  encoded_.found = encodedIndex == LossTally::kNowhere;
}

bool CPlaceFinder::Counter::Walk(const char16_t* units, std::size_t count, std::uint64_t unitIndex) {
  if (found) return true;
  for (std::size_t i = 0; i < count; ++i) {
    if (unitIndex + i == target) {
      place = {line, column};
      found = true;
      return true;
    }
    const char16_t u = units[i];
    if (u == kLf) {
      if (!afterCr) ++line;
      column = 1;
    } else if (u == kCr) {
      ++line;
      column = 1;
    } else if (!(IsLow(u) && afterHigh) && !(unitIndex + i == 0 && u == kByteOrderMark)) {
      ++column;
    }
    afterCr = u == kCr;
    afterHigh = IsHigh(u);
  }
  return false;
}

bool CPlaceFinder::Decoded(const DecodedChunk& chunk) {
  decoded_.Walk(chunk.units, chunk.unitCount, chunk.unitIndex);
  return !(decoded_.found && encoded_.found);
}

bool CPlaceFinder::Encoding(const char16_t* units, std::size_t count, std::uint64_t unitIndex) {
  encoded_.Walk(units, count, unitIndex);
  return !(decoded_.found && encoded_.found);
}

void CPlaceFinder::Finished(bool oddByte, std::uint64_t sourceSize, std::uint64_t decodedUnits) {
  static_cast<void>(oddByte), static_cast<void>(sourceSize), static_cast<void>(decodedUnits);
  // A first loss at the very end (an odd last byte) is where the text ends.
  for (Counter* counter : {&decoded_, &encoded_}) {
    if (counter->found) continue;
    counter->place = {counter->line, counter->column};
    counter->found = true;
  }
}

}  // namespace glyphshift
