// The Win32 side of platform/files.h: directories and files reached through handles. A name
// found in a listing is opened relative to its open directory (NtCreateFile with the directory
// as root) with FILE_OPEN_REPARSE_POINT, so a symbolic link or junction another user planted
// leads nowhere, and a directory is checked against the identity (volume serial and file index)
// its parent listed, so one swapped in meanwhile is noticed. Renames and deletions go by handle.
#include "platform/files.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/native_side.h"
#include "platform/path_names.h"
#include "platform/path_roots.h"
#include "platform/win32/win32_calls.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                               FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);

namespace glyphshift::platform {

namespace win32 {

namespace {
constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kStatusObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kStatusFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);
constexpr NTSTATUS kStatusNotADirectory = static_cast<NTSTATUS>(0xC0000103);
constexpr NTSTATUS kStatusSharingViolation = static_cast<NTSTATUS>(0xC0000043);

// Paths this long need the "\\?\" form (directories must leave room for an 8.3 name).
constexpr std::size_t kShortPathLimit = MAX_PATH - 12;

bool IsNotFound(NTSTATUS status) { return status == kStatusObjectNameNotFound || status == kStatusObjectPathNotFound; }
}  // namespace

std::u16string ToWin32Path(const std::u16string& path) {
  if (path.size() < kShortPathLimit || path.starts_with(u"\\\\?\\")) return path;
  const std::u16string text(path);
  DWORD size = GetFullPathNameW(Wide(text), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(Wide(text), size, full.data(), nullptr);
  full.resize(size);
  const std::u16string resolved = FromWide(full.c_str(), full.size());
  if (resolved.starts_with(u"\\\\?\\") || resolved.starts_with(u"\\\\.\\")) return resolved;
  if (resolved.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + resolved.substr(2);
  return u"\\\\?\\" + resolved;
}

SysError CheckEntryName(const std::u16string& name) {
  if (name.empty() || name == u"." || name == u"..") return {ERROR_INVALID_NAME, "open"};
  for (const char16_t c : name) {
    if (IsPathSeparator(c) || c == u':' || c == u'\0') return {ERROR_INVALID_NAME, "open"};
  }
  return {};
}

NTSTATUS OpenRelative(HANDLE directory, const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, HANDLE& opened) {
  opened = nullptr;
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(Wide(name));
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES attributes;
  // Names compare without case, as every Win32 call compares them.
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, directory, nullptr);
  IO_STATUS_BLOCK io{};
  return NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                      disposition, options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
}

SysError StatusOfHandle(HANDLE handle, FileStatus& status) {
  status = {};
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    status.type = EntryType::Other;
    return {};
  }
  if (!GetFileInformationByHandle(handle, &info)) return LastError("GetFileInformationByHandle");
  const DWORD attributes = info.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    status.type = EntryType::SymbolicLink;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    status.type = EntryType::Directory;
  } else {
    status.type = EntryType::Regular;
  }
  status.id = {info.dwVolumeSerialNumber, static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  status.size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  if (status.type == EntryType::Directory) {
    status.permissions = 0777;
  } else {
    status.permissions = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  }
  status.modified =
      static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime;
  // The change time (attributes included) where the file system keeps one.
  FILE_BASIC_INFO basic{};
  if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
    status.changed = static_cast<std::uint64_t>(basic.ChangeTime.QuadPart);
  }
  return {};
}

SysError RenameByHandle(HANDLE file, HANDLE directory, const std::u16string& name, bool replace) {
  if (auto error = CheckEntryName(name)) return error;
  const std::size_t bytes = offsetof(FILE_RENAME_INFORMATION, FileName) + name.size() * sizeof(wchar_t);
  std::vector<std::uint8_t> buffer(bytes + sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = directory;
  info->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.data(), info->FileNameLength);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = NtSetInformationFile(file, &io, info, static_cast<ULONG>(bytes), FileRenameInformation);
  if (!NT_SUCCESS(status)) return StatusError(status, "rename");
  return {};
}

SysError DeleteByHandle(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)) {
    return LastError("delete");
  }
  return {};
}

}  // namespace win32

using namespace win32;

