// The POSIX side of platform/files.h: directories and files reached through descriptors with
// the *at() calls. A name found in a listing is opened with O_NOFOLLOW, so a link another user
// planted leads nowhere, and a directory is checked against the identity its parent listed, so
// one swapped in meanwhile is noticed. Every call a signal can interrupt is retried.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/native_side.h"
#include "platform/native_text.h"
#include "platform/posix/posix_calls.h"
#include "platform/temporary_names.h"

namespace glyphshift::platform {

namespace posix {

SysError ToNativePath(const std::u16string& path, std::string& native) {
  if (path.find(u'\0') != std::u16string::npos) return {EINVAL, "open"};
  native = ToNative(path);
  return {};
}

SysError ToNativeName(const std::u16string& name, std::string& native) {
  if (name.empty() || name == u"." || name == u".." || name.find(u'/') != std::u16string::npos ||
      name.find(u'\0') != std::u16string::npos) {
    return {EINVAL, "open"};
  }
  native = ToNative(name);
  return {};
}

EntryType TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryType::Regular;
  if (S_ISDIR(mode)) return EntryType::Directory;
  if (S_ISLNK(mode)) return EntryType::SymbolicLink;
  return EntryType::Other;
}

std::uint64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u + static_cast<std::uint64_t>(t.tv_nsec);
}

FileStatus StatusOf(const struct stat& st) {
  return {TypeOf(st.st_mode),
          {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)},
          static_cast<std::uint64_t>(st.st_size),
          static_cast<std::uint32_t>(st.st_mode & 07777),
          Nanoseconds(st.st_mtim),
          Nanoseconds(st.st_ctim),
          static_cast<std::uint32_t>(st.st_uid),
          static_cast<std::uint32_t>(st.st_gid)};
}

std::u16string JoinForMessages(const std::u16string& directory, const std::u16string& name) {
  if (directory.empty()) return name;
  std::u16string joined;
  joined.reserve(directory.size() + 1 + name.size());
  joined.append(directory);
  if (joined.back() != u'/') joined += u'/';
  joined.append(name);
  return joined;
}

}  // namespace posix

using namespace posix;

void CHandle::Reset(Native native) {
  if (native_ != kInvalid) ::close(static_cast<int>(native_));
  native_ = native;
}

namespace {

// O_NOFOLLOW reports a link at the name as ELOOP, and together with O_DIRECTORY as ENOTDIR:
// tell the person plainly what stood there.
SysError OpenError(int dirFd, const std::string& name) {
  const int code = errno;
  struct stat st;
  if ((code == ELOOP || code == ENOTDIR) && ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(st.st_mode)) {
    return {kErrorIsLink, "open"};
  }
  return {code, "open"};
}

// Takes an opened descriptor (closing it on failure) as `file` when it is a regular file: a
// directory is EISDIR, anything else EINVAL.
SysError TakeRegularFile(int fd, std::u16string path, CFile& file) {
  CFile opened;
  opened.handle.Reset(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) return Errno("fstat");
  if (S_ISDIR(st.st_mode)) return {EISDIR, "read"};
  if (!S_ISREG(st.st_mode)) return {EINVAL, "read"};
  opened.status = StatusOf(st);
  opened.path = std::move(path);
  file = std::move(opened);
  return {};
}

// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
SysError ReadFullyAt(int fd, std::uint64_t offset, std::uint8_t* data, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n =
        RetryOnEintr([&] { return ::pread(fd, data + got, size - got, static_cast<off_t>(offset + got)); });
    if (n < 0) return Errno("read");
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return {};
}

SysError FillDirectory(int fd, std::u16string path, CDirectory& directory) {
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const SysError error = Errno("fstat");
    ::close(fd);
    return error;
  }
  directory.handle.Reset(fd);
  directory.path = std::move(path);
  directory.id = StatusOf(st).id;
  directory.permissions = StatusOf(st).permissions;
  return {};
}

class CPosixFileSystem final : public FileSystem {
 public:
  SysError OpenNamedFile(const std::u16string& path, CFile& file) override;

  SysError OpenDirectory(const std::u16string& path, CDirectory& directory) override;
  SysError OpenSubdirectory(const CDirectory& parent, const std::u16string& name, const FileId* expected,
                            CDirectory& directory) override;
  SysError CreateSubdirectory(const CDirectory& parent, const std::u16string& name, std::uint32_t permissions) override;
  SysError ListDirectory(const CDirectory& directory, std::vector<DirectoryEntry>& entries) override;
  SysError ListTemporaryNames(const CDirectory& directory, std::vector<std::u16string>& names) override;
  SysError IsBelow(const CDirectory& inner, const FileId& outer, bool& below) override;

