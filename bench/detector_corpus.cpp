// What `morfex` answers for each document of the shared corpus with /detect=statistical and by
// default, through the run's own detection (src/run/source_detection.cpp), and whether the answer
// converts the document as its true set does.
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
#include "engine/engine.h"
#include "platform/native_text.h"
#include "run/source_detection.h"

namespace glyphshift::bench {
namespace {

constexpr CharsetCode kRefused = -2;

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

struct Verdict {
  CharsetCode code = kRefused;
  std::string said;
};

// The run's own detection of the document, as `morfex` judges a file.
Verdict Detect(const std::string& path, DetectionMethod method) {
  const CNamedSource source(platform::FromNative(path));
  const SourceDetection d = DetectSourceCharset(source.source, method);
  std::string said = d.detectorName.empty() ? "rules" : d.detectorName + " " + std::to_string(d.confidence) + "%";
  if (d.outcome == DetectionOutcome::Declared) said = "declared";
  if (d.outcome == DetectionOutcome::NoAnswer) said = "unsure: " + said;
  if (d.outcome == DetectionOutcome::Unconvertible) return {kRefused, said};
  return {d.code, said};
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
    int documents = 0, statistical = 0, simple = 0;
  };
  std::map<std::string, Tally> families;
  Tally all;
  std::vector<std::string> misses;
  for (const Document& d : documents) {
    const std::string path = std::string(folder) + "/" + d.file;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto right = [&](CharsetCode code) {
      if (d.truth == kRefused || code == kRefused) return d.truth == code;
      return Decode(bytes, code) == Decode(bytes, d.truth);
    };
    const Verdict statistical = Detect(path, DetectionMethod::Statistical);
    const bool statisticalRight = right(statistical.code);
    const bool simpleRight = right(Detect(path, DetectionMethod::Simple).code);
    Tally& family = families[Family(d.truth)];
    for (Tally* t : {&family, &all}) {
      ++t->documents;
      t->statistical += statisticalRight ? 1 : 0;
      t->simple += simpleRight ? 1 : 0;
    }
    if (!statisticalRight) {
      misses.push_back("  " + d.file + "  true " + d.set + "  detected " + SetName(statistical.code) + " (" +
                       statistical.said + ")");
    }
  }
  const auto share = [](int n, int of) { return 100.0 * n / of; };
  std::printf("Corpus: %d documents in %s\n", all.documents, folder);
  std::printf("  /detect=statistical  %4d right = %5.1f%%  (target >= 97%%: %s)\n", all.statistical,
              share(all.statistical, all.documents), share(all.statistical, all.documents) >= 97 ? "ok" : "MISSED");
  std::printf("  /detect=simple       %4d right = %5.1f%%\n", all.simple, share(all.simple, all.documents));
  std::printf("\nMisses of /detect=statistical (%zu): document, true set, detected (the model's answer)\n",
              misses.size());
  for (const std::string& m : misses) std::printf("%s\n", m.c_str());
  std::printf("\nPer family: documents, right with /detect=statistical, with /detect=simple\n");
  for (const auto& [name, t] : families) {
    std::printf("  %-20s %4d %6d %6d\n", name.c_str(), t.documents, t.statistical, t.simple);
  }
  return 0;
}

}  // namespace glyphshift::bench
