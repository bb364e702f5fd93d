#include "bench_inputs.h"

#include <map>
#include <random>
#include <utility>

#include "engine/engine.h"

namespace glyphshift::bench {
namespace {

// ASCII-heavy West European prose: about one accented letter in forty.
const std::vector<std::u16string> kLatinWords = {u"the",         u"quick",       u"brown",
                                                 u"fox",         u"jumps",       u"over",
                                                 u"lazy",        u"dog",         u"and",
                                                 u"of",          u"to",          u"in",
                                                 u"conversion",  u"character",   u"files",
                                                 u"table",       u"with",        u"text",
                                                 u"is",          u"a",           u"for",
                                                 u"that",        u"caf\u00E9",   u"na\u00EFve",
                                                 u"\u00FCber",   u"stra\u00DFe", u"d\u00E9j\u00E0",
                                                 u"gar\u00E7on", u"se\u00F1or",  u"file,",
                                                 u"done.",       u"line",        u"program",
                                                 u"windows",     u"byte",        u"order",
                                                 u"mark",        u"data"};
const std::vector<std::u16string> kCyrillicWords = {
    u"\u043F\u0440\u0438\u0432\u0435\u0442",
    u"\u043C\u0438\u0440",
    u"\u0442\u0435\u043A\u0441\u0442",
    u"\u0444\u0430\u0439\u043B",
    u"\u043A\u043E\u0434\u0438\u0440\u043E\u0432\u043A\u0430",
    u"\u043F\u0440\u0435\u043E\u0431\u0440\u0430\u0437\u043E\u0432\u0430\u043D\u0438\u0435",
    u"\u0438",
    u"\u0432",
    u"\u043D\u0430",
    u"\u0441\u0442\u0440\u043E\u043A\u0430,",
    u"\u0434\u0430\u043D\u043D\u044B\u0435.",
    u"\u0421\u0438\u043C\u0432\u043E\u043B",
    u"\u0442\u0430\u0431\u043B\u0438\u0446\u0430"};
const std::vector<std::u16string> kGreekWords = {u"\u03BA\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1",
                                                 u"\u03BA\u03CC\u03C3\u03BC\u03BF\u03C2",
                                                 u"\u03BA\u03B5\u03AF\u03BC\u03B5\u03BD\u03BF",
                                                 u"\u03B1\u03C1\u03C7\u03B5\u03AF\u03BF",
                                                 u"\u03BA\u03B1\u03B9",
                                                 u"\u03C3\u03C4\u03BF",
                                                 u"\u03A0\u03AF\u03BD\u03B1\u03BA\u03B1\u03C2,"};
const std::vector<std::u16string> kCjkWords = {
    u"\u4E2D\u6587\u5B57\u7B26", u"\u6587\u5B57\u30B3\u30FC\u30C9", u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8",
    u"\uD55C\uAD6D\uC5B4",       u"\u8F49\u63DB\u6A94\u6848\u3002", u"\u5B57\u7B26\u96C6"};

// Words separated by spaces, a CR LF after every twelfth, until `units` units.
std::vector<char16_t> Prose(const std::vector<const std::vector<std::u16string>*>& lists, std::size_t units,
                            std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<char16_t> text;
  text.reserve(units + 64);
  for (std::size_t word = 1; text.size() < units; ++word) {
    const auto& list = *lists[rng() % lists.size()];
    const std::u16string& w = list[rng() % list.size()];
    text.insert(text.end(), w.begin(), w.end());
    if (word % 12 == 0) {
      text.push_back(u'\r');
      text.push_back(u'\n');
    } else {
      text.push_back(u' ');
    }
  }
  text.resize(units);
  return text;
}

std::vector<char16_t> ProseOf(TextKind kind, std::size_t units, bool singleByteSubset) {
  switch (kind) {
    case TextKind::kLatin: return Prose({&kLatinWords}, units, 1);
    case TextKind::kCyrillic: return Prose({&kCyrillicWords}, units, 2);
    case TextKind::kGreekCjk:
      if (singleByteSubset) return Prose({&kGreekWords}, units, 3);
      return Prose({&kGreekWords, &kCjkWords}, units, 3);
    case TextKind::kRandom: break;
  }
  std::mt19937 rng(4);
  std::vector<char16_t> random(units);
  for (auto& u : random) u = static_cast<char16_t>(rng());
  return random;
}

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
  std::mt19937 rng(5);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

template <class T>
const T& Cached(std::map<std::pair<TextKind, bool>, T>& cache, TextKind kind, bool flag, T (*make)(TextKind, bool)) {
  auto it = cache.find({kind, flag});
  if (it == cache.end()) it = cache.emplace(std::make_pair(kind, flag), make(kind, flag)).first;
  return it->second;
}

}  // namespace

const char* KindName(TextKind kind) {
  switch (kind) {
    case TextKind::kLatin: return "latin";
    case TextKind::kCyrillic: return "cyrillic";
    case TextKind::kGreekCjk: return "greek_cjk";
    case TextKind::kRandom: return "random";
  }
  return "?";
}

std::int32_t SingleByteCodeOf(TextKind kind) {
  switch (kind) {
    case TextKind::kCyrillic: return 17;
    case TextKind::kGreekCjk: return 19;
    default: return 18;
  }
}

const std::vector<char16_t>& Utf16Text(TextKind kind, bool singleByteSubset) {
  static std::map<std::pair<TextKind, bool>, std::vector<char16_t>> cache;
  return Cached<std::vector<char16_t>>(cache, kind, singleByteSubset,
                                       [](TextKind k, bool subset) { return ProseOf(k, kInputBytes / 2, subset); });
}

const std::vector<std::uint8_t>& SingleByteText(TextKind kind) {
  static std::map<std::pair<TextKind, bool>, std::vector<std::uint8_t>> cache;
  return Cached<std::vector<std::uint8_t>>(cache, kind, false, [](TextKind k, bool) {
    if (k == TextKind::kRandom) return RandomBytes(kInputBytes);
    // Twice the units needed, encoded, then cut: one byte per unit.
    const std::vector<char16_t> units = ProseOf(k, kInputBytes, true);
    std::vector<std::uint8_t> bytes(units.size());
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    engine::Utf16ToSingleByte(SingleByteCodeOf(k), units.data(), static_cast<std::uint32_t>(units.size() * 2),
                              bytes.data(), &size);
    bytes.resize(kInputBytes);
    return bytes;
  });
}

const std::vector<std::uint8_t>& Utf8Text(TextKind kind) {
  static std::map<std::pair<TextKind, bool>, std::vector<std::uint8_t>> cache;
  return Cached<std::vector<std::uint8_t>>(cache, kind, false, [](TextKind k, bool) {
    if (k == TextKind::kRandom) return RandomBytes(kInputBytes);
    // Enough units for 64 MiB in any of our scripts (at least a byte each), encoded, then cut
    // back to the last whole character.
    const std::vector<char16_t> units = ProseOf(k, kInputBytes, false);
    std::vector<std::uint8_t> bytes(kInputBytes);
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    engine::Utf16ToUtf8(units.data(), static_cast<std::uint32_t>(units.size() * 2), bytes.data(), &size);
    bytes.resize(size);
    return bytes;
  });
}

}  // namespace glyphshift::bench
