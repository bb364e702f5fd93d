// FileMemory on POSIX: the heap for small blocks, 2 MiB-aligned anonymous mappings for large ones.
#include "platform/file_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <limits>

namespace glyphshift::platform {
namespace {

constexpr std::size_t kHugePage = 2u << 20;

// Maps `bytes` rounded up to whole pages at a 2 MiB boundary, so transparent huge pages can back
// all of it; null on failure.
void* MapAligned(std::size_t bytes, std::size_t& mapped) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  // Sizes near the top of the address space would wrap in the rounding below.
  if (bytes > std::numeric_limits<std::size_t>::max() - kHugePage - page) return nullptr;
  mapped = (bytes + page - 1) / page * page;
  void* raw = ::mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  // Unmapping the unused head and tail keeps only the aligned block.
  if (aligned != start) ::munmap(raw, aligned - start);
  const std::size_t tail = kHugePage - (aligned - start);
  if (tail != 0) ::munmap(reinterpret_cast<void*>(aligned + mapped), tail);
  // Advice only: where huge pages are off, the block still works with small ones.
  ::madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

}  // namespace

void FileMemoryRelease::operator()(void* block) const noexcept {
  if (mappedBytes != 0) {
    ::munmap(block, mappedBytes);
  } else {
    std::free(block);
  }
}

FileMemory<std::uint8_t> AllocateFileMemory(std::uint64_t bytes) noexcept {
  if (bytes > std::numeric_limits<std::size_t>::max()) return nullptr;
  const auto size = static_cast<std::size_t>(bytes == 0 ? 1 : bytes);
  if (size < kMappedBlockBytes) return FileMemory<std::uint8_t>(static_cast<std::uint8_t*>(std::malloc(size)));
  std::size_t mapped = 0;
  void* block = MapAligned(size, mapped);
  if (block == nullptr) return nullptr;
  return FileMemory<std::uint8_t>(static_cast<std::uint8_t*>(block), FileMemoryRelease{mapped});
}

}  // namespace glyphshift::platform
