#include "engine/multibyte_structure.h"

#include <cstring>

#include "engine/charset_catalogue.h"

namespace glyphshift::engine {
namespace {

bool In(std::uint8_t b, std::uint8_t low, std::uint8_t high) noexcept { return b >= low && b <= high; }

// A byte that breaks the structure ends the character under way; the byte itself may start the
// next one, so it is read again between characters.
// Past a few errors, one in 100 characters rules the set out for good (Fits): the reading
// stops, so that single-byte text, whose every set breaks early, costs little.
void Count(CMultiByteStructure::Reading& r) noexcept {
  ++r.errors;
  if (r.errors >= 8 && r.errors * 100 > r.wide) r.alive = false;
}

template <class Between>
void Broken(CMultiByteStructure::Reading& r, std::uint8_t b, Between between) noexcept {
  Count(r);
  r.state = 0;
  between(r, b);
}

// EUC (Japanese, Korean and simplified Chinese share the form): A1..FE pairs, SS2 (8E) before a
// half-width kana, SS3 (8F) before a pair.
void EucBetween(CMultiByteStructure::Reading& r, std::uint8_t b) noexcept {
  if (b < 0x80) return;
  if (In(b, 0xA1, 0xFE)) {
    r.state = 1;
    r.lead = b;
  } else if (b == 0x8E) {
    r.state = 2;
  } else if (b == 0x8F) {
    r.state = 3;
  } else {
    Count(r);
  }
}

// Shift_JIS: leads 81..9F and E0..FC with trails 40..7E and 80..FC; A1..DF are half-width kana.
void SjisBetween(CMultiByteStructure::Reading& r, std::uint8_t b) noexcept {
  if (b < 0x80) return;
  if (In(b, 0xA1, 0xDF)) {
    ++r.marked;  // a half-width kana
    return;
  }
  if (In(b, 0x81, 0x9F) || In(b, 0xE0, 0xFC)) {
    r.state = 1;
    r.lead = b;
  } else {
    Count(r);
  }
}

// GBK and GB18030: leads 81..FE with trails 40..7E and 80..FE, or four bytes: lead, 30..39,
// 81..FE, 30..39. Big5: leads 81..FE with trails 40..7E and A1..FE.
void LeadBetween(CMultiByteStructure::Reading& r, std::uint8_t b) noexcept {
  if (b < 0x80) return;
  if (In(b, 0x81, 0xFE)) {
    r.state = 1;
    r.lead = b;
  } else {
    Count(r);
  }
}

void Complete(CMultiByteStructure::Reading& r, bool common, std::uint8_t trail) noexcept {
  ++r.wide;
  r.asciiTrails += trail < 0x80 ? 1u : 0u;
  r.common += common ? 1u : 0u;
  r.state = 0;
}

// A reading fits when its structure breaks at most once in 100 characters (a stray byte in a
// long text) and ordinary text's rows hold most of its characters: a single-byte text that
// happens to pair up lands in rare rows.
// Where trails may be ASCII (Shift_JIS, GB18030, Big5), a single-byte text pairs its accented
// letters with the ASCII letter after them; real text has most of its trails above 0x7F (kana,
// two thirds of the hanzi).
bool Fits(const CMultiByteStructure::Reading& r) noexcept {
  return r.alive && r.wide >= 2 && r.errors * 100 <= r.wide && r.common * 10 >= r.wide * 8 &&
         r.asciiTrails * 10 <= r.wide * 6;
}

// The high bytes of UTF-16 units of text: ASCII and Latin to Arabic (00..06), Thai (0E), Latin
// extended (1E), punctuation (20, 21, 25), kana and CJK punctuation (30, 31), the CJK ideographs
// (4E..9F), Hangul (AC..D7) and the full-width forms (FF).
constexpr bool IsScriptPage(unsigned b) noexcept {
  return b <= 0x06 || b == 0x0E || b == 0x1E || b == 0x20 || b == 0x21 || b == 0x25 || b == 0x30 || b == 0x31 ||
         (b >= 0x4E && b <= 0x9F) || (b >= 0xAC && b <= 0xD7) || b == 0xFF;
}

struct ScriptPages {
  bool on[256];
  constexpr ScriptPages() : on() {
    for (unsigned b = 0; b < 256; ++b) on[b] = IsScriptPage(b);
  }
};
constexpr ScriptPages kScriptPages;

// Whether none of the eight bytes is 0x80 or above, 0 (UTF-16), ESC (ISO-2022), SO or SI.
bool IsPlainAsciiWord(std::uint64_t word) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const auto hasByte = [](std::uint64_t w, std::uint8_t value) {
    const std::uint64_t x = w ^ (kOnes * value);
    return ((x - kOnes) & ~x & kHighs) != 0;
  };
  return (word & kHighs) == 0 && !hasByte(word, 0) && !hasByte(word, 0x1B) && !hasByte(word, 0x0E) &&
         !hasByte(word, 0x0F);
}

}  // namespace

