// FileMemory on Windows: the heap for small blocks, VirtualAlloc for large ones, which hands
// out zeroed pages and gives them back to the system as soon as they are released.
#include "platform/file_memory.h"

#include <windows.h>

#include <cstdlib>
#include <limits>

namespace glyphshift::platform {

void FileMemoryRelease::operator()(void* block) const noexcept {
  if (mappedBytes != 0) {
    VirtualFree(block, 0, MEM_RELEASE);
  } else {
    std::free(block);
  }
}

FileMemory<std::uint8_t> AllocateFileMemory(std::uint64_t bytes) noexcept {
  if (bytes > std::numeric_limits<std::size_t>::max()) return nullptr;
  const auto size = static_cast<std::size_t>(bytes == 0 ? 1 : bytes);
  if (size < kMappedBlockBytes) return FileMemory<std::uint8_t>(static_cast<std::uint8_t*>(std::malloc(size)));
  void* block = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) return nullptr;
  return FileMemory<std::uint8_t>(static_cast<std::uint8_t*>(block), FileMemoryRelease{size});
}

}  // namespace glyphshift::platform
