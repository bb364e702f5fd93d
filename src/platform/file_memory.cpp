#include "platform/file_memory.h"

#include <cstdlib>
#include <limits>

#include "platform/native_side.h"

namespace glyphshift::platform {

void FileMemoryRelease::operator()(void* block) const noexcept {
  if (mappedBytes != 0) {
    ReleaseBlock(block, mappedBytes);
  } else {
    std::free(block);
  }
}

FileMemory<std::uint8_t> AllocateFileMemory(std::uint64_t bytes) noexcept {
  if (bytes > std::numeric_limits<std::size_t>::max()) return nullptr;
  const auto size = static_cast<std::size_t>(bytes == 0 ? 1 : bytes);
  if (size < kMappedBlockBytes) return FileMemory<std::uint8_t>(static_cast<std::uint8_t*>(std::malloc(size)));
  std::size_t mapped = 0;
  void* block = MapBlock(size, mapped);
  if (block == nullptr) return nullptr;
  return FileMemory<std::uint8_t>(static_cast<std::uint8_t*>(block), FileMemoryRelease{mapped});
}

}  // namespace glyphshift::platform
