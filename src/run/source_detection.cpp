#include "run/source_detection.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <span>

#include "api/file_detection.h"
#include "engine/detection.h"
#include "engine/table_fit.h"
#include "platform/files.h"
#include "run/statistical_detector.h"

namespace glyphshift {
namespace {

// The set of a source nobody can read; its conversion then reports why.
constexpr CharsetCode kUnreadableSourceCharset = kCharsetWindows1252;

// Pieces read for detection: few calls, and memory that does not grow with the file.
constexpr std::size_t kPieceBytes = 128 * 1024;

using PieceBuffer = std::unique_ptr<std::uint8_t[]>;

struct RulesAnswer {
  CharsetCode code = kUnreadableSourceCharset;
  bool fallback = false;  // the single-byte fallback of a text of 3 bytes or more
};

RulesAnswer DetectByRules(const platform::CFile& file) {
  const FileDetection detected = DetectFileCharset(file);
  if (detected.readFailed) return {};
  return {detected.code, IsSingleByteCode(detected.code) && detected.bytesRead >= 3};
}

// The detector's answer over a sample of the file, and the byte values of what was read.
std::string AskDetector(const platform::CFile& file, std::uint8_t* piece, engine::ByteSet& bytes) {
  CStatisticalDetector detector;
  std::size_t fed = 0;
  for (std::uint64_t offset = 0; fed < kStatisticalSampleBytes && offset < kStatisticalReadLimit;) {
    std::size_t got = 0;
    if (platform::Files().ReadFile(file, offset, piece, kPieceBytes, got)) return {};
    if (got == 0) break;
    const std::span<const std::uint8_t> read(piece, got);
    bytes.AddAll(read.data(), read.size());
    const bool telling = std::any_of(read.begin(), read.end(), [](std::uint8_t b) { return b >= 0x80; });
    if (telling) {
      const std::size_t taken = std::min(got, kStatisticalSampleBytes - fed);
      if (!detector.Add(read.first(taken))) return {};
      fed += taken;
    } else if (offset == 0 && !detector.Add(read)) {  // ASCII alone: the detector's answer for it
      return {};
    }
    offset += got;
  }
  return detector.Finish();
}

SourceDetection Judge(const RulesAnswer& rules, std::string name, const engine::ByteSet& bytes) {
  SourceDetection result{rules.code, DetectionOutcome::NoAnswer, std::move(name)};
  if (result.detectorName.empty()) return result;
  const std::optional<CharsetCode> code = CatalogueCodeOfDetectorName(result.detectorName);
  if (!code) {
    result.outcome = DetectionOutcome::Unconvertible;
    return result;
  }
  // A Unicode form here is one the rules have ruled out: no byte order mark, and not UTF-8.
  const CharsetCode fitted = IsSingleByteCode(*code) ? engine::FitTableToSample(*code, bytes) : engine::kNoFittingTable;
  if (fitted == engine::kNoFittingTable) {
    result.outcome = DetectionOutcome::DoesNotFit;
    return result;
  }
  result.code = fitted;
  result.outcome = DetectionOutcome::Statistical;
  return result;
}

}  // namespace

SourceDetection DetectSourceCharset(const OpenedSource& source, DetectionMethod method) {
  if (source.error) return {kUnreadableSourceCharset, DetectionOutcome::ByRules, {}};
  const platform::CFile& file = source.file;
  const RulesAnswer rules = DetectByRules(file);
  if (method != DetectionMethod::Statistical || !rules.fallback) return {rules.code, DetectionOutcome::ByRules, {}};
  const PieceBuffer piece(new (std::nothrow) std::uint8_t[kPieceBytes]);
  if (!piece) return {rules.code, DetectionOutcome::ByRules, {}};
  engine::ByteSet bytes;
  std::string name = AskDetector(file, piece.get(), bytes);
  return Judge(rules, std::move(name), bytes);
}

}  // namespace glyphshift
