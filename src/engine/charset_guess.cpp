// The statistical detector. Structure first: a table that leaves a byte of the sample undefined
// is out, and the multi-byte sets are recognised by their byte patterns. Then every remaining
// table is scored with the pair costs of each language it writes; tables that read the sample
// alike are one candidate, so only real differences decide.
#include "engine/charset_guess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "engine/detector_models.h"
#include "engine/mapping_table.h"

namespace glyphshift::engine {
namespace {

using detector::kLanguageModels;
using detector::kTableModels;
using detector::LanguageModel;
using detector::TableModel;

// Among tables that read a sample alike, the answer is the set most documents are in: the byte
// rules' fallback first, then the Windows and ISO sets of each script.
constexpr CharsetCode kPreferred[] = {0, 18, 14, 16, 1,  17, 4,  20, 8,  19, 6, 21,
                                      7, 22, 5,  23, 12, 3,  15, 10, 24, 50, 51};

// What a table's own rarity costs, in bits: with few bytes to go by (a lone pound sign in an
// English page), the common sets win; a text of a few hundred letters outweighs it.
int PriorCost(CharsetCode code) noexcept {
  constexpr std::uint8_t kBits[kSingleByteTableCount] = {
      0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4, 1, 1, 1,     // ISO-8859-1 .. -15
      1, 1, 1, 0, 1, 1, 1, 1, 1, 1,                    // Windows-874, 1250 .. 1258
      2, 3, 3, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 2, 3, 3,  // DOS-437 .. DOS-874
      2, 3, 3, 2, 2, 3, 2, 2,                          // the Macintosh sets
      4, 2, 2, 4, 4, 4, 4,                             // AtariST, KOI8-R, KOI8-U, CP856, KZ-1048, CP1006, NeXT
      4, 4, 4, 4,                                      // EBCDIC
  };
  return kBits[code] * detector::kCostsPerBit;
}

int Rank(CharsetCode code) noexcept {
  const auto* at = std::find(std::begin(kPreferred), std::end(kPreferred), code);
  return at != std::end(kPreferred) ? static_cast<int>(at - std::begin(kPreferred)) : 100 + code;
}

// The confidence a margin buys: every 6 bits between the best reading and the next halve the
// doubt. So set, the answers rated 90 or more were right in all 169 held-out benchmark samples.
constexpr double kBitsPerHalving = 6.0;
// An answer among near-equals that are all far better than the fallback rates at most this:
// such answers were right 5 times in 6 on the held-out texts, where the fallback was right in none.
constexpr double kBetterThanFallback = 0.6;
// Ordinary text costs 3 to 5 bits a pair in its own language's model; a sample that costs more
// than this in its best reading looks like no language (binary data, a set none of ours is).
constexpr double kImplausibleBits = 9.0;
// A text costs at most this a pair in the model of its own language and table (4.6 bits for a
// Thai sample of 500 bytes); East Asian samples read in any single-byte table cost 10 to 17.
constexpr double kOrdinaryTextBits = 6.0;
// So many wide characters of an East Asian set do not come together by chance.
constexpr std::uint32_t kWideCharactersBeyondDoubt = 400;
// Below this many pairs a rare mark alone can cost that much.
constexpr std::int64_t kPlausibilityPairs = 20;

// Tables that read the present bytes alike, with the best language reading of them.
struct Group {
  std::uint64_t languages = 0;  // bit l: language l already scored
  std::uint64_t signature = 0;
  CharsetCode representative = -1;
  std::int64_t cost = INT64_MAX;
  std::int64_t pairCost = 0;  // the part of `cost` the sample's pairs make
  int language = -1;
};

}  // namespace

// A short text holds a few dozen of the 256 byte values: every loop over the tables and models
// visits only those.
struct detector::PresentBytes {
  std::uint8_t values[256];
  int count = 0;
  int firstHigh = 0;  // values[firstHigh, count) are above 0x7F

