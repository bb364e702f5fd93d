// Memory for whole files and the texts made from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace glyphshift::platform {

// Blocks of kMappedBlockBytes or more are mapped from the OS directly, aligned for 2 MiB pages
// and never cleared by us (the kernel hands out zeroed pages anyway): a 100 MiB conversion took
// 130,000 page faults and ~0.3 s of system time in 4 KiB pages, and takes ~250 faults in 2 MiB
// ones. They go back to the OS when released. Smaller blocks come from the heap, as thousands
// of small files must stay cheap.
inline constexpr std::uint64_t kMappedBlockBytes = 4ull << 20;

// The deleter of a FileMemory block; remembers how the block was obtained.
struct FileMemoryRelease {
  std::size_t mappedBytes = 0;  // 0: from the heap
  void operator()(void* block) const noexcept;
};

template <class T>
using FileMemory = std::unique_ptr<T[], FileMemoryRelease>;

// Uninitialised room for `bytes` bytes (at least one, so an empty block still has an address);
// null when memory is short, never an exception.
FileMemory<std::uint8_t> AllocateFileMemory(std::uint64_t bytes) noexcept;

// The same block seen as elements of another trivial type (char16_t for working texts).
template <class T, class U>
FileMemory<T> ReinterpretFileMemory(FileMemory<U>&& block) noexcept {
  const FileMemoryRelease release = block.get_deleter();
  return FileMemory<T>(reinterpret_cast<T*>(block.release()), release);
}

// A file read whole into FileMemory: `size` bytes at `bytes`.
struct FileContent {
  FileMemory<std::uint8_t> bytes;
  std::uint64_t size = 0;
};

}  // namespace glyphshift::platform
