// What a conversion cannot carry over, found in the same pass as the conversion: the source's
// bytes that do not decode, the characters the destination has no encoding for, and whether
// the source is text at all. The stream hands the check every chunk it decodes and, for a
// single-byte destination, every part it encodes; fast scans pass over clean text and only the
// chunks they flag are looked at character by character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/charset_catalogue.h"
#include "engine/detection.h"
#include "engine/text_scan.h"

namespace glyphshift {

// A place in a text: line and column, 1-based, counted in characters.
struct TextPlace {
  std::uint64_t line = 0;
  std::uint64_t column = 0;
};

// One kind of loss: how much, and where its first instance is.
struct LossTally {
  static constexpr std::uint64_t kNowhere = ~std::uint64_t{0};
  std::uint64_t count = 0;
  std::uint64_t firstIndex = kNowhere;  // in units of the text where it was found (see LossReport)
  TextPlace place;                      // filled in afterwards (see PlaceLosses)

  void Note(std::uint64_t index, std::uint64_t amount = 1) {
    if (count == 0) firstIndex = index;
    count += amount;
  }
};

struct LossReport {
  // Source bytes that do not decode: undefined in the table, malformed or overlong UTF-8, a lone
  // surrogate (two bytes). `firstIndex` counts units of the decoded text.
  LossTally undecodable;
  // Characters the destination has no encoding for; `firstIndex` counts units of the text as
  // it is encoded (after line breaks and markup are rewritten).
  LossTally unencodable;
  // The source's byte offset of the first character that is no text (U+0000, or a C0 control
  // other than TAB, LF, VT, FF, CR, BS, ESC and SUB).
  std::optional<std::uint64_t> binaryAt;
  // Bytes 0x80-0x9F were read (asked for when ISO-8859-1 was a guess: its relatives use them).
  bool c1Bytes = false;
  // A UTF-16 source ended with half a unit.
  bool oddByte = false;
  // (ISO-8859-1 guesses) the text holds what ISO-8859-1 reads as control codes, but reads as
  // UTF-16 without a byte order mark: text after all, not binary data.
  bool readsAsUtf16 = false;

  bool Lossy() const { return undecodable.count != 0 || unencodable.count != 0 || oddByte; }
};

// A chunk the stream has decoded: its bytes, where they start in the source, and its units,
// which an observer may rewrite (same number). `flagged`: the engine reported undefined or
// malformed input in it. `units` is null for a single-byte source converted straight to UTF-8
// (see CStreamObserver::JudgesBytesAlone): one unit per byte, an undefined byte's already
// U+FFFD.
struct DecodedChunk {
  const std::uint8_t* bytes;
  std::size_t byteCount;
  std::uint64_t sourceOffset;
  char16_t* units;
  std::size_t unitCount;
  std::uint64_t unitIndex;  // of the first unit, in the whole decoded text
  bool flagged;
  bool last;  // the text ends with this chunk
};

// What the stream tells about the text while it converts it. Returning false stops the
// conversion (the stream reports it as stopped, not failed).
class CStreamObserver {
 public:
  virtual ~CStreamObserver() = default;
  virtual bool Decoded(const DecodedChunk& chunk) = 0;
  // Whether, for a single-byte source, the observer judges a chunk by its bytes alone and
  // needs no Encoding calls: the stream may then convert the bytes straight to UTF-8, without
  // the units between (the chunks it hands over have none).
  virtual bool JudgesBytesAlone() const { return false; }
  // Units about to be encoded, from `unitIndex` of the encoded text.
  virtual bool Encoding(const char16_t* units, std::size_t count, std::uint64_t unitIndex) {
    static_cast<void>(units), static_cast<void>(count), static_cast<void>(unitIndex);
    return true;
  }
  // The same units once encoded into a single-byte destination: one byte each.
  virtual void EncodedSingleBytes(const char16_t* units, std::size_t count, const std::uint8_t* bytes,
                                  std::uint64_t unitIndex) {
    static_cast<void>(units), static_cast<void>(count), static_cast<void>(bytes), static_cast<void>(unitIndex);
  }
  // After the last chunk; `oddByte`: a UTF-16 source ended with half a unit, at `sourceSize` - 1.
  virtual void Finished(bool oddByte, std::uint64_t sourceSize, std::uint64_t decodedUnits) {
    static_cast<void>(oddByte), static_cast<void>(sourceSize), static_cast<void>(decodedUnits);
  }
};

struct LossCheckSettings {
  bool binaryAllowed = false;  // "/binary": no need to look for binary data
  bool noteC1Bytes = false;    // ISO-8859-1 was a guess of the byte rules
};

class CLossCheck final : public CStreamObserver {
 public:
  CLossCheck(CharsetCode source, CharsetCode destination, const LossCheckSettings& settings);

