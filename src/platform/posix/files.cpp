// The POSIX side of platform/files.h. Every call that a signal can interrupt is retried, every
// write is checked to its last byte, and replacing a file goes through a temporary file in the
// same directory, so the old content survives any failure.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "platform/native_text.h"

namespace glyphshift::platform {

namespace {

// Signals can interrupt open/read/write: retry them. Never close(): Linux frees the descriptor
// even when close reports EINTR, so a retry could close a file another part just opened.
template <class Call>
auto RetryOnEintr(Call call) {
  auto r = call();
  while (r == -1 && errno == EINTR) r = call();
  return r;
}

// Owns a descriptor; the destructor only cleans up, Close() reports.
class CFileDescriptor {
 public:
  explicit CFileDescriptor(int fd = -1) : fd_(fd) {}
  ~CFileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  CFileDescriptor(const CFileDescriptor&) = delete;
  CFileDescriptor& operator=(const CFileDescriptor&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  SysError Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) return {errno, "close"};
    return {};
  }

 private:
  int fd_;
};

SysError Errno(const char* op) { return {errno, op}; }

// Native path for the OS. A NUL would make the OS see a shorter, different path: refuse it.
SysError ToNativePath(const std::u16string& path, std::string& native) {
  if (path.find(u'\0') != std::u16string::npos) return {EINVAL, "open"};
  native = ToNative(path);
  return {};
}

EntryType TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryType::Regular;
  if (S_ISDIR(mode)) return EntryType::Directory;
  return EntryType::Other;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Reads up to `size` bytes; fewer only at the end of the file.
SysError ReadFully(int fd, std::uint8_t* data, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n = RetryOnEintr([&] { return ::read(fd, data + got, size - got); });
    if (n < 0) return Errno("read");
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return {};
}

SysError WriteFully(int fd, std::span<const std::uint8_t> data, std::uint64_t& written) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = RetryOnEintr([&] { return ::write(fd, data.data() + done, data.size() - done); });
    if (n < 0) return Errno("write");
    // A regular file that takes nothing has no room left.
    if (n == 0) return {ENOSPC, "write"};
    done += static_cast<std::size_t>(n);
    written += static_cast<std::uint64_t>(n);
  }
  return {};
}

SysError WritePieces(int fd, std::span<const std::span<const std::uint8_t>> pieces, bool flush,
                     std::uint64_t& written) {
  for (const auto& piece : pieces) {
    if (auto error = WriteFully(fd, piece, written)) return error;
  }
  if (flush && RetryOnEintr([&] { return ::fsync(fd); }) != 0) return Errno("fsync");
  return {};
}

// Follows a chain of symbolic links to the path that is not a link (and may not exist yet), so
// writing replaces the final target and leaves every link in place.
SysError ResolveLinkChain(std::string& path, struct stat& st, bool& exists) {
  constexpr int kMaxHops = 40;  // the kernel's own limit for a path walk
  for (int hops = 0;; ++hops) {
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) return Errno("lstat");
      exists = false;
      return {};
    }
    if (!S_ISLNK(st.st_mode)) {
      exists = true;
      return {};
    }
    if (hops == kMaxHops) return {ELOOP, "readlink"};
    std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
    for (;;) {
      const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
      if (n < 0) return Errno("readlink");
      if (static_cast<std::size_t>(n) < target.size()) {
        target.resize(static_cast<std::size_t>(n));
        break;
      }
      target.resize(target.size() * 2);  // the link changed since lstat
    }
    path = target.starts_with('/') || path.find('/') == std::string::npos ? target : DirectoryOf(path) + "/" + target;
  }
}

SysError WriteNewFile(const std::string& path, std::span<const std::span<const std::uint8_t>> pieces, bool flush,
                      std::uint64_t& written) {
  CFileDescriptor file(RetryOnEintr(
      [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666); }));
  if (file.get() < 0) return Errno("open");
  SysError error = WritePieces(file.get(), pieces, flush, written);
  if (const SysError closed = file.Close(); !error) error = closed;
  if (error) ::unlink(path.c_str());
  return error;
}

