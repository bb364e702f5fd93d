// DetectCharacterSetByFile: the one export that touches the file system, through the platform
// layer, so the engine proper stays free of OS calls.
#include <new>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "glyphshift/glyphshift.h"
#include "platform/files.h"

namespace {
constexpr int32_t kUnreadableFileCharset = 18;  // Windows-1252, the answer for a file we cannot read
}

extern "C" GLYPHSHIFT_API int32_t DetectCharacterSetByFile(const uint16_t* filePath) {
  if (filePath == nullptr) return kUnreadableFileCharset;
  try {
    std::u16string path;
    for (const uint16_t* p = filePath; *p != 0; ++p) path.push_back(static_cast<char16_t>(*p));
    std::vector<std::uint8_t> bytes;
    if (glyphshift::platform::Files().ReadWholeFile(path, bytes)) return kUnreadableFileCharset;
    return glyphshift::engine::DetectCharset(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  } catch (...) {
    // Out of memory for the path or the content: the later conversion attempt reports it.
    return kUnreadableFileCharset;
  }
}
