#include "run/source_detection.h"

#include <cstdint>
#include <cstring>

#include "api/file_detection.h"
#include "convert/markup_declarations.h"
#include "engine/charset_guess.h"
#include "engine/table_fit.h"
#include "platform/files.h"

namespace glyphshift {
namespace {

// The set of a source nobody can read; its conversion then reports why.
constexpr CharsetCode kUnreadableSourceCharset = kCharsetWindows1252;

// Where a declaration is looked for: an XML declaration opens the text, and an HTML page names
// its set within its first kilobyte (browsers look no further); the rest is margin.
constexpr std::size_t kDeclarationHeadBytes = 4096;

std::string NarrowName(CharsetCode code) {
  std::string name;
  for (const char16_t* p = CharsetNameFromCode(code); p != nullptr && *p != 0; ++p) name += static_cast<char>(*p);
  return name;
}

// The single-byte set the source's declaration names, fitted to the bytes read (a declared
// ISO-8859-1 with quotation marks at 0x93 is Windows-1252), when it reads every one of them.
std::optional<CharsetCode> DeclaredCharset(const platform::CFile& file, const engine::ByteSet& bytes,
                                           std::u16string& declared) {
  std::uint8_t head[kDeclarationHeadBytes];
  std::size_t got = 0;
  if (platform::ReadAt(file, 0, head, sizeof head, got)) return std::nullopt;
  // Without a tag there is nothing to scan for: most text is spared the scan (2% of a run over
  // 4,000 small text files).
  if (std::memchr(head, '<', got) == nullptr) return std::nullopt;
  declared = FindCharsetDeclaration({head, got});
  if (declared.empty()) return std::nullopt;
  CharsetCode code = 0;
  const char16_t* spelling = declared.c_str();
  // A Unicode form declared here is one the byte rules ruled out.
  if (!ResolveCharsetName(&code, &spelling) || !IsSingleByteCode(code)) return std::nullopt;
  const CharsetCode fitted = engine::FitTableToSample(code, bytes);
  if (fitted == engine::kNoFittingTable) return std::nullopt;
  return fitted;
}

SourceDetection ByRules(CharsetCode code) {
  SourceDetection result;
  result.code = code;
  return result;
}

SourceDetection Judge(const FileDetection& rules, const FileGuess& model, DetectionMethod method) {
  SourceDetection result = ByRules(rules.code);
  const engine::CharsetGuess& guess = model.guess;
  result.confidence = guess.confidence;
  result.runnerUp = guess.runnerUp;
  const bool confident = guess.confidence >= engine::kConfidentFrom;
  if (guess.kind == engine::GuessKind::kUnconvertible) {
    result.detectorName = guess.family;
  } else if (guess.kind == engine::GuessKind::kCharset) {
    result.detectorName = NarrowName(guess.code);
  }
  if (method != DetectionMethod::Statistical) {
    // Said only where it would change the reading.
    const bool other = guess.kind == engine::GuessKind::kUnconvertible || guess.code != rules.code;
    if (!confident || !other) result.detectorName.clear();
    return result;
  }
  if (guess.kind == engine::GuessKind::kUnconvertible && confident) {
    result.outcome = DetectionOutcome::Unconvertible;
  } else if (guess.kind == engine::GuessKind::kCharset && confident) {
    result.outcome = DetectionOutcome::Statistical;
    result.code = guess.code;
  } else {
    result.outcome = DetectionOutcome::NoAnswer;
  }
  return result;
}

// UTF-32LE opens as UTF-16 does to the byte rules (FF FE 00 00, or a zero second byte); its
// structure tells them apart, and a file in it is refused rather than read as UTF-16.
SourceDetection CheckedUtf16(const platform::CFile& file) {
  SourceDetection result = ByRules(kCharsetUtf16);
  const engine::CharsetGuess guess = GuessFileCharset(file).guess;
  if (guess.kind == engine::GuessKind::kUnconvertible && std::strncmp(guess.family, "UTF-32", 6) == 0) {
    result.outcome = DetectionOutcome::Unconvertible;
    result.detectorName = guess.family;
    result.confidence = guess.confidence;
  }
  return result;
}

}  // namespace

SourceDetection DetectSourceCharset(const OpenedSource& source, DetectionMethod method) {
  if (source.error) return ByRules(kUnreadableSourceCharset);
  const platform::CFile& file = source.file;
  const FileDetection rules = DetectFileCharset(file);
  if (rules.readFailed) return ByRules(kUnreadableSourceCharset);
  const bool statistical = method == DetectionMethod::Statistical;
  if (statistical && rules.code == kCharsetUtf16) return CheckedUtf16(file);
  // By default the model costs a pass only over text that is neither Unicode nor ASCII.
  if (!rules.Fallback() || (!statistical && !rules.highBytes)) return ByRules(rules.code);
  const FileGuess model = GuessFileCharset(file);
  if (model.readFailed) return ByRules(rules.code);  // its conversion reports why
  SourceDetection result = Judge(rules, model, method);
  if (statistical) {
    if (const std::optional<CharsetCode> declared = DeclaredCharset(file, model.bytes, result.declared)) {
      result.code = *declared;
      result.outcome = DetectionOutcome::Declared;
    } else {
      result.declared.clear();
    }
  }
  return result;
}

}  // namespace glyphshift
