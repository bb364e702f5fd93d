// What `morfex /detect=statistical` will answer for each document of the shared corpus, with our
// detector and with libuchardet as the program consults it today, and whether the answer
// converts the document as its true set does.
//
// Ours: the byte rules (byte order marks, UTF-16's zero bytes, valid UTF-8) decide first; what
// they leave to their single-byte fallback goes to the detector, as a sample of at most 64 KiB
// made of the file's 16 KiB pieces with bytes above 0x7F first; an answer below kConfidentFrom
// leaves the fallback (ISO-8859-1); an unconvertible answer refuses the document.
// libuchardet: the program's own detection (src/run/source_detection.cpp), answer fitted to the
// bytes, unconvertible answers refused.
// A document counts as right when its text decoded with the chosen set equals its text decoded
// with its true set; a document in a set the program cannot convert, only when refused.
#include "bench/detector_corpus.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "convert/named_files.h"
#include "engine/charset_guess.h"
#include "engine/detection.h"
#include "engine/engine.h"
#include "platform/native_text.h"
#include "run/source_detection.h"

namespace glyphshift::bench {
namespace {

constexpr CharsetCode kRefused = -2;
constexpr std::size_t kPieceBytes = 16 * 1024;

struct Document {
  std::string file;
  std::string set;
  CharsetCode truth = kRefused;  // kRefused: a set the program cannot convert
};

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  const auto e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::u16string Widen(const std::string& s) { return {s.begin(), s.end()}; }

std::string Narrow(const char16_t* s) {
  std::string out;
  for (; s != nullptr && *s != 0; ++s) out += static_cast<char>(*s);
  return out;
}

std::string SetName(CharsetCode code) {
  if (code == kRefused) return "(refused)";
  return Narrow(CharsetNameFromCode(code));
}

// "| corpus file | upstream path | bytes | set |" rows.
std::vector<Document> ReadSources(const std::string& folder) {
  std::ifstream in(folder + "/SOURCES.md");
  std::vector<Document> documents;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream row(line);
    for (std::string cell; std::getline(row, cell, '|');) cells.push_back(Trim(cell));
    if (cells.size() != 5 || cells[3].empty() || cells[3].find_first_not_of("0123456789") != std::string::npos)
      continue;
    Document d{cells[1], cells[4]};
    std::u16string name = Widen(d.set);
    const char16_t* spelling = name.c_str();
    CharsetCode code = 0;
    if (ResolveCharsetName(&code, &spelling)) d.truth = code;
    documents.push_back(d);
  }
  return documents;
}

std::u16string Decode(const std::vector<std::uint8_t>& bytes, CharsetCode code) {
  const auto size = static_cast<std::uint32_t>(bytes.size());
  std::uint32_t units = 0;
  if (code == kCharsetUtf16 || code == kCharsetUtf16Be) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      const unsigned a = bytes[2 * i];
      const unsigned b = bytes[2 * i + 1];
      text[i] = static_cast<char16_t>(code == kCharsetUtf16 ? a | b << 8 : a << 8 | b);
    }
    return text;
  }
  if (code == kCharsetUtf8) {
    engine::Utf8ToUtf16(bytes.data(), size, nullptr, &units);
    std::u16string text(units / 2, u'\0');
    engine::Utf8ToUtf16(bytes.data(), size, text.data(), &units);
    return text;
  }
  units = size * 2;
  std::u16string text(bytes.size(), u'\0');
  engine::SingleByteToUtf16(code, bytes.data(), size, text.data(), &units);
  return text;
}

// The sample the run hands the detector: 16 KiB pieces with a byte above 0x7F first, then the
// others, 64 KiB at most.
engine::CharsetGuess GuessLikeTheRun(const std::vector<std::uint8_t>& bytes) {
  const auto guesser = std::make_unique<engine::CCharsetGuesser>();
  for (const bool telling : {true, false}) {
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes) {
      const std::span<const std::uint8_t> piece(bytes.data() + at, std::min(kPieceBytes, bytes.size() - at));
      const bool high = std::any_of(piece.begin(), piece.end(), [](std::uint8_t b) { return b >= 0x80; });
      if (high == telling && !guesser->Add(piece)) return guesser->Finish();
    }
  }
  return guesser->Finish();
}

struct Verdict {
  CharsetCode code = kRefused;
  std::string said;
};