void CMultiByteStructure::Step(std::uint8_t b) noexcept {
  if (euc_.alive) StepEuc(b);
  if (sjis_.alive) StepSjis(b);
  if (gb_.alive) StepGb(b);
  if (big5_.alive) StepBig5(b);
}

void CMultiByteStructure::StepEuc(std::uint8_t b) noexcept {
  switch (euc_.state) {
    case 0: EucBetween(euc_, b); break;
    case 1:
      if (In(b, 0xA1, 0xFE)) {
        const std::uint8_t lead = euc_.lead;
        eucKana_ += (lead == 0xA4 || lead == 0xA5) ? 1u : 0u;
        eucHangul_ += In(lead, 0xB0, 0xC8) ? 1u : 0u;
        eucUpper_ += In(lead, 0xC9, 0xFE) ? 1u : 0u;
        Complete(euc_, In(lead, 0xA1, 0xA5) || In(lead, 0xB0, 0xF7), b);
      } else {
        Broken(euc_, b, EucBetween);
      }
      break;
    case 2:
      if (In(b, 0xA1, 0xDF)) {
        ++eucKana_;
        Complete(euc_, true, b);
      } else {
        Broken(euc_, b, EucBetween);
      }
      break;
    case 3:
      if (In(b, 0xA1, 0xFE)) {
        euc_.state = 1;  // the pair after SS3 reads like any other
        euc_.lead = 0xFE;
      } else {
        Broken(euc_, b, EucBetween);
      }
      break;
    default: break;
  }
}

// Shift_JIS: punctuation and kana (81..84) and the first level of kanji (88..9F) are common.
void CMultiByteStructure::StepSjis(std::uint8_t b) noexcept {
  if (sjis_.state == 0) {
    SjisBetween(sjis_, b);
  } else if (In(b, 0x40, 0x7E) || In(b, 0x80, 0xFC)) {
    Complete(sjis_, In(sjis_.lead, 0x81, 0x84) || In(sjis_.lead, 0x88, 0x9F), b);
  } else {
    Broken(sjis_, b, SjisBetween);
  }
}

// GB18030: GB2312's punctuation rows and its first level of hanzi (B0..D7) are common;
// `marked` counts trails above A0, which GB2312 text always has and Big5 often not.
void CMultiByteStructure::StepGb(std::uint8_t b) noexcept {
  switch (gb_.state) {
    case 0: LeadBetween(gb_, b); break;
    case 1:
      if (In(b, 0x30, 0x39)) {
        gb_.state = 2;
      } else if (In(b, 0x40, 0x7E) || In(b, 0x80, 0xFE)) {
        gb_.marked += b >= 0xA1 ? 1u : 0u;
        Complete(gb_, b >= 0xA1 && (In(gb_.lead, 0xA1, 0xA3) || In(gb_.lead, 0xB0, 0xF7)), b);
      } else {
        Broken(gb_, b, LeadBetween);
      }
      break;
    case 2:
      if (In(b, 0x81, 0xFE)) {
        gb_.state = 3;
      } else {
        Broken(gb_, b, LeadBetween);
      }
      break;
    default:
      if (In(b, 0x30, 0x39)) {
        Complete(gb_, true, 0x80);
      } else {
        Broken(gb_, b, LeadBetween);
      }
      break;
  }
}

// Big5: punctuation (A1..A3) and the frequent hanzi (A4..C6) are common.
void CMultiByteStructure::StepBig5(std::uint8_t b) noexcept {
  if (big5_.state == 0) {
    LeadBetween(big5_, b);
  } else if (In(b, 0x40, 0x7E) || In(b, 0xA1, 0xFE)) {
    big5_.marked += b < 0x80 ? 1u : 0u;
    Complete(big5_, In(big5_.lead, 0xA1, 0xC6), b);
  } else {
    Broken(big5_, b, LeadBetween);
  }
}

