// Large FileMemory blocks on Windows: VirtualAlloc hands out zeroed pages and gives them back to
// the system as soon as they are released.
#include <windows.h>

#include "platform/native_side.h"

namespace glyphshift::platform {

void* MapBlock(std::size_t bytes, std::size_t& mapped) noexcept {
  mapped = bytes;
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void ReleaseBlock(void* block, std::size_t) noexcept { VirtualFree(block, 0, MEM_RELEASE); }

}  // namespace glyphshift::platform
