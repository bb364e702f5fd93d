// Files and directories, as run/, convert/ and security/ need them.
// Paths are UTF-16 text; the implementation converts them to native paths.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/sys_error.h"

namespace glyphshift::platform {

enum class EntryType : std::uint8_t {
  Regular,    // a regular file (through a symbolic link: its target)
  Directory,  // a directory (through a symbolic link: its target)
  Other,      // FIFO, socket, device, dangling link
  Missing,    // nothing at that path
};

struct DirectoryEntry {
  std::u16string name;
  EntryType type;       // of the link's target for a symbolic link
  bool isSymbolicLink;  // recursive runs do not descend through links to directories
};

// Identity of a file (device and inode on POSIX): "same file" is decided by it, not by path text.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// Files of this size or more are refused: the conversion arithmetic is 32-bit.
inline constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull;

// Memory for whole files and the texts made from them. Blocks of kMappedBlockBytes or more are
// mapped from the OS directly, aligned for 2 MiB pages and never cleared by us (the kernel hands
// out zeroed pages anyway): a 100 MiB conversion took 130,000 page faults and ~0.3 s of system
// time in 4 KiB pages, and takes ~250 faults in 2 MiB ones. They go back to the OS when
// released. Smaller blocks come from the heap, as thousands of small files must stay cheap.
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

// An open regular file, read from its start in pieces: a conversion can work on each piece while
// it is in the cache instead of keeping a copy of the whole file.
class CFileReader {
 public:
  virtual ~CFileReader() = default;
  // Reads up to `size` bytes; fewer only at the end of the file (0 there).
  virtual SysError Read(std::uint8_t* data, std::size_t size, std::size_t& got) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Reads a whole regular file. Refuses a directory (EISDIR), any other non-regular file
  // (EINVAL, without blocking on a FIFO) and a size of 4 GiB or more (EFBIG).
  virtual SysError ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) = 0;
  // The same into FileMemory, for large files: no value-initialisation, no vector growth. Short
  // memory is ENOMEM ("read").
  virtual SysError ReadWholeFile(const std::u16string& path, FileContent& content) = 0;
  // Opens a file to be read in pieces, refusing what ReadWholeFile refuses; `size` receives the
  // size the file system reports (the content may still grow or shrink while it is read).
  virtual SysError OpenForReading(const std::u16string& path, std::unique_ptr<CFileReader>& reader,
                                  std::uint64_t& size) = 0;

  // Makes `pieces`, one after another, the complete content of `path`. A new file is created,
  // written, flushed when `flushNewFile` says so, and closed; an existing one is replaced through
  // a temporary file in the same directory, always flushed, that is renamed over it and keeps its
  // permission bits, owner and access list where the process may (through a symbolic link: the
  // target is replaced, the link stays). An existing file the process may not write is refused
  // (EACCES, "open"), although the rename would be allowed. Any failure leaves an existing file
  // as it was and removes what was created. `written` receives the bytes written, also on failure.
  virtual SysError WriteWholeFile(const std::u16string& path, std::span<const std::span<const std::uint8_t>> pieces,
                                  bool flushNewFile, std::uint64_t& written) = 0;

  virtual SysError DeleteFile(const std::u16string& path) = 0;
  // Renames, replacing an existing destination unless it is read-only (EACCES). Across file
  // systems it copies, flushes and then deletes the source; a failed copy keeps the source.
  virtual SysError MoveFile(const std::u16string& from, const std::u16string& to) = 0;
  virtual SysError CreateDirectory(const std::u16string& path) = 0;
  // A snapshot of the entries of a directory, without "." and "..", in the file system's order.
  virtual SysError ListDirectory(const std::u16string& path, std::vector<DirectoryEntry>& entries) = 0;
  // Follows symbolic links.
  virtual EntryType GetEntryType(const std::u16string& path) = 0;
  virtual SysError GetFileId(const std::u16string& path, FileId& id) = 0;
  virtual std::u16string CurrentDirectory() = 0;
};

// The process-wide implementation (POSIX or Win32).
FileSystem& Files();

// Tests install a double of the interface; returns the previous one. Pass null to restore.
FileSystem* SetFilesForTesting(FileSystem* files);

}  // namespace glyphshift::platform
