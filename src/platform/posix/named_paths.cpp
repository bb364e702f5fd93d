// Paths the person named, on POSIX: walked one component at a time from "/" or the current
// directory, so that every symbolic link on the way is seen before it is followed and is
// followed only by the rule for links in folders others share:
//   with privileges (root, or an ownership capability), a link is followed only when it belongs
//   to the process's user or to the owner of what it leads to, and only when no folder on the
//   way may be written by another account (a sticky folder of the user or of root aside:
//   others may add names there, not replace ours). A privileged run would otherwise write,
//   through a link another user planted, wherever that user points it.
//   without, the kernel's own rule for sticky folders everyone may write (protected_symlinks),
//   which reading the links ourselves would otherwise bypass.
// Any other link is kErrorUnsafeLink. Each link is read through a descriptor of the link
// itself, so the link checked is the link followed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/posix/posix_calls.h"

namespace glyphshift::platform::posix {
namespace {

constexpr int kMaxLinks = 40;  // the kernel's own limit for a path walk

std::vector<std::string> ComponentsOf(std::string_view path) {
  std::vector<std::string> components;
  for (std::size_t at = 0; at < path.size();) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    if (end > at) components.emplace_back(path.substr(at, end - at));
    at = end + 1;
  }
  return components;
}

// The folder part of a path as text, as messages name it: "a/b" gives "a", "b" gives ".", "/b"
// gives "/".
std::string FolderText(std::string_view path) {
  const auto slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

int OpenPath(int folder, const char* name, int flags) {
  return RetryOnEintr([&] { return ::openat(folder, name, O_PATH | O_CLOEXEC | flags); });
}

class CPathWalk {
 public:
  CPathWalk() : privileged_(RunsWithPrivileges()), user_(::geteuid()) {}

  SysError Directory(int base, std::string_view path, CHandle& at) {
    if (auto error = Begin(base, path, at)) return error;
    for (const std::string& component : ComponentsOf(path)) {
      if (auto error = Enter(at, component)) return error;
    }
    return {};
  }

  // `baseText` names `base` for messages ("" for the current directory); `where` receives the
  // text of the folder reached.
  SysError Parent(int base, std::string_view baseText, std::string_view path, bool followLast, CHandle& at,
                  std::string& name, std::string& where) {
    std::vector<std::string> components = ComponentsOf(path);
    if (path.empty()) return {ENOENT, "open"};
    if (path.back() == '/' || components.empty() || components.back() == "." || components.back() == "..") {
      return {EISDIR, "open"};
    }
    const std::string last = std::move(components.back());
    components.pop_back();
    if (auto error = Begin(base, path, at)) return error;
    for (const std::string& component : components) {
      if (auto error = Enter(at, component)) return error;
    }
    struct stat st;
    const CHandle link(followLast ? OpenPath(Fd(at), last.c_str(), O_NOFOLLOW) : -1);
    const std::string text =
        baseText.empty() || path.front() == '/' ? std::string(path) : std::string(baseText) + "/" + std::string(path);
    if (!link.IsValid() || ::fstat(Fd(link), &st) != 0 || !S_ISLNK(st.st_mode)) {
      name = last;
      where = FolderText(text);
      return {};
    }
    std::string target;
    if (auto error = ReadLink(at, link, st, target)) return error;
    CHandle folder;
    if (auto error = Parent(Fd(at), FolderText(text), target, true, folder, name, where)) return error;
    // What the link leads to may not exist yet: then only the user's own link is followed.
    struct stat found;
    const bool exists = ::fstatat(Fd(folder), name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0;
    if (auto error = CheckOwner(st.st_uid, exists ? &found : nullptr)) return error;
    at = std::move(folder);
    return {};
  }

 private:
  // The walk's first folder: "/" for an absolute path, else `base` (the current directory, or
  // the folder of the link whose target is walked).
  SysError Begin(int base, std::string_view path, CHandle& at) {
    if (path.empty()) return {ENOENT, "open"};
    at.Reset(path.front() == '/' ? OpenPath(AT_FDCWD, "/", O_DIRECTORY) : OpenPath(base, ".", O_DIRECTORY));
    if (!at.IsValid()) return Errno("open");
    return Note(at);
  }

  // A folder on the way: one another account may write makes every later link unsafe.
  SysError Note(const CHandle& folder) {
    if (!privileged_ || shared_) return {};
    struct stat st;
    if (::fstat(Fd(folder), &st) != 0) return Errno("fstat");
    const bool keptByOwner = (st.st_mode & S_ISVTX) != 0 && (st.st_uid == user_ || st.st_uid == 0);
    shared_ = !keptByOwner && (!IsTrustedOwner(st.st_uid) || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0);
    return {};
  }

  bool IsTrustedOwner(uid_t uid) const { return uid == user_ || uid == 0; }

  // One component as a folder; a link there is followed by the rule.
  SysError Enter(CHandle& at, const std::string& component) {
    if (component == ".") return {};
    CHandle next(OpenPath(Fd(at), component.c_str(), component == ".." ? O_DIRECTORY : O_NOFOLLOW));
    if (!next.IsValid()) return Errno("open");
    struct stat st;
    if (::fstat(Fd(next), &st) != 0) return Errno("fstat");
    if (S_ISDIR(st.st_mode)) {
      at = std::move(next);
      return Note(at);
    }
    if (!S_ISLNK(st.st_mode)) return {ENOTDIR, "open"};
    std::string target;
    if (auto error = ReadLink(at, next, st, target)) return error;
    CHandle folder;
    if (auto error = Directory(Fd(at), target, folder)) return error;
    struct stat found;
    if (::fstat(Fd(folder), &found) != 0) return Errno("fstat");
    if (auto error = CheckOwner(st.st_uid, &found)) return error;
    at = std::move(folder);
    return {};
  }

  // The target of the link `link` (status `st`) in the folder `at`, where the rule lets it be
  // followed at all.
  SysError ReadLink(const CHandle& at, const CHandle& link, const struct stat& st, std::string& target) {
    if (++links_ > kMaxLinks) return {ELOOP, "open"};
    if (privileged_ && shared_) return {kErrorUnsafeLink, "open"};
    if (!privileged_) {
      struct stat folder;
      if (::fstat(Fd(at), &folder) != 0) return Errno("fstat");
      const bool sharedSticky = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
      if (sharedSticky && st.st_uid != user_ && st.st_uid != folder.st_uid) return {kErrorUnsafeLink, "open"};
    }
    target.assign(static_cast<std::size_t>(st.st_size) + 1, '\0');
    for (;;) {
      const ssize_t n = ::readlinkat(Fd(link), "", target.data(), target.size());
      if (n < 0) return Errno("readlink");
      if (static_cast<std::size_t>(n) < target.size()) {
        target.resize(static_cast<std::size_t>(n));
        return {};
      }
      target.resize(target.size() * 2);  // a link's size as reported can be short (in /proc)
    }
  }

  // With privileges, a link of another account leads only to what that account owns.
  SysError CheckOwner(uid_t linkOwner, const struct stat* target) const {
    if (!privileged_ || linkOwner == user_ || (target != nullptr && target->st_uid == linkOwner)) return {};
    return {kErrorUnsafeLink, "open"};
  }

  const bool privileged_;
  const uid_t user_;
  bool shared_ = false;
  int links_ = 0;
};

// An O_PATH descriptor of a folder as one its owner can list, rename in and flush.
SysError Reopen(CHandle& folder) {
  const int fd = RetryOnEintr([&] { return ::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return Errno("open");
  folder.Reset(fd);
  return {};
}

}  // namespace

SysError OpenNamedDirectory(const std::string& path, CHandle& directory) {
  CHandle at;
  if (auto error = CPathWalk().Directory(AT_FDCWD, path, at)) return error;
  if (auto error = Reopen(at)) return error;
  directory = std::move(at);
  return {};
}

SysError OpenNamedFolder(const std::string& path, bool followLast, CHandle& directory, std::string& name,
                         std::string& where) {
  CHandle at;
  if (auto error = CPathWalk().Parent(AT_FDCWD, "", path, followLast, at, name, where)) return error;
  if (auto error = Reopen(at)) return error;
  directory = std::move(at);
  return {};
}

}  // namespace glyphshift::platform::posix
