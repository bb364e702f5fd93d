// The statistical detector: which of the 59 single-byte tables a text is in, judged by how its
// bytes read in each table (undefined bytes, control codes, letter pairs of the languages the
// table writes), or which multi-byte set it is in that the program cannot convert.
//
// Meant for what the byte rules of engine/detection.h leave to their single-byte fallback: it
// never answers a Unicode form the rules would have found (a byte order mark, valid UTF-8), only
// UTF-16 that opens with a character their zero-byte test cannot see, and UTF-32, which the
// program cannot convert.
//
// A caller feeds the pieces of the file that hold a byte above 0x7F first (others only when there
// are none: many ASCII letters pull the answer towards the Latin scripts), at most
// kGuessSampleBytes in all, and takes Finish(): kCharset with a confidence
// of kConfidentFrom or more: convert with `code`; kUnconvertible: refuse the file; anything else:
// keep the rules' answer. Pure: no allocation but GuessCharset's one, no OS call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/charset_catalogue.h"
#include "engine/multibyte_structure.h"

namespace glyphshift::engine {

namespace detector {
struct TableModel;
struct PresentBytes;  // the byte values a sample holds, in ascending order
}  // namespace detector

enum class GuessKind {
  kNoAnswer,       // nothing to judge by (no byte above 0x7F) or no memory: the caller's rules decide
  kCharset,        // `code` is a set the program converts: a single-byte table, or UTF-16 that
                   // the rules' zero-byte test missed (a text opening with a character beyond Latin-1)
  kUnconvertible,  // a set the program cannot convert; `family` names it
};

struct CharsetGuess {
  GuessKind kind = GuessKind::kNoAnswer;
  CharsetCode code = -1;           // kCharset: the set; among tables that read the sample alike, the
                                   // most common one (ISO-8859-1, then Windows-1252, ...)
  CharsetCode runnerUp = -1;       // kCharset: the best table that reads the sample differently, or -1
  int confidence = 0;              // 0..100: about the share of such answers that are right
  const char* family = nullptr;    // kUnconvertible: "Shift_JIS", "EUC-JP", "UTF-32LE", ...
  const char* language = nullptr;  // a table's answer: the language whose model fitted best ("de", "ru", ...)
};

// Below this confidence the answer is a guess among near-equals: the caller keeps the rules'
// fallback. On the held-out benchmark texts 174 of the 175 answers at or above it were right.
inline constexpr int kConfidentFrom = 30;

// The detector looks at this much of a text at most; more does not change its answers (64 KiB
// of a text hold every pair of letters its language uses often).
inline constexpr std::size_t kGuessSampleBytes = 64 * 1024;

// A detector fed in pieces (their bytes read as one text). About 260 KiB: allocate it.
class CCharsetGuesser {
 public:
  CCharsetGuesser() noexcept;
  // The next piece; bytes beyond kGuessSampleBytes in all are ignored. False once the sample is
  // full, so the caller may stop reading.
  bool Add(std::span<const std::uint8_t> piece) noexcept;
  // The answer for the pieces so far.
  CharsetGuess Finish() const noexcept;
  // Forgets every piece, as a new guesser would, at the cost of what was counted rather than of
  // the whole guesser (a caller judging many small files keeps one).
  void Reset() noexcept;

 private:
  // The best table; *bitsPerPair (when given) receives what its reading costs a pair of bytes.
  CharsetGuess GuessTable(double* bitsPerPair = nullptr) const noexcept;
  // The best table when it reads the sample as ordinary text, confidently; else no answer.
  CharsetGuess OrdinaryTextTable() const noexcept;
  // The cost of the sample's pairs in one table's reading: of those with a byte above 0x7F
  // (`high`), of those without (`low`).
  std::int64_t Cost(const detector::TableModel& model, const detector::PresentBytes& present, bool high,
                    bool low) const noexcept;
  // The cost of the sample's bytes one by one in one table's reading (above 0x7F, or all).
  std::int64_t SingleCost(const detector::TableModel& model, const detector::PresentBytes& present,
                          bool low) const noexcept;

  std::size_t total_ = 0;
  std::uint8_t previous_ = 0;
  std::size_t lowPairs_ = 0;                     // kinds of pair of two ASCII bytes: pairs_[0, lowPairs_)
  std::size_t highPairs_ = 0;                    // kinds of the other pairs: the last highPairs_ entries
  std::uint32_t counts_[256] = {};               // each byte value's count
  std::uint16_t pairCounts_[256 * 256] = {};     // [first << 8 | second]
  std::uint16_t pairs_[kGuessSampleBytes] = {};  // each pair that occurs, once
  CMultiByteStructure structure_;
};

// The answer for one sample; no answer when the guesser's memory cannot be had.
CharsetGuess GuessCharset(std::span<const std::uint8_t> sample) noexcept;

}  // namespace glyphshift::engine