  explicit PresentBytes(const std::uint32_t* counts) noexcept {
    for (unsigned b = 0; b < 256; ++b) {
      if (b == 0x80) firstHigh = count;
      if (counts[b] != 0) values[count++] = static_cast<std::uint8_t>(b);
    }
  }
  const std::uint8_t* First(bool low) const noexcept { return values + (low ? 0 : firstHigh); }
  const std::uint8_t* End() const noexcept { return values + count; }
};

namespace {

using detector::PresentBytes;

std::uint64_t Signature(const MappingTable& table, const PresentBytes& present) noexcept {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the units of the present bytes
  for (const std::uint8_t* b = present.First(true); b != present.End(); ++b) {
    hash = (hash ^ table.units[*b]) * 1099511628211ull;
  }
  return hash;
}

bool ReadAlike(const MappingTable& a, const MappingTable& b, const PresentBytes& present) noexcept {
  for (const std::uint8_t* byte = present.First(true); byte != present.End(); ++byte) {
    if (a.units[*byte] != b.units[*byte]) return false;
  }
  return true;
}

// EBCDIC text spaces with 0x40 (ASCII's @) and has its letters above 0x80; ASCII text has its
// spaces at 0x20. One in 25 bytes is a space in any text with words.
bool LooksLikeEbcdic(const std::uint32_t* counts, std::size_t total) noexcept {
  return counts[0x40] * 25 >= total && counts[0x40] > 4 * counts[0x20];
}

// One language reading of one group of tables, scored first by its bytes alone.
struct Candidate {
  int model;
  int group;
  std::int64_t fixedCost;  // the prior and the ASCII letters
  std::int64_t bytesCost;  // fixedCost and each byte's class and character
};
// Readings scored by their pairs: the best 12 by bytes alone give the same answers as the best 24
// on every benchmark sample (the best 6 lose two).
constexpr int kFullyScored = 12;

// Codes with a catalogue record, looked up once: the catalogue is a list of some 190 names, and
// searching it for every table of every file was 4% of a run over 4,000 small files.
bool Listed(CharsetCode code) noexcept {
  static const auto listed = [] {
    std::array<bool, kSingleByteTableCount> codes{};
    for (CharsetCode c = 0; c < kSingleByteTableCount; ++c)
      codes[static_cast<std::size_t>(c)] = PrimaryRecordFromCode(c) != nullptr;
    return codes;
  }();
  return listed[static_cast<std::size_t>(code)];
}

bool Defines(const MappingTable& table, const PresentBytes& present) noexcept {
  for (const std::uint8_t* b = present.First(true); b != present.End(); ++b) {
    if (table.units[*b] == kMappingUndefined) return false;
  }
  return true;
}

}  // namespace

CCharsetGuesser::CCharsetGuesser() noexcept = default;

bool CCharsetGuesser::Add(std::span<const std::uint8_t> piece) noexcept {
  const std::size_t room = kGuessSampleBytes - total_;
  const std::size_t size = std::min(room, piece.size());
  const std::uint8_t* data = piece.data();
  structure_.Add(data, size);
  std::uint8_t previous = previous_;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    ++counts_[b];
    if (total_ + i != 0) {
      const auto pair = static_cast<std::uint16_t>(previous << 8 | b);
      if (pairCounts_[pair]++ == 0) {
        // Pairs of ASCII bytes from the front, the others from the back: the ASCII sets all read
        // the former alike, so only the EBCDIC readings score them.
        if ((pair & 0x8080) == 0) {
          pairs_[lowPairs_++] = pair;
        } else {
          pairs_[kGuessSampleBytes - ++highPairs_] = pair;
        }
      }
    }
    previous = b;
  }
  previous_ = previous;
  total_ += size;
  return total_ < kGuessSampleBytes;
}

void CCharsetGuesser::Reset() noexcept {
  for (std::size_t i = 0; i < lowPairs_; ++i) pairCounts_[pairs_[i]] = 0;
  for (std::size_t i = 0; i < highPairs_; ++i) pairCounts_[pairs_[kGuessSampleBytes - 1 - i]] = 0;
  std::fill(std::begin(counts_), std::end(counts_), 0u);
  total_ = 0;
  previous_ = 0;
  lowPairs_ = 0;
  highPairs_ = 0;
  structure_ = CMultiByteStructure();
}

std::int64_t CCharsetGuesser::Cost(const TableModel& model, const PresentBytes& present, bool high,
                                   bool low) const noexcept {
  const LanguageModel& language = kLanguageModels[model.language];
  const int k = language.classCount;
  const std::uint8_t* costs = language.pairCosts;
  const std::uint8_t* classes = model.classes;
  std::int64_t sum = 0;
  const auto add = [&](const std::uint16_t* begin, const std::uint16_t* end) {
    for (const std::uint16_t* p = begin; p != end; ++p) {
      const std::uint16_t pair = *p;
      sum += std::int64_t{pairCounts_[pair]} * costs[classes[pair >> 8] * k + classes[pair & 0xFF]];
    }
  };
  if (low) add(pairs_, pairs_ + lowPairs_);
  if (high) add(pairs_ + kGuessSampleBytes - highPairs_, pairs_ + kGuessSampleBytes);
  const std::uint8_t* end = high ? present.End() : present.values + present.firstHigh;
  for (const std::uint8_t* b = present.First(low); b < end; ++b) sum += std::int64_t{counts_[*b]} * model.emissions[*b];
  return sum;
}