  SysError Status(const CDirectory& directory, const std::u16string& name, FileStatus& status) override;
  SysError StatusOfOpen(const CFile& file, FileStatus& status) override;
  SysError OpenFile(const CDirectory& directory, const std::u16string& name, CFile& file) override;
  SysError ReadFile(const CFile& file, std::uint64_t offset, std::uint8_t* data, std::size_t size,
                    std::size_t& got) override;
  SysError OpenForReplacing(const CDirectory& directory, const std::u16string& name, CFile& file) override;
  SysError LockFile(const CFile& file) override;
  SysError OpenNamedParent(const std::u16string& path, bool followLinks, CDirectory& directory,
                           std::u16string& name) override;

  SysError CreateStaged(const CDirectory& directory, CStagedFile& staged) override {
    return posix::CreateStaged(directory, staged);
  }
  SysError WriteStaged(CStagedFile& staged, std::span<const std::uint8_t> data) override {
    return posix::WriteStaged(staged, data);
  }
  SysError TruncateStaged(CStagedFile& staged, std::uint64_t size) override {
    return posix::TruncateStaged(staged, size);
  }
  void StartFlushStaged(CStagedFile& staged) override { posix::StartFlushStaged(staged); }
  SysError CopyAttributes(CStagedFile& staged, const CFile& replaced) override {
    return posix::CopyAttributes(staged, replaced);
  }
  SysError SetNewFilePermissions(CStagedFile& staged, std::uint32_t permissions) override {
    return posix::SetNewFilePermissions(staged, permissions);
  }
  SysError FlushStaged(CStagedFile& staged) override { return posix::FlushStaged(staged); }
  SysError WaitForStaged(CStagedFile& staged) override { return posix::WaitForStaged(staged); }
  SysError FlushFileSystem(const CDirectory& directory) override;
  SysError Commit(CStagedFile& staged, const std::u16string& name, Replace replace) override {
    return posix::Commit(staged, name, replace);
  }
  void Discard(CStagedFile& staged) override { posix::Discard(staged); }
  SysError ReclaimTemporary(const CDirectory& directory, const std::u16string& name, bool& removed) override;
  SysError RenameEntry(const CDirectory& directory, const std::u16string& from, const std::u16string& to,
                       const FileId* expected) override;
  SysError RemoveEntry(const CDirectory& directory, const std::u16string& name, const FileId* expected) override;

  EntryType GetEntryType(const std::u16string& path) override;
  std::u16string CurrentDirectory() override;
};

