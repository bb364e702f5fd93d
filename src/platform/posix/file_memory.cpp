// Large FileMemory blocks on POSIX: 2 MiB-aligned anonymous mappings.
#include "platform/native_side.h"

#include <sys/mman.h>
#include <unistd.h>

#include <limits>

namespace glyphshift::platform {
namespace {

constexpr std::size_t kHugePage = 2u << 20;

}  // namespace

// Maps `bytes` rounded up to whole pages at a 2 MiB boundary, so transparent huge pages can back
// all of it; null on failure.
void* MapBlock(std::size_t bytes, std::size_t& mapped) noexcept {
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

void ReleaseBlock(void* block, std::size_t mapped) noexcept { ::munmap(block, mapped); }

}  // namespace glyphshift::platform