void CHandle::Reset(Native native) {
  if (native_ != kInvalid) CloseHandle(reinterpret_cast<HANDLE>(native_));
  native_ = native;
}

namespace {

// A relative open's failure as the caller should hear it: a link where none may be followed,
// a directory where a file was wanted.
SysError OpenError(NTSTATUS status, const char* op) {
  if (status == kStatusFileIsADirectory) return {kErrorIsDirectory, op};
  return StatusError(status, op);
}

// The handle as `file` when it is a regular file; a reparse point (opened as itself, never
// followed) is kErrorIsLink, a directory kErrorIsDirectory, anything else kErrorNotRegular.
SysError TakeRegularFile(HANDLE handle, std::u16string path, CFile& file) {
  CFile opened;
  opened.handle.Reset(Wrap(handle));
  if (auto error = StatusOfHandle(handle, opened.status)) return error;
  switch (opened.status.type) {
    case EntryType::Regular: break;
    case EntryType::SymbolicLink: return {kErrorIsLink, "open"};
    case EntryType::Directory: return {kErrorIsDirectory, "open"};
    default: return {kErrorNotRegular, "open"};
  }
  opened.path = std::move(path);
  file = std::move(opened);
  return {};
}

std::u16string JoinForMessages(const std::u16string& directory, const std::u16string& name) {
  if (directory.empty()) return name;
  std::u16string joined = directory;
  if (!IsPathSeparator(joined.back())) joined += kPathSeparator;
  return joined + name;
}

SysError FillDirectory(HANDLE handle, std::u16string path, CDirectory& directory) {
  CDirectory opened;
  opened.handle.Reset(Wrap(handle));
  FileStatus status;
  if (auto error = StatusOfHandle(handle, status)) return error;
  if (status.type == EntryType::SymbolicLink) return {kErrorIsLink, "open"};
  if (status.type != EntryType::Directory) return {ERROR_DIRECTORY, "open"};
  opened.path = std::move(path);
  opened.id = status.id;
  opened.permissions = status.permissions;
  directory = std::move(opened);
  return {};
}

// The directory part of a path and its last component ("a\b": "a" and "b"; "b": "." and "b";
// "C:\b": "C:\" and "b").
void SplitPath(const std::u16string& path, std::u16string& directory, std::u16string& name) {
  const std::size_t root = PathRootLength(path);
  std::size_t separator = std::u16string::npos;
  for (std::size_t i = path.size(); i > root; --i) {
    if (IsPathSeparator(path[i - 1])) {
      separator = i - 1;
      break;
    }
  }
  if (separator == std::u16string::npos) {
    directory = root == 0 ? u"." : path.substr(0, root);
    name = path.substr(root);
  } else {
    directory = path.substr(0, separator == 0 || separator < root ? root : separator);
    if (directory.empty()) directory = path.substr(0, 1);
    name = path.substr(separator + 1);
  }
}

// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
SysError ReadFullyAt(HANDLE handle, std::uint64_t offset, std::uint8_t* data, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    OVERLAPPED at{};
    const std::uint64_t position = offset + got;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
    DWORD n = 0;
    if (!::ReadFile(handle, data + got, want, &n, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return LastError("read");
    }
    if (n == 0) break;
    got += n;
  }
  return {};
}

class CWin32FileSystem final : public FileSystem {
 public:
  SysError OpenNamedFile(const std::u16string& path, CFile& file) override;

  SysError OpenDirectory(const std::u16string& path, CDirectory& directory) override;
  SysError OpenSubdirectory(const CDirectory& parent, const std::u16string& name, const FileId* expected,
                            CDirectory& directory) override;
  SysError CreateSubdirectory(const CDirectory& parent, const std::u16string& name, std::uint32_t permissions) override;
  SysError ListDirectory(const CDirectory& directory, std::vector<DirectoryEntry>& entries) override;
  // A listing here carries the types anyway: it costs no more than the names.
  SysError ListTemporaryNames(const CDirectory& directory, std::vector<std::u16string>& names) override {
    names.clear();
    std::vector<DirectoryEntry> entries;
    if (auto error = ListDirectory(directory, entries)) return error;
    for (DirectoryEntry& entry : entries) {
      if (IsTemporaryName(entry.name)) names.push_back(std::move(entry.name));
    }
    return {};
  }
  SysError IsBelow(const CDirectory& inner, const FileId& outer, bool& below) override;