std::int64_t CCharsetGuesser::SingleCost(const TableModel& model, const PresentBytes& present,
                                         bool low) const noexcept {
  const std::uint8_t* single = kLanguageModels[model.language].singleCosts;
  std::int64_t sum = 0;
  for (const std::uint8_t* b = present.First(low); b != present.End(); ++b) {
    sum += std::int64_t{counts_[*b]} * (single[model.classes[*b]] + model.emissions[*b]);
  }
  return sum;
}

CharsetGuess CCharsetGuesser::GuessTable(double* bitsPerPair) const noexcept {
  const PresentBytes present(counts_);
  Group groups[kSingleByteTableCount];
  int groupCount = 0;
  int groupOf[kSingleByteTableCount];
  for (CharsetCode code = 0; code < kSingleByteTableCount; ++code) {
    groupOf[code] = -1;
    if (!Listed(code) || !Defines(kMappingTables[code], present)) continue;
    const std::uint64_t signature = Signature(kMappingTables[code], present);
    int g = 0;
    while (g < groupCount && (groups[g].signature != signature ||
                              !ReadAlike(kMappingTables[groups[g].representative], kMappingTables[code], present))) {
      ++g;
    }
    if (g == groupCount) {
      groups[groupCount++].signature = signature;
      groups[g].representative = code;
    } else if (Rank(code) < Rank(groups[g].representative)) {
      groups[g].representative = code;
    }
    groupOf[code] = g;
  }

  // EBCDIC text and ASCII text share no reading of their letters: the structure tells them
  // apart, and each side is then scored on pairs that the other side's tables cannot claim.
  const bool ebcdic = LooksLikeEbcdic(counts_, total_);
  std::int64_t asciiLetters = 0;
  for (unsigned b = 'A'; b <= 'z'; ++b) asciiLetters += (b <= 'Z' || b >= 'a') ? counts_[b] : 0;
  std::int64_t pairTotal = 0;
  for (std::size_t i = 0; i < highPairs_; ++i) pairTotal += pairCounts_[pairs_[kGuessSampleBytes - 1 - i]];
  if (ebcdic) {
    for (std::size_t i = 0; i < lowPairs_; ++i) pairTotal += pairCounts_[pairs_[i]];
  }

  // Every language reading of every group is first scored by its bytes alone, which costs a
  // look-up per byte value; only the best kFullyScored go on to the pairs, which cost a look-up
  // per kind of pair (up to 65535 in random data: 30 ms for all readings, 1 ms for these).
  Candidate candidates[detector::kMaxTableModels];
  int candidateCount = 0;
  for (int m = 0; m < detector::kTableModelCount; ++m) {
    const TableModel& model = kTableModels[m];
    const int g = groupOf[model.code];
    if (g < 0 || IsAsciiCompatible(model.code) == ebcdic) continue;
    Group& group = groups[g];
    const std::uint64_t bit = std::uint64_t{1} << model.language;
    if ((group.languages & bit) != 0) continue;  // read alike: the same cost
    group.languages |= bit;
    const std::int64_t fixed =
        PriorCost(model.code) +
        (ebcdic ? 0 : asciiLetters * kLanguageModels[model.language].asciiLetterCost * detector::kCostsPerBit / 1024);
    candidates[candidateCount++] = {m, g, fixed, fixed + SingleCost(model, present, ebcdic)};
  }
  const auto byBytes = [](const Candidate& a, const Candidate& b) {
    return a.bytesCost != b.bytesCost ? a.bytesCost < b.bytesCost : a.model < b.model;
  };
  const int scored = std::min(candidateCount, kFullyScored);
  std::partial_sort(candidates, candidates + scored, candidates + candidateCount, byBytes);
  // The fallback's reading too, for the confidence (its best by bytes alone).
  int fallback = -1;
  for (int i = scored; i < candidateCount && groupOf[0] >= 0; ++i) {
    if (candidates[i].group == groupOf[0] && (fallback < 0 || byBytes(candidates[i], candidates[fallback])))
      fallback = i;
  }
  for (int i = 0; i < candidateCount; ++i) {
    if (i >= scored && i != fallback) continue;
    const Candidate& c = candidates[i];
    const TableModel& model = kTableModels[c.model];
    Group& group = groups[c.group];
    // The ASCII sets read ASCII alike: only pairs with a byte above 0x7F tell them apart. (The
    // languages' ASCII statistics differ with their sources, manual pages or word lists, more
    // than with the languages.)
    const std::int64_t pairs = Cost(model, present, /*high=*/true, /*low=*/ebcdic);
    const std::int64_t cost = pairs + c.fixedCost;
    if (cost < group.cost || (cost == group.cost && model.language < group.language)) {
      group.cost = cost;
      group.pairCost = pairs;
      group.language = model.language;
    }
  }

  int best = -1;
  int second = -1;
  for (int g = 0; g < groupCount; ++g) {
    if (groups[g].language < 0) continue;  // no model: a table no language of ours is written in
    const auto better = [&](int other) {
      return other < 0 || groups[g].cost < groups[other].cost ||
             (groups[g].cost == groups[other].cost &&
              Rank(groups[g].representative) < Rank(groups[other].representative));
    };
    if (better(best)) {
      second = best;
      best = g;
    } else if (better(second)) {
      second = g;
    }
  }
  CharsetGuess guess;
  if (best < 0) return guess;
  guess.kind = GuessKind::kCharset;
  guess.code = groups[best].representative;
  guess.language = kLanguageModels[groups[best].language].name;
  if (second >= 0) guess.runnerUp = groups[second].representative;
  // Sure of the answer against its runner-up, or at least against the caller's fallback: tables
  // that are near-equals but all far better than ISO-8859-1 read most letters alike, where the
  // fallback reads none of them right; such an answer rates at most kBetterThanFallback.
  const auto sureBy = [&](int other) {
    if (other < 0) return 1.0;
    const double bits = static_cast<double>(groups[other].cost - groups[best].cost) / detector::kCostsPerBit;
    return 1.0 - std::exp2(-bits / kBitsPerHalving);
  };
  double confidence = sureBy(second);
  if (groupOf[0] >= 0 && groupOf[0] != best)
    confidence = std::max(confidence, kBetterThanFallback * sureBy(groupOf[0]));
  const double perPair = static_cast<double>(groups[best].pairCost) / detector::kCostsPerBit /
                         static_cast<double>(std::max<std::int64_t>(pairTotal, 1));
  if (pairTotal >= kPlausibilityPairs && perPair > kImplausibleBits) confidence *= kImplausibleBits / perPair / 2;
  if (bitsPerPair != nullptr) *bitsPerPair = perPair;
  guess.confidence = static_cast<int>(std::lround(100 * std::clamp(confidence, 0.0, 1.0)));
  return guess;
}