// Gives the temporary file the replaced file's owner, permission bits and access ACL.
SysError CopyAttributes(int fd, const std::string& oldPath, const struct stat& old) {
  // Only root may give a file away; others keep the file as theirs, as a new file would be.
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) return Errno("fchown");
  // After fchown, which clears set-user-ID and set-group-ID.
  if (::fchmod(fd, old.st_mode & 07777) != 0) return Errno("fchmod");
  static constexpr char kAccessAcl[] = "system.posix_acl_access";
  std::string acl(64, '\0');
  for (;;) {
    const ssize_t n = ::getxattr(oldPath.c_str(), kAccessAcl, acl.data(), acl.size());
    if (n >= 0) {
      acl.resize(static_cast<std::size_t>(n));
      break;
    }
    if (errno == ENODATA || errno == ENOTSUP) return {};  // permission bits only
    if (errno != ERANGE) return Errno("getxattr");
    acl.resize(acl.size() * 4);
  }
  if (::fsetxattr(fd, kAccessAcl, acl.data(), acl.size(), 0) != 0 && errno != EPERM) return Errno("fsetxattr");
  return {};
}

SysError ReplaceFile(const std::string& path, const struct stat& old,
                     std::span<const std::span<const std::uint8_t>> pieces, std::uint64_t& written) {
  // A short fixed name: a temporary name built from a long file name could exceed NAME_MAX.
  std::string temp = DirectoryOf(path) + "/.morfex-XXXXXX";
  CFileDescriptor file(::mkostemp(temp.data(), O_CLOEXEC));
  if (file.get() < 0) return Errno("open");
  // Always flushed: the rename must never expose a file whose data is not yet on the disk.
  SysError error = WritePieces(file.get(), pieces, true, written);
  if (!error) error = CopyAttributes(file.get(), path, old);
  if (const SysError closed = file.Close(); !error) error = closed;
  if (!error && ::rename(temp.c_str(), path.c_str()) != 0) error = Errno("rename");
  if (error) ::unlink(temp.c_str());
  return error;
}

class CPosixFileSystem final : public FileSystem {
 public:
  SysError ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) override;
  SysError ReadWholeFile(const std::u16string& path, FileContent& content) override;
  SysError OpenForReading(const std::u16string& path, std::unique_ptr<CFileReader>& reader,
                          std::uint64_t& size) override;
  SysError WriteWholeFile(const std::u16string& path, std::span<const std::span<const std::uint8_t>> pieces,
                          bool flushNewFile, std::uint64_t& written) override;
  SysError DeleteFile(const std::u16string& path) override;
  SysError MoveFile(const std::u16string& from, const std::u16string& to) override;
  SysError CreateDirectory(const std::u16string& path) override;
  SysError ListDirectory(const std::u16string& path, std::vector<DirectoryEntry>& entries) override;
  EntryType GetEntryType(const std::u16string& path) override;
  SysError GetFileId(const std::u16string& path, FileId& id) override;
  std::u16string CurrentDirectory() override;

 private:
  SysError CopyAcrossFileSystems(const std::string& from, const std::u16string& fromPath, const std::u16string& to);
};