  bool Decoded(const DecodedChunk& chunk) override;
  bool JudgesBytesAlone() const override { return true; }
  void EncodedSingleBytes(const char16_t* units, std::size_t count, const std::uint8_t* bytes,
                          std::uint64_t unitIndex) override;
  void Finished(bool oddByte, std::uint64_t sourceSize, std::uint64_t decodedUnits) override;

  // The findings, once the stream has finished (places not yet filled in).
  const LossReport& Report() const { return report_; }

 private:
  bool CheckSingleByte(const DecodedChunk& chunk);
  bool ReadsAsUtf16(const DecodedChunk& chunk) const;
  bool CheckUtf8(const DecodedChunk& chunk);
  bool CheckUtf16(const DecodedChunk& chunk);

  CharsetCode source_;
  CharsetCode destination_;
  bool singleByteDestination_;
  std::uint32_t binaryControls_;  // bit u set for a unit u below 0x20 that is no text
  engine::CByteScanner watched_;  // source bytes a chunk is looked at closely for
  engine::ByteSet binaryBytes_;   // those that are (or decode to) binary data
  engine::CByteScanner binaryScanner_;
  bool noteC1_;
  std::uint64_t replacements_ = 0;      // U+FFFD the decoding side wrote for what it could not decode
  bool highBefore_ = false;             // the last unit encoded was a high surrogate turned into "?"
  std::uint64_t unencodableUnits_ = 0;  // "?" for a character with no byte, U+FFFD included
  std::uint64_t replacementUnits_ = 0;  // ... of them for U+FFFD
  std::uint64_t firstOther_ = LossTally::kNowhere;
  std::uint64_t firstReplacement_ = LossTally::kNowhere;
  LossReport report_;
};

// Fills in the places of the report's first losses: replays the conversion with `replay`, a
// function that runs the same stream over the same source with the observer it is given, and
// counts lines and columns up to each first index. Nothing to do for a report without loss.
template <class Replay>
void PlaceLosses(LossReport& report, Replay replay);

// Counts lines and columns in the decoded text and in the text as it is encoded, up to the two
// indices asked for, then stops the replay.
class CPlaceFinder final : public CStreamObserver {
 public:
  CPlaceFinder(std::uint64_t decodedIndex, std::uint64_t encodedIndex);
  bool Decoded(const DecodedChunk& chunk) override;
  bool Encoding(const char16_t* units, std::size_t count, std::uint64_t unitIndex) override;
  void Finished(bool oddByte, std::uint64_t sourceSize, std::uint64_t decodedUnits) override;
  TextPlace DecodedPlace() const { return decoded_.place; }
  TextPlace EncodedPlace() const { return encoded_.place; }

 private:
  struct Counter {
    std::uint64_t target;
    TextPlace place;
    bool found = false;
    std::uint64_t line = 1;
    std::uint64_t column = 1;
    bool afterCr = false;
    bool afterHigh = false;
    bool Walk(const char16_t* units, std::size_t count, std::uint64_t unitIndex);
  };
  Counter decoded_;
  Counter encoded_;
};

template <class Replay>
void PlaceLosses(LossReport& report, Replay replay) {
  if (report.undecodable.count == 0 && report.unencodable.count == 0) return;
  CPlaceFinder finder(report.undecodable.firstIndex, report.unencodable.firstIndex);
  replay(finder);
  if (report.undecodable.count != 0) report.undecodable.place = finder.DecodedPlace();
  if (report.unencodable.count != 0) report.unencodable.place = finder.EncodedPlace();
}

}  // namespace glyphshift
