// The statistical model's view of a file, and the dialogs' proposal built on it: the program's
// own, not an export, so the shared library does not carry the models.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "api/file_detection.h"

namespace glyphshift {
namespace {

// Pieces read at once: few calls, and memory that does not grow with the file.
constexpr std::size_t kReadBytes = 128 * 1024;
// Pieces the sample is made of: small enough that an ASCII head before the text in the same
// read does not fill the sample (the model's benchmarks were taken with these).
constexpr std::size_t kSamplePieceBytes = 16 * 1024;

bool HasHighByte(std::span<const std::uint8_t> piece) {
  return std::any_of(piece.begin(), piece.end(), [](std::uint8_t b) { return b >= 0x80; });
}

// What one read sees and keeps: the guesser, the read buffer, and the first pieces without a
// byte above 0x7F.
struct SampleReader {
  engine::CCharsetGuesser guesser;
  std::uint8_t read[kReadBytes];
  std::uint8_t held[engine::kGuessSampleBytes];
  std::size_t heldSize = 0;
};

// One reader per thread, kept: a run over many small files would otherwise allocate and clear a
// new guesser of 260 KiB for each (the clearing alone was 3% of a run over 4,000 files of 1 KiB).
SampleReader* KeptReader() {
  thread_local std::unique_ptr<SampleReader> kept;
  if (!kept) {
    kept.reset(new (std::nothrow) SampleReader);  // tried again next time when there is no memory
    if (!kept) return nullptr;
  } else {
    kept->guesser.Reset();
  }
  kept->heldSize = 0;
  return kept.get();
}

}  // namespace

FileGuess GuessFileCharset(const platform::CFile& file) {
  FileGuess result;
  SampleReader* const reader = KeptReader();
  if (reader == nullptr) return result;
  bool found = false;  // a piece with a byte above 0x7F
  bool full = false;
  for (std::uint64_t offset = 0; !full && offset < kGuessReadLimit;) {
    std::size_t got = 0;
    if (platform::ReadAt(file, offset, reader->read, kReadBytes, got)) {
      result.readFailed = true;
      return result;
    }
    if (got == 0) break;
    result.bytes.AddAll(reader->read, got);
    for (std::size_t at = 0; at < got && !full; at += kSamplePieceBytes) {
      const std::span<const std::uint8_t> piece(reader->read + at, std::min(kSamplePieceBytes, got - at));
      if (HasHighByte(piece)) {
        found = true;
        full = !reader->guesser.Add(piece);
      } else if (reader->heldSize + piece.size() <= sizeof reader->held) {
        std::memcpy(reader->held + reader->heldSize, piece.data(), piece.size());
        reader->heldSize += piece.size();
      }
    }
    offset += got;
  }
  // Pieces of ASCII alone only where nothing else was found: there they may still show the
  // escapes of ISO-2022 or the halves of UTF-16; beside text of another script their letters
  // would pull the answer towards the Latin ones (a long ASCII head made Russian ISO-8859-15).
  if (!found) reader->guesser.Add({reader->held, reader->heldSize});
  result.guess = reader->guesser.Finish();
  return result;
}

CharsetCode ProposeFileCharset(const std::u16string& path) {
  try {
    platform::CFile file;
    if (platform::Files().OpenNamedFile(path, file)) return kCharsetWindows1252;
    const FileDetection rules = DetectFileCharset(file);
    if (rules.readFailed) return kCharsetWindows1252;
    if (!rules.Fallback() || !rules.highBytes) return rules.code;
    const engine::CharsetGuess model = GuessFileCharset(file).guess;
    const bool confident = model.kind == engine::GuessKind::kCharset && model.confidence >= engine::kConfidentFrom;
    return confident ? model.code : rules.code;
  } catch (const std::bad_alloc&) {
    // No memory for the native path: the dialog proposes what an unreadable file gets, and the
    // conversion reports the failure.
    return kCharsetWindows1252;
  }
}

}  // namespace glyphshift