std::size_t CMultiByteStructure::AddPlainAscii(const std::uint8_t* data, std::size_t size) noexcept {
  const bool between = (euc_.state | sjis_.state | gb_.state | big5_.state) == 0;
  const bool utf32 = utf32Le_ == utf32Units_ || utf32Be_ == utf32Units_;
  // An escape among the window's last three bytes still completes a sequence with the next ones.
  const bool escapePending = highBytes_ == 0 && ((window_ & 0xFF) == 0x1B || ((window_ >> 8) & 0xFF) == 0x1B ||
                                                 ((window_ >> 16) & 0xFF) == 0x1B);
  // The first four bytes are read one by one, as a UTF-32 unit is read while one could start.
  if (utf32 || !between || escapePending) return 0;
  std::uint64_t onPage[2] = {};  // at even and odd distances from total_
  std::size_t i = 0;
  for (; size - i >= 8; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (!IsPlainAsciiWord(word)) break;
    for (std::size_t k = 0; k < 8; ++k) onPage[k & 1] += kScriptPages.on[data[i + k]] ? 1u : 0u;
  }
  if (i == 0) return 0;
  onScriptPage_[total_ & 1] += onPage[0];
  onScriptPage_[(total_ + 1) & 1] += onPage[1];
  total_ += i;
  if (highBytes_ == 0) {
    window_ = std::uint32_t{data[i - 4]} << 24 | std::uint32_t{data[i - 3]} << 16 | std::uint32_t{data[i - 2]} << 8 |
              data[i - 1];
  }
  return i;
}

void CMultiByteStructure::Add(const std::uint8_t* data, std::size_t size) noexcept {
  std::size_t i = 0;
  std::size_t nextTry = 0;  // of the word path: not again before a word's length was read
  while (i < size) {
    // Most of a text is ASCII between characters, where only the counts move.
    if (i >= nextTry && size - i >= 8) {
      if (const std::size_t plain = AddPlainAscii(data + i, size - i); plain != 0) {
        i += plain;
        continue;
      }
      nextTry = i + 8;
    }
    const std::uint8_t b = data[i++];
    if (total_ < 4) head_[total_] = b;
    onScriptPage_[total_ & 1] += kScriptPages.on[b] ? 1u : 0u;
    zeros_[total_ & 1] += b == 0 ? 1u : 0u;
    // UTF-32 only while every unit so far is a code point in one order or the other.
    if (utf32Le_ == utf32Units_ || utf32Be_ == utf32Units_) {
      group_ = (group_ << 8) | b;
      if (total_ % 4 == 3) {
        // Code points up to 10FFFF: the top byte 0, the next at most 10.
        const std::uint32_t le =
            ((group_ & 0xFF) << 24) | ((group_ & 0xFF00) << 8) | ((group_ >> 8) & 0xFF00) | (group_ >> 24);
        utf32Le_ += le <= 0x10FFFF ? 1u : 0u;
        utf32Be_ += group_ <= 0x10FFFF ? 1u : 0u;
        utf32Nonzero_ += group_ != 0 ? 1u : 0u;
        ++utf32Units_;
      }
    }
    ++total_;
    // ISO-2022 only while the text is 7-bit.
    if (highBytes_ == 0) {
      window_ = (window_ << 8) | b;
      if (((window_ >> 16) & 0xFF) == 0x1B || (window_ >> 24) == 0x1B) CountEscape();
      shiftOut_ += b == 0x0E ? 1u : 0u;
      shiftIn_ += b == 0x0F ? 1u : 0u;
    }
    const bool between = (euc_.state | sjis_.state | gb_.state | big5_.state) == 0;
    if (b < 0x80 && between) continue;  // ASCII between characters changes no reading
    highBytes_ += b >= 0x80 ? 1u : 0u;
    Step(b);
  }
}

void CMultiByteStructure::CountEscape() noexcept {
  const std::uint32_t three = window_ & 0xFFFFFF;
  if (three == 0x1B2440 || three == 0x1B2442 || window_ == 0x1B242844) ++escapesJp_;
  if (window_ == 0x1B242943) ++escapesKr_;
  if (three == 0x1B2441 || window_ == 0x1B242941 || window_ == 0x1B242947 || window_ == 0x1B242A48) ++escapesCn_;
}

