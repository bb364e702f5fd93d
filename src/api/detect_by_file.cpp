// DetectCharacterSetByFile: the one export that touches the file system, through the platform
// layer, so the engine proper stays free of OS calls. The file is read in pieces, so a file of
// any size is judged in little memory, and reading stops as soon as the answer is settled.
#include <memory>
#include <new>
#include <string>

#include "engine/charset_catalogue.h"
#include "engine/detection.h"
#include "glyphshift/glyphshift.h"
#include "platform/files.h"

namespace {
constexpr int32_t kUnreadableFileCharset = glyphshift::kCharsetWindows1252;  // for a file we cannot read
constexpr std::size_t kPieceBytes = 256 * 1024;
}  // namespace

extern "C" GLYPHSHIFT_API int32_t DetectCharacterSetByFile(const uint16_t* filePath) {
  using namespace glyphshift;
  if (filePath == nullptr) return kUnreadableFileCharset;
  try {
    std::u16string path;
    for (const uint16_t* p = filePath; *p != 0; ++p) path.push_back(static_cast<char16_t>(*p));
    platform::FileSystem& files = platform::Files();
    platform::CFile file;
    if (files.OpenNamedFile(path, file)) return kUnreadableFileCharset;
    const std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[kPieceBytes]);
    engine::CCharsetDetector detector;
    for (std::uint64_t offset = 0;;) {
      std::size_t got = 0;
      if (files.ReadFile(file, offset, piece.get(), kPieceBytes, got)) return kUnreadableFileCharset;
      if (got == 0 || !detector.Add(piece.get(), got)) break;
      offset += got;
    }
    return detector.Finish();
  } catch (...) {
    // Out of memory for the path or the piece: the later conversion attempt reports it.
    return kUnreadableFileCharset;
  }
}