SysError CPosixFileSystem::OpenNamedFile(const std::u16string& path, CFile& file) {
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  CHandle folder;
  std::string name, where;
  if (auto error = OpenNamedFolder(native, true, folder, name, where)) return error;
  // O_NONBLOCK: opening a FIFO without a writer must not hang the run; it is refused below.
  // O_NOFOLLOW: the links were followed by the rule; one swapped in since is refused.
  const int fd = RetryOnEintr(
      [&] { return ::openat(Fd(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); });
  if (fd < 0) return OpenError(Fd(folder), name);
  return TakeRegularFile(fd, path, file);
}

SysError CPosixFileSystem::OpenDirectory(const std::u16string& path, CDirectory& directory) {
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  CHandle opened;
  if (auto error = OpenNamedDirectory(native, opened)) return error;
  return FillDirectory(static_cast<int>(opened.Release()), path, directory);
}

SysError CPosixFileSystem::OpenSubdirectory(const CDirectory& parent, const std::u16string& name,
                                            const FileId* expected, CDirectory& directory) {
  std::string native;
  if (auto error = ToNativeName(name, native)) return error;
  const int fd = RetryOnEintr(
      [&] { return ::openat(Fd(parent.handle), native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
  if (fd < 0) return OpenError(Fd(parent.handle), native);
  CDirectory opened;
  if (auto error = FillDirectory(fd, JoinForMessages(parent.path, name), opened)) return error;
  if (expected && opened.id != *expected) return {kErrorReplaced, "open"};
  directory = std::move(opened);
  return {};
}

SysError CPosixFileSystem::CreateSubdirectory(const CDirectory& parent, const std::u16string& name,
                                              std::uint32_t permissions) {
  std::string native;
  if (auto error = ToNativeName(name, native)) return error;
  if (::mkdirat(Fd(parent.handle), native.c_str(), static_cast<mode_t>(permissions & 07777)) != 0) {
    return Errno("mkdir");
  }
  return {};
}

// Every name of the directory but "." and "..", read through a descriptor of its own (reading a
// directory moves a position the caller's handle shares); with `keep`, only those it accepts.
template <class Keep>
SysError ReadNames(const CDirectory& directory, std::vector<std::string>& names, Keep keep) {
  names.clear();
  const int fd = RetryOnEintr([&] { return ::openat(Fd(directory.handle), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return Errno("opendir");
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), ::closedir);
  if (!dir) {
    const SysError error = Errno("opendir");
    ::close(fd);
    return error;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return Errno("readdir");
      return {};
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != ".." && keep(name)) names.emplace_back(name);
  }
}

SysError CPosixFileSystem::ListTemporaryNames(const CDirectory& directory, std::vector<std::u16string>& names) {
  names.clear();
  std::vector<std::string> found;
  const auto temporary = [](std::string_view name) {
    return name.starts_with(kTemporaryPrefix) && IsTemporaryName(FromNative(name));
  };
  if (auto error = ReadNames(directory, found, temporary)) return error;
  for (const std::string& name : found) names.push_back(FromNative(name));
  return {};
}

SysError CPosixFileSystem::ListDirectory(const CDirectory& directory, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  // Every name first, then their types: files created while the caller works through the list
  // (its own output) are never part of it.
  std::vector<std::string> names;
  if (auto error = ReadNames(directory, names, [](std::string_view) { return true; })) return error;
  const int fd = Fd(directory.handle);
  entries.reserve(names.size());
  for (const std::string& name : names) {
    struct stat st;
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    const FileStatus status = StatusOf(st);
    DirectoryEntry entry{FromNative(name), status.type, status.type, status.id};
    // Only to tell the person what was not followed: the target is looked at, never opened.
    if (entry.type == EntryType::SymbolicLink) {
      entry.targetType = ::fstatat(fd, name.c_str(), &st, 0) == 0 ? TypeOf(st.st_mode) : EntryType::Missing;
    }
    entries.push_back(std::move(entry));
  }
  return {};
}

SysError CPosixFileSystem::IsBelow(const CDirectory& inner, const FileId& outer, bool& below) {
  below = false;
  CHandle current(RetryOnEintr([&] { return ::openat(Fd(inner.handle), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (!current.IsValid()) return Errno("open");
  FileId id = inner.id;
  for (;;) {
    CHandle parent(RetryOnEintr([&] { return ::openat(Fd(current), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!parent.IsValid()) return Errno("open");
    struct stat st;
    if (::fstat(Fd(parent), &st) != 0) return Errno("fstat");
    const FileId parentId = StatusOf(st).id;
    if (parentId == outer) {
      below = true;
      return {};
    }
    if (parentId == id) return {};  // the root is its own parent
    id = parentId;
    current = std::move(parent);
  }
}

SysError CPosixFileSystem::Status(const CDirectory& directory, const std::u16string& name, FileStatus& status) {
  status = {};
  std::string native;
  if (auto error = ToNativeName(name, native)) return error;
  struct stat st;
  if (::fstatat(Fd(directory.handle), native.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return {};
    return Errno("stat");
  }
  status = StatusOf(st);
  return {};
}

SysError CPosixFileSystem::StatusOfOpen(const CFile& file, FileStatus& status) {
  struct stat st {};
  if (::fstat(static_cast<int>(file.handle.Get()), &st) != 0) return {errno, "fstat"};
  status = StatusOf(st);
  return {};
}

SysError CPosixFileSystem::OpenFile(const CDirectory& directory, const std::u16string& name, CFile& file) {
  std::string native;
  if (auto error = ToNativeName(name, native)) return error;
  // O_NONBLOCK: a FIFO swapped in for a listed file must not hang the run; it is refused below.
  const int fd = RetryOnEintr([&] {
    return ::openat(Fd(directory.handle), native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  });
  if (fd < 0) return OpenError(Fd(directory.handle), native);
  return TakeRegularFile(fd, JoinForMessages(directory.path, name), file);
}

SysError CPosixFileSystem::ReadFile(const CFile& file, std::uint64_t offset, std::uint8_t* data, std::size_t size,
                                    std::size_t& got) {
  return ReadFullyAt(Fd(file.handle), offset, data, size, got);
}

SysError CPosixFileSystem::LockFile(const CFile& file) {
  // flock, not fcntl: its lock belongs to the open file, so closing another descriptor of the
  // same file elsewhere in the process does not drop it.
  if (::flock(Fd(file.handle), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return {};
  return {kErrorLocked, "flock"};
}

SysError CPosixFileSystem::OpenForReplacing(const CDirectory& directory, const std::u16string& name, CFile& file) {
  if (auto error = OpenFile(directory, name, file)) return error;
  std::string native;
  (void)ToNativeName(name, native);  // OpenFile took it
  if (::faccessat(Fd(directory.handle), native.c_str(), W_OK, AT_EACCESS) != 0) {
    file = {};
    return Errno("open");
  }
  return {};
}

SysError CPosixFileSystem::OpenNamedParent(const std::u16string& path, bool followLinks, CDirectory& directory,
                                           std::u16string& name) {
  std::string native;
  if (auto error = ToNativePath(path, native)) return error;
  CHandle folder;
  std::string last, where;
  if (auto error = OpenNamedFolder(native, followLinks, folder, last, where)) return error;
  CDirectory opened;
  if (auto error = FillDirectory(static_cast<int>(folder.Release()), FromNative(where), opened)) return error;
  directory = std::move(opened);
  name = FromNative(last);
  return {};
}

SysError CPosixFileSystem::FlushFileSystem(const CDirectory& directory) {
  if (::syncfs(Fd(directory.handle)) != 0) return Errno("syncfs");
  return {};
}

namespace {
// With `expected`, fails unless `name` in `fd` still holds that file (not following a link).
SysError CheckEntryIs(int fd, const std::string& name, const FileId* expected, const char* what) {
  if (!expected) return {};
  struct stat st;
  if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Errno(what);
  if (StatusOf(st).id != *expected) return {kErrorReplaced, what};
  return {};
}
}  // namespace

SysError CPosixFileSystem::RenameEntry(const CDirectory& directory, const std::u16string& from,
                                       const std::u16string& to, const FileId* expected) {
  std::string nativeFrom, nativeTo;
  if (auto error = ToNativeName(from, nativeFrom)) return error;
  if (auto error = ToNativeName(to, nativeTo)) return error;
  const int fd = Fd(directory.handle);
  if (auto error = CheckEntryIs(fd, nativeFrom, expected, "rename")) return error;
  if (::renameat2(fd, nativeFrom.c_str(), fd, nativeTo.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return Errno("rename");
  // A file system without the flag: a hard link is never made over an existing name either.
  if (::linkat(fd, nativeFrom.c_str(), fd, nativeTo.c_str(), 0) != 0) return Errno("rename");
  if (::unlinkat(fd, nativeFrom.c_str(), 0) != 0) return Errno("rename");
  return {};
}

SysError CPosixFileSystem::RemoveEntry(const CDirectory& directory, const std::u16string& name,
                                       const FileId* expected) {
  std::string native;
  if (auto error = ToNativeName(name, native)) return error;
  const int fd = Fd(directory.handle);
  if (auto error = CheckEntryIs(fd, native, expected, "unlink")) return error;
  if (::unlinkat(fd, native.c_str(), 0) != 0) return Errno("unlink");
  return {};
}

SysError CPosixFileSystem::ReclaimTemporary(const CDirectory& directory, const std::u16string& name, bool& removed) {
  removed = false;
  if (!IsTemporaryName(name)) return {EINVAL, "unlink"};
  std::string native;
  if (auto error = ToNativeName(name, native)) return error;
  const int dirFd = Fd(directory.handle);
  const CHandle file(RetryOnEintr(
      [&] { return ::openat(dirFd, native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
  if (!file.IsValid()) return OpenError(dirFd, native);
  struct stat st;
  if (::fstat(Fd(file), &st) != 0) return Errno("fstat");
  if (!S_ISREG(st.st_mode) || st.st_nlink != 1) return {};  // not one a run of ours left
  // The lock is free: its run is gone, or it has only just made the file and gives it up when
  // it finds the lock taken (CreateStaged).
  if (::flock(Fd(file), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? SysError{} : Errno("flock");
  const FileId id = StatusOf(st).id;
  if (auto error = CheckEntryIs(dirFd, native, &id, "unlink")) return error;
  if (::unlinkat(dirFd, native.c_str(), 0) != 0) return Errno("unlink");
  removed = true;
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

std::u16string CPosixFileSystem::CurrentDirectory() {
  // glibc sizes the buffer itself, also beyond PATH_MAX.
  const std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
  // "." still names the directory for relative paths when its full name cannot be had.
  return cwd ? FromNative(cwd.get()) : std::u16string(u".");
}

}  // namespace

FileSystem& NativeFiles() {
  static CPosixFileSystem posix;
  return posix;
}

std::size_t OpenHandleLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1u << 20;
  return static_cast<std::size_t>(limit.rlim_cur);
}

std::size_t RaiseOpenHandleLimit(std::size_t wanted) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    const auto goal = static_cast<rlim_t>(wanted);
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? goal : std::min(limit.rlim_max, goal);
    (void)::setrlimit(RLIMIT_NOFILE, &limit);  // beyond the kernel's own bound it stays as it was
  }
  return OpenHandleLimit();
}

}  // namespace glyphshift::platform