  SysError Status(const CDirectory& directory, const std::u16string& name, FileStatus& status) override;
  SysError StatusOfOpen(const CFile& file, FileStatus& status) override {
    return StatusOfHandle(reinterpret_cast<HANDLE>(file.handle.Get()), status);
  }
  SysError OpenFile(const CDirectory& directory, const std::u16string& name, CFile& file) override;
  SysError ReadFile(const CFile& file, std::uint64_t offset, std::uint8_t* data, std::size_t size,
                    std::size_t& got) override {
    return ReadFullyAt(Native(file.handle), offset, data, size, got);
  }
  SysError OpenForReplacing(const CDirectory& directory, const std::u16string& name, CFile& file) override;
  SysError LockFile(const CFile& file) override;
  SysError OpenNamedParent(const std::u16string& path, bool followLinks, CDirectory& directory,
                           std::u16string& name) override;

  SysError CreateStaged(const CDirectory& directory, CStagedFile& staged) override {
    return win32::CreateStaged(directory, staged);
  }
  SysError WriteStaged(CStagedFile& staged, std::span<const std::uint8_t> data) override {
    return win32::WriteStaged(staged, data);
  }
  SysError TruncateStaged(CStagedFile& staged, std::uint64_t size) override {
    return win32::TruncateStaged(staged, size);
  }
  void StartFlushStaged(CStagedFile&) override {}
  SysError CopyAttributes(CStagedFile& staged, const CFile& replaced) override {
    return win32::CopyAttributes(staged, replaced);
  }
  SysError SetNewFilePermissions(CStagedFile& staged, std::uint32_t permissions) override {
    return win32::SetNewFilePermissions(staged, permissions);
  }
  SysError FlushStaged(CStagedFile& staged) override { return win32::FlushStaged(staged); }
  SysError WaitForStaged(CStagedFile& staged) override { return win32::WaitForStaged(staged); }
  SysError FlushFileSystem(const CDirectory& directory) override { return win32::FlushVolume(directory); }
  SysError Commit(CStagedFile& staged, const std::u16string& name, Replace replace) override {
    return win32::Commit(staged, name, replace);
  }
  void Discard(CStagedFile& staged) override { win32::Discard(staged); }
  SysError ReclaimTemporary(const CDirectory& directory, const std::u16string& name, bool& removed) override;
  SysError RenameEntry(const CDirectory& directory, const std::u16string& from, const std::u16string& to,
                       const FileId* expected) override;
  SysError RemoveEntry(const CDirectory& directory, const std::u16string& name, const FileId* expected) override;

