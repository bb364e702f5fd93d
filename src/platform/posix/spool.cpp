// The spool of filter mode on POSIX: an anonymous memory file (memfd) up to the bound, then an
// unlinked file in the temporary directory. Both are descriptors, so the conversion reads a
// spool as it reads any source.
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/posix_calls.h"
#include "platform/streams.h"

namespace glyphshift::platform {

namespace {

using posix::Errno;
using posix::Fd;
using posix::RetryOnEintr;

constexpr std::size_t kPieceBytes = 1u << 20;

// A temporary file no other process can open: O_TMPFILE never has a name; where the file system
// lacks it, a private name (0600, O_EXCL) that is removed at once.
int OpenTemporaryFile() {
  const char* tmp = ::secure_getenv("TMPDIR");
  const std::string directory = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string name = directory + "/.morfex-spool-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

SysError WriteAllAt(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  while (size != 0) {
    const ssize_t n = RetryOnEintr([&] { return ::pwrite(fd, data, size, static_cast<off_t>(offset)); });
    if (n < 0) return Errno("write");
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return {};
}

}  // namespace

// The memory part is had when the first bytes come; without memfd (an old kernel) the spool is
// a file from the start.
SysError CSpool::Append(std::span<const std::uint8_t> bytes) {
  if (!handle_.IsValid()) {
    const int fd = ::memfd_create("morfex-spool", MFD_CLOEXEC);
    if (fd >= 0) {
      handle_.Reset(fd);
    } else if (const SysError error = Spill()) {
      return error;
    }
  }
  if (!inFile_ && size_ + bytes.size() > kMemoryBytes) {
    if (const SysError error = Spill()) return error;
  }
  if (const SysError error = WriteAllAt(Fd(handle_), size_, bytes.data(), bytes.size())) return error;
  size_ += bytes.size();
  return {};
}

SysError CSpool::Truncate(std::uint64_t size) {
  if (size >= size_) return {};
  if (::ftruncate(Fd(handle_), static_cast<off_t>(size)) != 0) return Errno("ftruncate");
  size_ = size;
  return {};
}

// Moves what memory holds into the file, which holds everything from then on.
SysError CSpool::Spill() {
  const int fd = OpenTemporaryFile();
  if (fd < 0) return Errno("open");
  CHandle file(fd);
  std::vector<std::uint8_t> piece(kPieceBytes);
  for (std::uint64_t offset = 0; offset < size_;) {
    const ssize_t n =
        RetryOnEintr([&] { return ::pread(Fd(handle_), piece.data(), piece.size(), static_cast<off_t>(offset)); });
    if (n <= 0) return n < 0 ? Errno("read") : SysError{EIO, "read"};
    if (const SysError error = WriteAllAt(fd, offset, piece.data(), static_cast<std::size_t>(n))) return error;
    offset += static_cast<std::uint64_t>(n);
  }
  handle_ = std::move(file);
  inFile_ = true;
  return {};
}

SysError CSpool::OpenForReading(CFile& file) const {
  file = {};
  if (!handle_.IsValid()) {  // nothing was spooled: an empty memory file reads as empty text
    const int fd = ::memfd_create("morfex-spool", MFD_CLOEXEC);
    if (fd < 0) return Errno("memfd_create");
    file.handle.Reset(fd);
  } else {
    const int fd = ::fcntl(Fd(handle_), F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return Errno("dup");
    file.handle.Reset(fd);
  }
  struct stat st;
  if (::fstat(Fd(file.handle), &st) != 0) return Errno("fstat");
  file.status = posix::StatusOf(st);
  file.status.type = EntryType::Regular;
  file.status.size = size_;
  return {};
}

SysError OpenStandardInput(CSpool& spool, CFile& file, const std::function<void(std::size_t)>& read) {
  file = {};
  struct stat st;
  if (::fstat(STDIN_FILENO, &st) != 0) return Errno("fstat");
  // A regular file read from its start is the source itself: nothing to copy, and its own
  // permission bits decide who may read the converted copy.
  if (S_ISREG(st.st_mode) && ::lseek(STDIN_FILENO, 0, SEEK_CUR) == 0) {
    const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return Errno("dup");
    file.handle.Reset(fd);
    file.status = posix::StatusOf(st);
    return {};
  }
  std::vector<std::uint8_t> piece(kPieceBytes);
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return ::read(STDIN_FILENO, piece.data(), piece.size()); });
    if (n < 0 && errno == EAGAIN) {  // a descriptor inherited in non-blocking mode: wait for it
      pollfd ready{STDIN_FILENO, POLLIN, 0};
      (void)::poll(&ready, 1, -1);
      continue;
    }
    if (n < 0) return Errno("read");
    if (n == 0) break;
    if (const SysError error = spool.Append({piece.data(), static_cast<std::size_t>(n)})) return error;
    read(static_cast<std::size_t>(n));
  }
  if (const SysError error = spool.OpenForReading(file)) return error;
  file.status.permissions = 0666;
  return {};
}

}  // namespace glyphshift::platform