// Opens a file for reading whole and learns its size; refuses what ReadWholeFile refuses.
SysError OpenForWholeRead(const std::u16string& path, CFileDescriptor& file, std::size_t& size) {
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  // O_NONBLOCK: opening a FIFO without a writer must not hang the run; it is refused below.
  file.Reset(RetryOnEintr([&] { return ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
  if (file.get() < 0) return Errno("open");
  struct stat st;
  if (::fstat(file.get(), &st) != 0) return Errno("fstat");
  if (S_ISDIR(st.st_mode)) return {EISDIR, "read"};
  if (!S_ISREG(st.st_mode)) return {EINVAL, "read"};
  if (static_cast<std::uint64_t>(st.st_size) >= kMaxFileSize) return {EFBIG, "read"};
  size = static_cast<std::size_t>(st.st_size);
  return {};
}

// Some files (in /proc, say) report size 0 and still have content; a file may also have grown.
constexpr std::size_t kGrowthChunk = 64 * 1024;

SysError CPosixFileSystem::ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  CFileDescriptor file;
  std::size_t size = 0;
  if (auto error = OpenForWholeRead(path, file, size)) return error;
  try {
    bytes.resize(size);
    std::size_t got = 0;
    if (auto error = ReadFully(file.get(), bytes.data(), size, got)) return error;
    while (got == size) {
      size = got + kGrowthChunk;
      if (size >= kMaxFileSize) return {EFBIG, "read"};
      bytes.resize(size);
      std::size_t more = 0;
      if (auto error = ReadFully(file.get(), bytes.data() + got, kGrowthChunk, more)) return error;
      got += more;
    }
    bytes.resize(got);
  } catch (const std::bad_alloc&) {
    bytes = {};
    return {ENOMEM, "read"};
  }
  return {};
}

SysError CPosixFileSystem::ReadWholeFile(const std::u16string& path, FileContent& content) {
  content = {};
  CFileDescriptor file;
  std::size_t size = 0;
  if (auto error = OpenForWholeRead(path, file, size)) return error;
  FileMemory<std::uint8_t> block = AllocateFileMemory(size);
  if (!block) return {ENOMEM, "read"};
  std::size_t got = 0;
  if (auto error = ReadFully(file.get(), block.get(), size, got)) return error;
  // The end is confirmed by a read that returns nothing; what a growing file adds goes into a
  // bigger block, so the usual case reads straight into a block of the exact size.
  while (got == size) {
    std::uint8_t chunk[kGrowthChunk];
    std::size_t more = 0;
    if (auto error = ReadFully(file.get(), chunk, sizeof chunk, more)) return error;
    if (more == 0) break;
    if (got + more >= kMaxFileSize) return {EFBIG, "read"};
    size = got + more + kGrowthChunk;
    FileMemory<std::uint8_t> bigger = AllocateFileMemory(size);
    if (!bigger) return {ENOMEM, "read"};
    if (got != 0) std::memcpy(bigger.get(), block.get(), got);
    std::memcpy(bigger.get() + got, chunk, more);
    block = std::move(bigger);
    got += more;
    std::size_t rest = 0;
    if (auto error = ReadFully(file.get(), block.get() + got, size - got, rest)) return error;
    got += rest;
  }
  content.bytes = std::move(block);
  content.size = got;
  return {};
}

class CPosixFileReader final : public CFileReader {
 public:
  CPosixFileReader() = default;
  CFileDescriptor& file() { return file_; }
  SysError Read(std::uint8_t* data, std::size_t size, std::size_t& got) override {
    return ReadFully(file_.get(), data, size, got);
  }

 private:
  CFileDescriptor file_;
};

SysError CPosixFileSystem::OpenForReading(const std::u16string& path, std::unique_ptr<CFileReader>& reader,
                                          std::uint64_t& size) {
  reader.reset();
  size = 0;
  auto opened = std::unique_ptr<CPosixFileReader>(new (std::nothrow) CPosixFileReader);
  if (!opened) return {ENOMEM, "read"};
  std::size_t reported = 0;
  if (auto error = OpenForWholeRead(path, opened->file(), reported)) return error;
  size = reported;
  reader = std::move(opened);
  return {};
}

SysError CPosixFileSystem::WriteWholeFile(const std::u16string& path,
                                          std::span<const std::span<const std::uint8_t>> pieces,
                                          bool flushNewFile, std::uint64_t& written) {
  written = 0;
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  struct stat st;
  bool exists = false;
  if (auto error = ResolveLinkChain(native, st, exists)) return error;
  if (!exists) return WriteNewFile(native, pieces, flushNewFile, written);
  if (S_ISDIR(st.st_mode)) return {EISDIR, "open"};
  // A device or FIFO would be replaced by a regular file, not written to.
  if (!S_ISREG(st.st_mode)) return {EINVAL, "open"};
  // The rename needs only the directory's permission; a file its owner made read-only must
  // still refuse to be overwritten, as opening it for writing would.
  if (::faccessat(AT_FDCWD, native.c_str(), W_OK, AT_EACCESS) != 0) return Errno("open");
  return ReplaceFile(native, st, pieces, written);
}

SysError CPosixFileSystem::DeleteFile(const std::u16string& path) {
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  if (::unlink(native.c_str()) != 0) return Errno("unlink");
  return {};
}

SysError CPosixFileSystem::MoveFile(const std::u16string& from, const std::u16string& to) {
  std::string nativeFrom, nativeTo;
  if (auto error = ToNativePath(from, nativeFrom)) return error;
  if (auto error = ToNativePath(to, nativeTo)) return error;
  // As in WriteWholeFile: a read-only destination is not replaced behind its owner's back.
  struct stat st;
  if (::stat(nativeTo.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      ::faccessat(AT_FDCWD, nativeTo.c_str(), W_OK, AT_EACCESS) != 0)
    return Errno("rename");
  if (::rename(nativeFrom.c_str(), nativeTo.c_str()) == 0) return {};
  if (errno != EXDEV) return Errno("rename");
  return CopyAcrossFileSystems(nativeFrom, from, to);
}

// rename() cannot cross file systems: copy (checked and flushed), then delete the source. The
// source stays whenever the copy failed.
SysError CPosixFileSystem::CopyAcrossFileSystems(const std::string& from, const std::u16string& fromPath,
                                                 const std::u16string& to) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return Errno("lstat");
  if (!S_ISREG(st.st_mode)) return {EXDEV, "rename"};  // links and directories are not copied
  std::vector<std::uint8_t> bytes;
  if (auto error = ReadWholeFile(fromPath, bytes)) return error;
  const std::span<const std::uint8_t> piece(bytes);
  std::uint64_t written = 0;
  // Flushed: the source is deleted next.
  if (auto error = WriteWholeFile(to, std::span(&piece, 1), true, written)) return error;
  if (::unlink(from.c_str()) != 0) return Errno("unlink");
  return {};
}

SysError CPosixFileSystem::CreateDirectory(const std::u16string& path) {
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  if (::mkdir(native.c_str(), 0777) != 0) return Errno("mkdir");
  return {};
}

SysError CPosixFileSystem::ListDirectory(const std::u16string& path, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), ::closedir);
  if (!dir) return Errno("opendir");
  // Every name first, then their types: files created while the caller works through the list
  // (its own output) are never part of it.
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return Errno("readdir");
      break;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const int fd = ::dirfd(dir.get());
  entries.reserve(names.size());
  for (const std::string& name : names) {
    struct stat st;
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    DirectoryEntry entry{FromNative(name), TypeOf(st.st_mode), S_ISLNK(st.st_mode)};
    if (entry.isSymbolicLink) entry.type = ::fstatat(fd, name.c_str(), &st, 0) == 0 ? TypeOf(st.st_mode) : EntryType::Other;
    entries.push_back(std::move(entry));
  }
  return {};
}

EntryType CPosixFileSystem::GetEntryType(const std::u16string& path) {
  std::string native;
  if (ToNativePath(path, native)) return EntryType::Missing;
  struct stat st;
  if (::stat(native.c_str(), &st) == 0) return TypeOf(st.st_mode);
  // A dangling link is something, just nothing that can be opened.
  return ::lstat(native.c_str(), &st) == 0 ? EntryType::Other : EntryType::Missing;
}

SysError CPosixFileSystem::GetFileId(const std::u16string& path, FileId& id) {
  id = {};
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return Errno("stat");
  id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return {};
}

std::u16string CPosixFileSystem::CurrentDirectory() {
  // glibc sizes the buffer itself, also beyond PATH_MAX.
  const std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
  // "." still names the directory for relative paths when its full name cannot be had.
  return cwd ? FromNative(cwd.get()) : std::u16string(u".");
}

FileSystem* g_installed = nullptr;

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

FileSystem& Files() {
  static CPosixFileSystem posix;
  return g_installed ? *g_installed : posix;
}

FileSystem* SetFilesForTesting(FileSystem* files) {
  FileSystem* previous = g_installed;
  g_installed = files;
  return previous;
}

}  // namespace glyphshift::platform