  EntryType GetEntryType(const std::u16string& path) override;
  std::u16string CurrentDirectory() override;
};

SysError CWin32FileSystem::OpenNamedFile(const std::u16string& path, CFile& file) {
  if (path.find(u'\0') != std::u16string::npos) return {ERROR_INVALID_NAME, "open"};
  // Backup semantics let a directory open too, so it can be told apart from a file nobody may read.
  const HANDLE handle = CreateFileW(Wide(ToWin32Path(path)), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError("open");
  return TakeRegularFile(handle, path, file);
}

SysError CWin32FileSystem::OpenDirectory(const std::u16string& path, CDirectory& directory) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return {ERROR_INVALID_NAME, "open"};
  const HANDLE handle = CreateFileW(
      Wide(ToWin32Path(path)), FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError("open");
  return FillDirectory(handle, path, directory);
}

SysError CWin32FileSystem::OpenSubdirectory(const CDirectory& parent, const std::u16string& name,
                                            const FileId* expected, CDirectory& directory) {
  if (auto error = CheckEntryName(name)) return error;
  HANDLE handle = nullptr;
  const NTSTATUS status = OpenRelative(Native(parent.handle), name,
                                       FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                       kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE, handle);
  if (!NT_SUCCESS(status)) {
    return status == kStatusNotADirectory ? SysError{ERROR_DIRECTORY, "open"} : StatusError(status, "open");
  }
  CDirectory opened;
  if (auto error = FillDirectory(handle, JoinForMessages(parent.path, name), opened)) return error;
  if (expected && opened.id != *expected) return {kErrorReplaced, "open"};
  directory = std::move(opened);
  return {};
}

SysError CWin32FileSystem::CreateSubdirectory(const CDirectory& parent, const std::u16string& name, std::uint32_t) {
  if (auto error = CheckEntryName(name)) return error;
  HANDLE handle = nullptr;
  // The new directory inherits its access list from the parent, as CreateDirectoryW would.
  const NTSTATUS status = OpenRelative(Native(parent.handle), name, FILE_LIST_DIRECTORY, kShareAll, FILE_CREATE,
                                       FILE_DIRECTORY_FILE, handle);
  if (!NT_SUCCESS(status)) return StatusError(status, "mkdir");
  CloseHandle(handle);
  return {};
}

SysError CWin32FileSystem::ListDirectory(const CDirectory& directory, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  // A handle of its own: a listing moves a position the caller's handle would share.
  HANDLE raw = nullptr;
  NTSTATUS status =
      OpenRelative(Native(directory.handle), u"", FILE_LIST_DIRECTORY, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE, raw);
  if (!NT_SUCCESS(status)) return StatusError(status, "opendir");
  const CHandle listing(Wrap(raw));
  std::vector<std::uint64_t> buffer(64 * 1024 / sizeof(std::uint64_t));  // 8-byte aligned records
  for (BOOLEAN restart = TRUE;; restart = FALSE) {
    IO_STATUS_BLOCK io{};
    status = NtQueryDirectoryFile(raw, nullptr, nullptr, nullptr, &io, buffer.data(),
                                  static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t)),
                                  FileIdBothDirectoryInformation, FALSE, nullptr, restart);
    if (status == kStatusNoMoreFiles) break;
    if (!NT_SUCCESS(status)) return StatusError(status, "readdir");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
    for (std::size_t at = 0;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(bytes + at);
      const std::u16string name = FromWide(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (name != u"." && name != u"..") {
        DirectoryEntry entry;
        entry.name = name;
        const ULONG attributes = info->FileAttributes;
        // Every reparse point counts as a link: a symbolic link, a junction or anything else
        // that would lead the run somewhere the listing did not show.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          entry.type = EntryType::SymbolicLink;
          entry.targetType = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Directory : EntryType::Regular;
        } else {
          entry.type = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Directory : EntryType::Regular;
          entry.targetType = entry.type;
        }
        entry.id = {directory.id.device, static_cast<std::uint64_t>(info->FileId.QuadPart)};
        entries.push_back(std::move(entry));
      }
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
  return {};
}

SysError CWin32FileSystem::IsBelow(const CDirectory& inner, const FileId& outer, bool& below) {
  below = false;
  // Windows cannot open ".." relative to a handle: the ancestors are taken from the directory's
  // final path and compared by identity.
  DWORD size = GetFinalPathNameByHandleW(Native(inner.handle), nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0) return LastError("GetFinalPathNameByHandle");
  std::wstring path(size, L'\0');
  size = GetFinalPathNameByHandleW(Native(inner.handle), path.data(), size, FILE_NAME_NORMALIZED);
  if (size == 0) return LastError("GetFinalPathNameByHandle");
  std::u16string current = FromWide(path.c_str(), size);
  for (;;) {
    std::u16string directory, name;
    SplitPath(current, directory, name);
    if (name.empty() || directory == current) return {};
    CDirectory parent;
    if (auto error = OpenDirectory(directory, parent)) return error;
    if (parent.id == outer) {
      below = true;
      return {};
    }
    if (parent.id == inner.id) return {};
    current = directory;
  }
}

SysError CWin32FileSystem::Status(const CDirectory& directory, const std::u16string& name, FileStatus& status) {
  status = {};
  if (auto error = CheckEntryName(name)) return error;
  HANDLE handle = nullptr;
  const NTSTATUS result =
      OpenRelative(Native(directory.handle), name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0, handle);
  if (IsNotFound(result)) return {};
  if (!NT_SUCCESS(result)) return StatusError(result, "stat");
  const CHandle opened(Wrap(handle));
  return StatusOfHandle(handle, status);
}

SysError CWin32FileSystem::OpenFile(const CDirectory& directory, const std::u16string& name, CFile& file) {
  if (auto error = CheckEntryName(name)) return error;
  HANDLE handle = nullptr;
  const NTSTATUS status =
      OpenRelative(Native(directory.handle), name, GENERIC_READ, kShareAll, FILE_OPEN, FILE_NON_DIRECTORY_FILE, handle);
  if (!NT_SUCCESS(status)) return OpenError(status, "open");
  return TakeRegularFile(handle, JoinForMessages(directory.path, name), file);
}

SysError CWin32FileSystem::OpenForReplacing(const CDirectory& directory, const std::u16string& name, CFile& file) {
  if (auto error = OpenFile(directory, name, file)) return error;
  // A file its owner made read-only, or one the process may not write, must not change behind
  // the owner's back, although replacing it needs only delete rights.
  if ((file.status.permissions & 0200) == 0) {
    file = {};
    return {ERROR_ACCESS_DENIED, "open"};
  }
  HANDLE probe = nullptr;
  const NTSTATUS status = OpenRelative(Native(directory.handle), name, FILE_WRITE_DATA, kShareAll, FILE_OPEN,
                                       FILE_NON_DIRECTORY_FILE, probe);
  if (!NT_SUCCESS(status)) {
    file = {};
    return StatusError(status, "open");
  }
  CloseHandle(probe);
  return {};
}

SysError CWin32FileSystem::OpenNamedParent(const std::u16string& path, bool followLinks, CDirectory& directory,
                                           std::u16string& name) {
  if (path.find(u'\0') != std::u16string::npos) return {ERROR_INVALID_NAME, "open"};
  std::u16string current = path;
  constexpr int kMaxHops = 40;
  for (int hops = 0;; ++hops) {
    std::u16string directoryPart, namePart;
    SplitPath(current, directoryPart, namePart);
    if (namePart.empty() || namePart == u"." || namePart == u"..") return {kErrorIsDirectory, "open"};
    CDirectory opened;
    if (auto error = OpenDirectory(directoryPart, opened)) return error;
    FileStatus status;
    if (!followLinks || Status(opened, namePart, status) || status.type != EntryType::SymbolicLink) {
      directory = std::move(opened);
      name = namePart;
      return {};
    }
    if (hops == kMaxHops) return {ERROR_CANT_RESOLVE_FILENAME, "open"};
    // The person named this link: its target is what they meant. A link to nothing has no
    // place to write to that Windows would show, so it is refused rather than guessed.
    const HANDLE target = CreateFileW(Wide(ToWin32Path(current)), FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE) return {kErrorIsLink, "open"};
    const CHandle held(Wrap(target));
    if (RunsWithPrivileges()) {
      // An elevated run follows another account's link only to what that account owns, and
      // only out of a folder no other account may change.
      HANDLE link = nullptr;
      const NTSTATUS opening = OpenRelative(Native(opened.handle), namePart, READ_CONTROL | FILE_READ_ATTRIBUTES,
                                            kShareAll, FILE_OPEN, 0, link);
      if (!NT_SUCCESS(opening)) return StatusError(opening, "open");
      const CHandle heldLink(Wrap(link));
      if (auto error = CheckNamedLink(Native(opened.handle), link, target)) return error;
    }
    DWORD size = GetFinalPathNameByHandleW(target, nullptr, 0, FILE_NAME_NORMALIZED);
    std::wstring resolved(size, L'\0');
    if (size == 0 || (size = GetFinalPathNameByHandleW(target, resolved.data(), size, FILE_NAME_NORMALIZED)) == 0) {
      return LastError("GetFinalPathNameByHandle");
    }
    current = FromWide(resolved.c_str(), size);
  }
}

SysError CWin32FileSystem::RenameEntry(const CDirectory& directory, const std::u16string& from,
                                       const std::u16string& to, const FileId* expected) {
  if (auto error = CheckEntryName(from)) return error;
  HANDLE handle = nullptr;
  const NTSTATUS status =
      OpenRelative(Native(directory.handle), from, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0, handle);
  if (!NT_SUCCESS(status)) return StatusError(status, "rename");
  const CHandle opened(Wrap(handle));
  // The check and the rename act on one handle: no other file can slip in between.
  if (expected) {
    FileStatus found;
    if (auto error = StatusOfHandle(handle, found)) return error;
    if (found.id != *expected) return {kErrorReplaced, "rename"};
  }
  return RenameByHandle(handle, Native(directory.handle), to, false);
}

SysError CWin32FileSystem::RemoveEntry(const CDirectory& directory, const std::u16string& name,
                                       const FileId* expected) {
  if (auto error = CheckEntryName(name)) return error;
  HANDLE handle = nullptr;
  const NTSTATUS status = OpenRelative(Native(directory.handle), name, DELETE | FILE_READ_ATTRIBUTES, kShareAll,
                                       FILE_OPEN, FILE_NON_DIRECTORY_FILE, handle);
  if (!NT_SUCCESS(status)) return OpenError(status, "unlink");
  const CHandle opened(Wrap(handle));
  if (expected) {
    FileStatus found;
    if (auto error = StatusOfHandle(handle, found)) return error;
    if (found.id != *expected) return {kErrorReplaced, "unlink"};
  }
  return DeleteByHandle(handle);
}

SysError CWin32FileSystem::LockFile(const CFile& file) {
  // Windows locks are mandatory: one byte far past any content is locked, so the runs exclude
  // each other while every reader still reads the whole file.
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFFu;
  at.OffsetHigh = 0x7FFFFFFFu;
  if (LockFileEx(Native(file.handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return {};
  if (GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING) return {kErrorLocked, "lock"};
  return {};
}

SysError CWin32FileSystem::ReclaimTemporary(const CDirectory& directory, const std::u16string& name, bool& removed) {
  removed = false;
  if (!IsTemporaryName(name)) return {ERROR_INVALID_PARAMETER, "unlink"};
  if (auto error = CheckEntryName(name)) return error;
  // A run holds its staged file open sharing nothing but deletion: while it lives, an open for
  // reading fails with a sharing violation. Once it is gone (a kill closes its handles too),
  // the open succeeds, and the file goes through this handle.
  HANDLE handle = nullptr;
  const NTSTATUS status = OpenRelative(Native(directory.handle), name, FILE_READ_DATA | DELETE | FILE_READ_ATTRIBUTES,
                                       0, FILE_OPEN, FILE_NON_DIRECTORY_FILE, handle);
  if (status == kStatusSharingViolation) return {};
  if (!NT_SUCCESS(status)) return OpenError(status, "unlink");
  const CHandle opened(Wrap(handle));
  FileStatus found;
  if (auto error = StatusOfHandle(handle, found)) return error;
  if (found.type != EntryType::Regular) return {};
  if (auto error = DeleteByHandle(handle)) return error;
  removed = true;
  return {};
}

EntryType CWin32FileSystem::GetEntryType(const std::u16string& path) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return EntryType::Missing;
  const std::u16string native = ToWin32Path(path);
  const HANDLE handle = CreateFileW(Wide(native), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // A link to nothing is something, just nothing that can be opened.
    return GetFileAttributesW(Wide(native)) != INVALID_FILE_ATTRIBUTES ? EntryType::Other : EntryType::Missing;
  }
  const CHandle opened(Wrap(handle));
  FileStatus status;
  if (StatusOfHandle(handle, status)) return EntryType::Other;
  return status.type;
}

std::u16string CWin32FileSystem::CurrentDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring directory(size, L'\0');
  const DWORD length = size == 0 ? 0 : GetCurrentDirectoryW(size, directory.data());
  // "." still names the directory for relative paths when its full name cannot be had.
  return length == 0 || length >= size ? std::u16string(u".") : FromWide(directory.c_str(), length);
}

}  // namespace

FileSystem& NativeFiles() {
  static CWin32FileSystem files;
  return files;
}

// Handles are bounded only by memory on Windows: as many as a batch may hold.
std::size_t OpenHandleLimit() { return 1u << 16; }

std::size_t RaiseOpenHandleLimit(std::size_t /*wanted*/) { return OpenHandleLimit(); }

}  // namespace glyphshift::platform
