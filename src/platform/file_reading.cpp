// Whole-file reading over the platform interface, the same on every platform.
#include <new>
#include <vector>

#include "platform/files.h"

namespace glyphshift::platform {

namespace {
// Some files (in /proc, say) report size 0 and still have content; a file may also have grown.
constexpr std::size_t kGrowthChunk = 64 * 1024;
}  // namespace

SysError ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  CFile file;
  if (auto error = Files().OpenNamedFile(path, file)) return error;
  return ReadWholeFile(file, bytes);
}

SysError ReadWholeFile(const CFile& file, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (file.status.size >= kMaxFileSize) return {kErrorTooLarge, "read"};
  try {
    std::size_t size = static_cast<std::size_t>(file.status.size);
    bytes.resize(size);
    std::size_t got = 0;
    if (auto error = Files().ReadFile(file, 0, bytes.data(), size, got)) return error;
    // The end is confirmed by a read that returns nothing.
    while (got == size) {
      size = got + kGrowthChunk;
      if (size >= kMaxFileSize) return {kErrorTooLarge, "read"};
      bytes.resize(size);
      std::size_t more = 0;
      if (auto error = Files().ReadFile(file, got, bytes.data() + got, kGrowthChunk, more)) return error;
      got += more;
    }
    bytes.resize(got);
  } catch (const std::bad_alloc&) {
    bytes = {};
    return {kErrorOutOfMemory, "read"};
  }
  return {};
}

}  // namespace glyphshift::platform