Verdict Ours(const std::vector<std::uint8_t>& bytes) {
  const CharsetCode rules = engine::DetectCharset(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  if (!IsSingleByteCode(rules) || bytes.size() < 3) return {rules, "rules"};
  const engine::CharsetGuess guess = GuessLikeTheRun(bytes);
  if (guess.kind == engine::GuessKind::kUnconvertible) return {kRefused, guess.family};
  if (guess.kind != engine::GuessKind::kCharset) return {rules, "no answer"};
  const std::string said = SetName(guess.code) + (guess.language != nullptr ? std::string("/") + guess.language : "") +
                           " " + std::to_string(guess.confidence) + "%";
  if (guess.confidence < engine::kConfidentFrom) return {rules, "unsure: " + said};
  return {guess.code, said};
}

Verdict Today(const std::string& path) {
  const CNamedSource source(platform::FromNative(path));
  const SourceDetection d = DetectSourceCharset(source.source, DetectionMethod::Statistical);
  if (d.outcome == DetectionOutcome::Unconvertible) return {kRefused, d.detectorName};
  return {d.code, d.detectorName.empty() ? "rules" : d.detectorName};
}

const char* Family(CharsetCode code) {
  if (code == kRefused) return "CJK/unconvertible";
  if (code >= 100) return "Unicode";
  if (code >= 56) return "EBCDIC";
  if (code >= 41 && code <= 48) return "Mac";
  if ((code >= 25 && code <= 40) || code == 52) return "DOS";
  switch (code) {
    case 0:
    case 13:
    case 14:
    case 18:
    case 49:
    case 55: return "Western";
    case 1:
    case 16:
    case 2: return "Central European";
    case 3:
    case 9:
    case 12:
    case 23: return "Baltic/Nordic";
    case 4:
    case 17:
    case 50:
    case 51:
    case 53: return "Cyrillic";
    case 6:
    case 19: return "Greek";
    case 8:
    case 20: return "Turkish";
    case 7:
    case 21: return "Hebrew";
    case 5:
    case 22:
    case 54: return "Arabic";
    case 10:
    case 15: return "Thai";
    case 24: return "Vietnamese";
    default: return "Other";
  }
}

}  // namespace

int ScoreCorpus(const char* folder) {
  const std::vector<Document> documents = ReadSources(folder);
  if (documents.empty()) {
    std::fprintf(stderr, "detector_bench: no documents listed in %s/SOURCES.md\n", folder);
    return 1;
  }
  struct Tally {
    int documents = 0, ours = 0, today = 0;
  };
  std::map<std::string, Tally> families;
  Tally all;
  std::vector<std::string> misses, added;
  for (const Document& d : documents) {
    const std::string path = std::string(folder) + "/" + d.file;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto right = [&](CharsetCode code) {
      if (d.truth == kRefused || code == kRefused) return d.truth == code;
      return Decode(bytes, code) == Decode(bytes, d.truth);
    };
    const Verdict ours = Ours(bytes);
    const Verdict today = Today(path);
    const bool oursRight = right(ours.code);
    const bool todayRight = right(today.code);
    Tally& family = families[Family(d.truth)];
    for (Tally* t : {&family, &all}) {
      ++t->documents;
      t->ours += oursRight ? 1 : 0;
      t->today += todayRight ? 1 : 0;
    }
    const std::string line = "  " + d.file + "  true " + d.set + "  ours " + SetName(ours.code) + " (" + ours.said +
                             ")  libuchardet " + SetName(today.code) + " (" + today.said + ")";
    if (!oursRight) misses.push_back(line);
    if (!oursRight && todayRight) added.push_back(line);
  }
  const auto share = [](int n, int of) { return 100.0 * n / of; };
  std::printf("Corpus: %d documents in %s\n", all.documents, folder);
  std::printf("  ours (rules + detector)            %4d right = %5.1f%%  (target >= 97%%: %s)\n", all.ours,
              share(all.ours, all.documents), share(all.ours, all.documents) >= 97 ? "ok" : "MISSED");
  std::printf("  libuchardet (rules + it, today)    %4d right = %5.1f%%\n", all.today, share(all.today, all.documents));
  std::printf("\nMisses of ours (%zu): document, true set, ours (its answer), libuchardet's\n", misses.size());
  for (const std::string& m : misses) std::printf("%s\n", m.c_str());
  std::printf("\nPer family: documents, ours right, libuchardet right\n");
  bool everyFamily = true;
  for (const auto& [name, t] : families) {
    const bool ok = t.ours >= t.today;
    everyFamily &= ok;
    std::printf("  %-20s %4d %6d %6d%s\n", name.c_str(), t.documents, t.ours, t.today,
                ok ? "" : "   FEWER THAN libuchardet");
  }
  std::printf("  every family at least as many right as libuchardet: %s\n", everyFamily ? "yes" : "NO");
  std::printf("\nDocuments libuchardet, consulted as today, gets right and ours not (%zu):\n", added.size());
  for (const std::string& a : added) std::printf("%s\n", a.c_str());
  std::printf("  libuchardet would %s\n", added.empty() ? "add no right answer to ours" : "still add right answers");
  return 0;
}

}  // namespace glyphshift::bench
