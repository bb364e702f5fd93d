// Small pieces every Win32 file of the platform layer shares: wide text, native results, and the
// NT calls that open a name relative to an open directory.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <span>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace glyphshift::platform::win32 {

// char16_t and wchar_t are both UTF-16 code units on Windows: the program's text is the
// native text, unit for unit.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string FromWide(const wchar_t* text) { return FromWide(text, wcslen(text)); }

inline HANDLE Native(const CHandle& handle) { return reinterpret_cast<HANDLE>(handle.Get()); }
inline HANDLE Native(CHandle::Native handle) { return reinterpret_cast<HANDLE>(handle); }
inline CHandle::Native Wrap(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE || handle == nullptr ? CHandle::kInvalid
                                                             : reinterpret_cast<CHandle::Native>(handle);
}

inline SysError LastError(const char* op) { return {static_cast<int>(GetLastError()), op}; }
// An NT status as the Windows error code the same failure gives through the documented calls.
inline SysError StatusError(NTSTATUS status, const char* op) {
  return {static_cast<int>(RtlNtStatusToDosError(status)), op};
}

// A path the file calls take: long paths get the "\\?\" form, which lifts the limit of 260
// characters (and turns off the parsing of "." and "..", so the path is made full first).
std::u16string ToWin32Path(const std::u16string& path);

// A name of one entry for the relative calls: separators would reach into another directory,
// "", "." and ".." name no entry, and ':' would open a stream of a file; all of them are
// refused (ERROR_INVALID_NAME).
SysError CheckEntryName(const std::u16string& name);

// Opens `name` relative to the open directory `directory` with NtCreateFile, never following a
// reparse point at the name (FILE_OPEN_REPARSE_POINT). `options` adds FILE_DIRECTORY_FILE or
// FILE_NON_DIRECTORY_FILE. Synchronous I/O; `share` as for CreateFileW.
NTSTATUS OpenRelative(HANDLE directory, const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, HANDLE& opened);

// What an open handle is: type, identity (volume serial and file index), size and the
// read-only bit as POSIX-style permissions (0444 or 0666; 0777 for a directory).
SysError StatusOfHandle(HANDLE handle, FileStatus& status);

// The sharing the run's handles grant: a rename over a name needs every handle open on it to
// share deletion, and the check that a file to be replaced may be written opens it for writing
// while the run reads it.
inline constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FileRenameInformation by handle, relative to `directory`: the file behind `file` takes `name`
// in that directory. `replace` lets it replace what stands there (a link is replaced, never
// followed); otherwise an existing name is ERROR_ALREADY_EXISTS.
SysError RenameByHandle(HANDLE file, HANDLE directory, const std::u16string& name, bool replace);

// Marks the file behind `file` for deletion (it goes when its last handle closes).
SysError DeleteByHandle(HANDLE file);

// Whether the process runs elevated (security.cpp): such a run follows a link the person named
// only by the rule for shared folders.
bool RunsWithPrivileges();
// That rule for one link (a reparse point, `link` opened as itself) in `folder`, leading to
// `target`: the link belongs to the process's user, the administrators or the system, or to
// the owner of its target, and no other account may change the folder; else kErrorUnsafeLink.
SysError CheckNamedLink(HANDLE folder, HANDLE link, HANDLE target);

// Staged files (staged_files.cpp).
SysError CreateStaged(const CDirectory& directory, CStagedFile& staged);
SysError WriteStaged(CStagedFile& staged, std::span<const std::uint8_t> data);
SysError TruncateStaged(CStagedFile& staged, std::uint64_t size);
SysError CopyAttributes(CStagedFile& staged, const CFile& replaced);
SysError SetNewFilePermissions(CStagedFile& staged, std::uint32_t permissions);
SysError FlushStaged(CStagedFile& staged);
// The two steps of a batch's flush (FileSystem::WaitForStaged and FlushFileSystem).
SysError WaitForStaged(CStagedFile& staged);
SysError FlushVolume(const CDirectory& directory);
SysError Commit(CStagedFile& staged, const std::u16string& name, Replace replace);
void Discard(CStagedFile& staged);

}  // namespace glyphshift::platform::win32
