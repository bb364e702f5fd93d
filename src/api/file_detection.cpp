// DetectCharacterSetByFile and the by-file detection behind it: the one export that touches the
// file system, through the platform layer, so the engine proper stays free of OS calls.
#include "api/file_detection.h"

#include <memory>
#include <new>
#include <string>

#include "engine/detection.h"
#include "glyphshift/glyphshift.h"

namespace glyphshift {
namespace {
// Pieces read for detection: few calls, and memory that does not grow with the file.
constexpr std::size_t kPieceBytes = 128 * 1024;
}  // namespace

FileDetection DetectFileCharset(const platform::CFile& file) {
  FileDetection answer;
  const std::unique_ptr<std::uint8_t[]> piece(new (std::nothrow) std::uint8_t[kPieceBytes]);
  if (!piece) {
    answer.readFailed = true;
    return answer;
  }
  engine::CCharsetDetector detector;
  for (;;) {
    std::size_t got = 0;
    if (platform::ReadAt(file, answer.bytesRead, piece.get(), kPieceBytes, got)) {
      answer = {};
      answer.readFailed = true;
      return answer;
    }
    answer.bytesRead += got;
    if (got == 0 || !detector.Add(piece.get(), got)) break;
  }
  answer.code = detector.Finish();
  answer.highBytes = detector.HighBytes();
  return answer;
}

}  // namespace glyphshift

extern "C" GLYPHSHIFT_API int32_t DetectCharacterSetByFile(const uint16_t* filePath) {
  using namespace glyphshift;
  constexpr int32_t kUnreadableFileCharset = kCharsetWindows1252;  // for a file we cannot read
  if (filePath == nullptr) return kUnreadableFileCharset;
  try {
    std::u16string path;
    for (const uint16_t* p = filePath; *p != 0; ++p) path.push_back(static_cast<char16_t>(*p));
    platform::CFile file;
    if (platform::Files().OpenNamedFile(path, file)) return kUnreadableFileCharset;
    const FileDetection detected = DetectFileCharset(file);
    return detected.readFailed ? kUnreadableFileCharset : detected.code;
  } catch (...) {
    // Out of memory for the path: the later conversion attempt reports it.
    return kUnreadableFileCharset;
  }
}