const char* CMultiByteStructure::Iso2022Family() const noexcept {
  // ISO-2022 is 7-bit: a high byte means the escapes are something else.
  if (highBytes_ != 0) return nullptr;
  if (escapesJp_ != 0) return "ISO-2022-JP";
  if (escapesKr_ != 0) return "ISO-2022-KR";
  if (escapesCn_ != 0) return "ISO-2022-CN";
  // Korean text shifts out to its Hangul (SO, 0E) and back (SI, 0F); a text cut after the one
  // designation at its start still has them.
  if (shiftOut_ != 0 && shiftIn_ != 0 && shiftOut_ + 1 >= shiftIn_ && shiftIn_ + 1 >= shiftOut_) return "ISO-2022-KR";
  return nullptr;
}

const char* CMultiByteStructure::Utf32Family() const noexcept {
  if (total_ < 4 || total_ % 4 != 0) return nullptr;
  const bool bomLe = head_[0] == 0xFF && head_[1] == 0xFE && head_[2] == 0 && head_[3] == 0;
  const bool bomBe = head_[0] == 0 && head_[1] == 0 && head_[2] == 0xFE && head_[3] == 0xFF;
  // Without a byte order mark, every unit must be a code point, and most of them not zero.
  const bool text = utf32Nonzero_ * 2 > utf32Units_;
  if (utf32Le_ == utf32Units_ && (bomLe || (utf32Units_ >= 4 && text))) return "UTF-32LE";
  if (utf32Be_ == utf32Units_ && (bomBe || (utf32Units_ >= 4 && text))) return "UTF-32BE";
  return nullptr;
}

const char* CMultiByteStructure::Family() const noexcept {
  if (const char* family = Utf32Family()) return family;
  if (const char* family = Iso2022Family()) return family;
  // EUC first: its bytes are the narrowest, and EUC text also pairs up as the others.
  if (Fits(euc_)) {
    if (eucKana_ * 10 >= euc_.wide) return "EUC-JP";
    // Korean stays in the Hangul rows; Chinese spreads over the hanzi rows C9..F7 as well.
    if (eucHangul_ * 10 >= euc_.wide * 6 && eucUpper_ * 20 <= euc_.wide) return "EUC-KR";
    return "GB18030";
  }
  // Shift_JIS: half-width kana are rare in Japanese text, frequent in a single-byte text read
  // as Shift_JIS (its accented letters fall in A1..DF).
  if (Fits(sjis_) && sjis_.marked * 4 <= sjis_.wide) return "Shift_JIS";
  const bool big5 = Fits(big5_);
  const bool gb = Fits(gb_);
  // Both fit when every trail is above A0: then it is GB2312 text, which Big5 reads as rare
  // characters more often than not; Big5 text has trails 40..7E in about a third of its characters.
  if (big5 && (!gb || big5_.marked * 10 >= big5_.wide)) return "Big5";
  if (gb) return "GB18030";
  return nullptr;
}

std::int32_t CMultiByteStructure::Utf16Order() const noexcept {
  const std::uint64_t units = total_ / 2;
  // A text of an odd number of bytes is no UTF-16 (the sample's pieces are whole units, only a
  // file's last piece can be odd).
  if (units < 8 || total_ % 2 != 0) return -1;
  // All but one in 20 high bytes on a script's page, and the low bytes clearly not: ASCII text
  // has both halves there, single-byte text of other scripts neither. ASCII alone is UTF-16 only
  // with zero high bytes; a single-byte text that passes reads as ordinary text in its table,
  // which the caller checks.
  const auto order = [&](int high) {
    return onScriptPage_[high] * 20 >= units * 19 && onScriptPage_[1 - high] * 4 <= units * 3 &&
           (zeros_[high] > zeros_[1 - high] || highBytes_ != 0);
  };
  if (order(1)) return kCharsetUtf16;
  if (order(0)) return kCharsetUtf16Be;
  return -1;
}

std::uint32_t CMultiByteStructure::WideCharacters() const noexcept {
  const char* family = Family();
  if (family == nullptr) return 0;
  switch (family[0]) {
    case 'E': return euc_.wide;
    case 'S': return sjis_.wide;
    case 'B': return big5_.wide;
    case 'G': return gb_.wide;
    default:  // ISO-2022 and UTF-32: every character counts, the structure is unmistakable
      return static_cast<std::uint32_t>(total_ / 2);
  }
}

}  // namespace glyphshift::engine
