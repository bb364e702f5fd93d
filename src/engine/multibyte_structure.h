// The sets the program cannot convert, recognised by their byte structure: the East Asian
// multi-byte sets, the 7-bit ISO-2022 forms and UTF-32. A text is fed in pieces; nothing of it
// is kept but a few counters per set.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glyphshift::engine {

class CMultiByteStructure {
 public:
  void Add(const std::uint8_t* data, std::size_t size) noexcept;
  // The set the text so far is in ("Shift_JIS", "EUC-JP", "EUC-KR", "GB18030", "Big5",
  // "ISO-2022-JP", "ISO-2022-KR", "ISO-2022-CN", "UTF-32LE", "UTF-32BE"), or null when its
  // structure fits none of them well enough.
  const char* Family() const noexcept;
  // Characters of two bytes or more in the family Family() names (0 for none): how much
  // evidence there is.
  std::uint32_t WideCharacters() const noexcept;
  // kCharsetUtf16 or kCharsetUtf16Be when the text reads as UTF-16 without a byte order mark
  // (every other byte on the pages of some script, the others anywhere); -1 otherwise.
  std::int32_t Utf16Order() const noexcept;
  // Equal after the same bytes, however they were cut into pieces.
  bool operator==(const CMultiByteStructure&) const = default;

  // One multi-byte set's reading of the text: a small state machine over the bytes.
  struct Reading {
    bool alive = true;              // false once the errors rule the set out: no longer read
    std::uint8_t state = 0;         // 0 between characters; otherwise how far into one
    std::uint8_t lead = 0;          // the first byte of the character under way
    std::uint32_t wide = 0;         // characters of two bytes or more
    std::uint32_t errors = 0;       // bytes that break the structure
    std::uint32_t common = 0;       // wide characters in the rows ordinary text uses most
    std::uint32_t marked = 0;       // wide characters that tell this set from its neighbours (see .cpp)
    std::uint32_t asciiTrails = 0;  // wide characters whose last byte is below 0x80
    bool operator==(const Reading&) const = default;
  };

 private:
  void Step(std::uint8_t byte) noexcept;
  void StepEuc(std::uint8_t byte) noexcept;
  void StepSjis(std::uint8_t byte) noexcept;
  void StepGb(std::uint8_t byte) noexcept;
  void StepBig5(std::uint8_t byte) noexcept;
  void CountEscape() noexcept;
  // The plain ASCII words at the front of `data`, taken in at once where the byte-by-byte reading
  // would only count them; returns the bytes taken (0: none, read them one by one).
  std::size_t AddPlainAscii(const std::uint8_t* data, std::size_t size) noexcept;
  const char* Iso2022Family() const noexcept;
  const char* Utf32Family() const noexcept;

  std::uint64_t total_ = 0;
  std::uint64_t highBytes_ = 0;
  std::uint32_t window_ = 0;  // the last four bytes, for the ISO-2022 escape sequences
  std::uint32_t escapesJp_ = 0, escapesKr_ = 0, escapesCn_ = 0;
  std::uint32_t shiftOut_ = 0, shiftIn_ = 0;
  std::uint64_t zeros_[2] = {};         // zero bytes at even and odd offsets
  std::uint64_t onScriptPage_[2] = {};  // bytes at even and odd offsets that could be a UTF-16 unit's high byte
  std::uint8_t head_[4] = {};
  std::uint32_t group_ = 0;  // the four bytes of the UTF-32 unit under way
  std::uint64_t utf32Le_ = 0, utf32Be_ = 0, utf32Units_ = 0, utf32Nonzero_ = 0;
  Reading euc_, sjis_, gb_, big5_;
  std::uint32_t eucKana_ = 0;    // EUC characters in the kana rows (Japanese)
  std::uint32_t eucHangul_ = 0;  // EUC characters whose lead is in the Hangul rows B0..C8
  std::uint32_t eucUpper_ = 0;   // EUC characters whose lead is C9..FE (Chinese, Hanja)
};

}  // namespace glyphshift::engine