CharsetGuess CCharsetGuesser::OrdinaryTextTable() const noexcept {
  double bits = 0;
  const CharsetGuess table = GuessTable(&bits);
  if (table.kind == GuessKind::kCharset && bits <= kOrdinaryTextBits && table.confidence >= kConfidentFrom)
    return table;
  return {};
}

CharsetGuess CCharsetGuesser::Finish() const noexcept {
  CharsetGuess guess;
  if (total_ == 0) return guess;
  if (const char* family = structure_.Family()) {
    // A short text of a script whose letters all lie above 0xA0 (Thai, Cyrillic) may pair up as
    // EUC: it is that script when one of its tables reads it as ordinary text, which an East
    // Asian text in none of them is.
    const bool pairedUp = std::strncmp(family, "UTF", 3) != 0 && std::strncmp(family, "ISO", 3) != 0;
    if (pairedUp && structure_.WideCharacters() < kWideCharactersBeyondDoubt) {
      if (const CharsetGuess table = OrdinaryTextTable(); table.kind == GuessKind::kCharset) return table;
    }
    guess.kind = GuessKind::kUnconvertible;
    guess.family = family;
    guess.confidence = static_cast<int>(std::min<std::uint32_t>(100, 50 + 5 * structure_.WideCharacters()));
    return guess;
  }
  if (const CharsetCode order = structure_.Utf16Order(); order >= 0) {
    if (const CharsetGuess table = OrdinaryTextTable(); table.kind == GuessKind::kCharset) return table;
    guess.kind = GuessKind::kCharset;
    guess.code = order;
    // A few Latin letters pair up as CJK characters too: a short text is UTF-16 only on other
    // evidence, the confidence grows with the units seen.
    guess.confidence = static_cast<int>(std::min<std::uint64_t>(90, total_ / 2));
    return guess;
  }
  bool high = false;
  for (unsigned b = 0x80; b < 256; ++b) high |= counts_[b] != 0;
  if (!high) return guess;  // ASCII reads alike in every ASCII set: nothing to judge by
  return GuessTable();
}

CharsetGuess GuessCharset(std::span<const std::uint8_t> sample) noexcept {
  const std::unique_ptr<CCharsetGuesser> guesser(new (std::nothrow) CCharsetGuesser);
  if (!guesser) return {};
  guesser->Add(sample);
  return guesser->Finish();
}

}  // namespace glyphshift::engine
