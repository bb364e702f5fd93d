// Small pieces every POSIX file of the platform layer shares.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <span>
#include <string>

#include "platform/files.h"

namespace glyphshift::platform::posix {

// Signals can interrupt open/read/write: retry them. Never close(): Linux frees the descriptor
// even when close reports EINTR, so a retry could close a file another part just opened.
template <class Call>
auto RetryOnEintr(Call call) {
  auto r = call();
  while (r == -1 && errno == EINTR) r = call();
  return r;
}

inline SysError Errno(const char* op) { return {errno, op}; }

inline int Fd(const CHandle& handle) { return static_cast<int>(handle.Get()); }

// A native path. A NUL would make the OS see a shorter, different path: refused.
SysError ToNativePath(const std::u16string& path, std::string& native);

// A native name of one entry for the *at() calls: a separator would reach into another
// directory, and "", "." and ".." name no entry, so all of them are refused (EINVAL).
SysError ToNativeName(const std::u16string& name, std::string& native);

EntryType TypeOf(mode_t mode);
FileStatus StatusOf(const struct stat& st);

// `directory` and `name` joined by one separator, for messages.
std::u16string JoinForMessages(const std::u16string& directory, const std::u16string& name);

// Paths the person named (named_paths.cpp), walked one component at a time: a link on the way is
// followed only by the rule for links in shared folders (see there), else kErrorUnsafeLink.
// The directory `path` names, open for reading.
SysError OpenNamedDirectory(const std::string& path, CHandle& directory);
// The directory that holds the last component of `path`, open for reading, that component
// (EISDIR when the path ends in a separator, "." or "..") and the folder's path, for messages.
// With `followLast`, a link there is followed, by the same rule, to the folder and name of what
// it leads to (which may not exist).
SysError OpenNamedFolder(const std::string& path, bool followLast, CHandle& directory, std::string& name,
                         std::string& where);

// Whether the process runs with privileges: as root, or with an ownership capability it may
// raise (security.cpp). Such a run follows links only by the stricter rule.
bool RunsWithPrivileges();

// Removes every staged file in progress; async-signal-safe (staged_files.cpp).
void RemoveStagedFilesNow();

// Staged files (staged_files.cpp).
SysError CreateStaged(const CDirectory& directory, CStagedFile& staged);
SysError WriteStaged(CStagedFile& staged, std::span<const std::uint8_t> data);
SysError TruncateStaged(CStagedFile& staged, std::uint64_t size);
void StartFlushStaged(CStagedFile& staged);
SysError CopyAttributes(CStagedFile& staged, const CFile& replaced);
SysError SetNewFilePermissions(CStagedFile& staged, std::uint32_t permissions);
SysError FlushStaged(CStagedFile& staged);
SysError WaitForStaged(CStagedFile& staged);
SysError Commit(CStagedFile& staged, const std::u16string& name, Replace replace);
void Discard(CStagedFile& staged);

}  // namespace glyphshift::platform::posix
