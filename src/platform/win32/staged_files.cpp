// Staged files on Windows: a destination is written under a temporary name in its directory
// (created relative to the directory's handle), given its attributes and security through the
// handle, and renamed into place by handle only when complete. A failure, a Ctrl+C or a closed
// console at any moment leaves the old file whole and no partial file under a final name.
#define _CRT_RAND_S  // rand_s from <stdlib.h>
#include <cstdlib>

// <windows.h> first: the other Windows headers build on it.
#include <windows.h>

#include <aclapi.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/temporary_names.h"
#include "platform/win32/win32_calls.h"

namespace glyphshift::platform {

namespace {

using win32::Native;

std::u16string RandomTemporaryName() {
  std::u16string name(kTemporaryPrefix.begin(), kTemporaryPrefix.end());
  for (std::size_t i = 0; i < kTemporarySuffix; ++i) {
    // rand_s draws from the system's generator (RtlGenRandom); a collision is caught by FILE_CREATE.
    unsigned int random = 0;
    if (rand_s(&random) != 0) random = static_cast<unsigned int>(GetTickCount64() * 2654435761u + i);
    name += static_cast<char16_t>(kTemporaryAlphabet[random % (sizeof kTemporaryAlphabet - 1)]);
  }
  return name;
}

// ---- the interrupt clean-up ------------------------------------------------------------------
//
// A console control event (Ctrl+C, Ctrl+Break, the console closed, log-off, shut-down) runs its
// handler on a thread of its own. The handler marks every staged file in progress for deletion
// through its handle, then lets the default handling end the process; the files go when the
// process's handles close. A commit and the end of its record happen under the same lock, so
// the handler never deletes a file that already has its final name.

constexpr int kSlotCount = 1024;
HANDLE g_slots[kSlotCount];
CRITICAL_SECTION g_lock;
INIT_ONCE g_lockOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK InitialiseLock(PINIT_ONCE, PVOID, PVOID*) {
  InitializeCriticalSection(&g_lock);
  return TRUE;
}

class CSlotsLocked {
 public:
  CSlotsLocked() {
    InitOnceExecuteOnce(&g_lockOnce, InitialiseLock, nullptr, nullptr);
    EnterCriticalSection(&g_lock);
  }
  ~CSlotsLocked() { LeaveCriticalSection(&g_lock); }
  CSlotsLocked(const CSlotsLocked&) = delete;
  CSlotsLocked& operator=(const CSlotsLocked&) = delete;
};

BOOL WINAPI RemoveStagedAndEnd(DWORD) {
  const CSlotsLocked locked;
  for (HANDLE& slot : g_slots) {
    if (slot != nullptr) (void)win32::DeleteByHandle(slot);
  }
  // Not handled: the default handling ends the process, as it would have without us. The lock
  // stays taken, so no commit starts afterwards.
  EnterCriticalSection(&g_lock);
  return FALSE;
}

// The slot, or -1 when every slot is taken (the file is then only removed by the caller).
// Called with the lock held.
int RegisterStaged(HANDLE handle) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (g_slots[i] != nullptr) continue;
    g_slots[i] = handle;
    return i;
  }
  return -1;
}

void UnregisterStaged(int index) {
  if (index >= 0) g_slots[index] = nullptr;
}

void RemoveTemporary(CStagedFile& staged) {
  if (staged.temporaryName.empty() || !staged.handle.IsValid()) return;
  const CSlotsLocked locked;
  (void)win32::DeleteByHandle(Native(staged.handle));
  UnregisterStaged(staged.slot);
  staged.slot = -1;
  staged.temporaryName.clear();
}

// The security of `from` given to the staged file: owner, group and access list. Parts the
// process may not set (another owner without the rights to give files away) stay as created,
// as a copy by the file's owner would leave them.
SysError CopySecurity(HANDLE from, HANDLE to) {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD result = GetSecurityInfo(from, SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 &owner, &group, &dacl, nullptr, &descriptor);
  if (result != ERROR_SUCCESS) return {static_cast<int>(result), "GetSecurityInfo"};
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  // A list that inherits nothing from the directory stays so; an inheriting one takes up what
  // the new file's directory passes on, as the replaced file did.
  const SECURITY_INFORMATION protection =
      (control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
  result = SetSecurityInfo(to, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | protection, nullptr, nullptr, dacl, nullptr);
  SysError error;
  if (result != ERROR_SUCCESS) error = {static_cast<int>(result), "SetSecurityInfo"};
  result = SetSecurityInfo(to, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, owner, group,
                           nullptr, nullptr);
  if (result != ERROR_SUCCESS && result != ERROR_ACCESS_DENIED && result != ERROR_INVALID_OWNER &&
      result != ERROR_PRIVILEGE_NOT_HELD && !error) {
    error = {static_cast<int>(result), "SetSecurityInfo"};
  }
  LocalFree(descriptor);
  return error;
}

// The attributes a file keeps when it is replaced; read-only is not among them, as a read-only
// file is never replaced (OpenForReplacing).
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

SysError SetAttributes(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  if (!SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)) return win32::LastError("attributes");
  return {};
}

}  // namespace

CStagedFile::~CStagedFile() { RemoveTemporary(*this); }

void RemoveStagedFilesOnInterrupt() { SetConsoleCtrlHandler(RemoveStagedAndEnd, TRUE); }

std::uint32_t NewFilePermissions(std::uint32_t permissions) {
  // Windows has no umask: a new file takes its access list from its directory, and of the
  // permission bits only write protection has a Windows form.
  return permissions & 0666u;
}

namespace win32 {

SysError CreateStaged(const CDirectory& directory, CStagedFile& staged) {
  RemoveTemporary(staged);
  staged.handle.Reset();
  staged.written = 0;
  constexpr int kAttempts = 100;
  // WRITE_OWNER and WRITE_DAC let the replaced file's security be set on the handle. Nobody else
  // may open the file while it is written (no read sharing): nobody reads half a file.
  constexpr ACCESS_MASK kAccess = GENERIC_READ | GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::u16string name = RandomTemporaryName();
    const CSlotsLocked locked;  // from its creation on the temporary file is on record
    HANDLE handle = nullptr;
    NTSTATUS status = OpenRelative(Native(directory.handle), name, kAccess | WRITE_OWNER, FILE_SHARE_DELETE,
                                   FILE_CREATE, FILE_NON_DIRECTORY_FILE, handle);
    if (status == static_cast<NTSTATUS>(0xC0000022)) {  // STATUS_ACCESS_DENIED: no right to give it away
      status = OpenRelative(Native(directory.handle), name, kAccess, FILE_SHARE_DELETE, FILE_CREATE,
                            FILE_NON_DIRECTORY_FILE, handle);
    }
    if (status == static_cast<NTSTATUS>(0xC0000035)) continue;  // STATUS_OBJECT_NAME_COLLISION
    if (!NT_SUCCESS(status)) return StatusError(status, "open");
    staged.handle.Reset(Wrap(handle));
    FileStatus created;
    if (!StatusOfHandle(handle, created)) staged.id = created.id;
    staged.directory = &directory;
    staged.temporaryName = name;
    staged.slot = RegisterStaged(handle);
    return {};
  }
  return {kErrorExists, "open"};
}

SysError WriteStaged(CStagedFile& staged, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(staged.written);
    at.OffsetHigh = static_cast<DWORD>(staged.written >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    DWORD n = 0;
    if (!::WriteFile(Native(staged.handle), data.data() + done, want, &n, &at)) return LastError("write");
    // A file that takes nothing has no room left.
    if (n == 0) return {ERROR_DISK_FULL, "write"};
    done += n;
    staged.written += n;
  }
  return {};
}

SysError TruncateStaged(CStagedFile& staged, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(Native(staged.handle), FileEndOfFileInfo, &end, sizeof end)) {
    return LastError("truncate");
  }
  staged.written = size;
  return {};
}

SysError CopyAttributes(CStagedFile& staged, const CFile& replaced) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Native(replaced.handle), &info)) return LastError("GetFileInformationByHandle");
  if (auto error = CopySecurity(Native(replaced.handle), Native(staged.handle))) return error;
  return SetAttributes(Native(staged.handle), info.dwFileAttributes & kKeptAttributes);
}

SysError SetNewFilePermissions(CStagedFile& staged, std::uint32_t permissions) {
  // Write protection travels with the text, as a copy of a read-only file stays read-only.
  const bool readOnly = (NewFilePermissions(permissions) & 0222u) == 0;
  return SetAttributes(Native(staged.handle), readOnly ? FILE_ATTRIBUTE_READONLY : 0);
}

SysError FlushStaged(CStagedFile& staged) {
  if (!FlushFileBuffers(Native(staged.handle))) return LastError("flush");
  return {};
}

// ---- a batch's flush ---------------------------------------------------------------------------
//
// FlushFileBuffers writes a file down and then empties the storage's own cache, which is what
// costs. NtFlushBuffersFileEx (Windows 10 1709 on) with FLUSH_FLAGS_NO_SYNC writes a file's data
// and metadata down without the second step; one full flush of a file of the same volume then
// empties the storage's cache once for the whole batch, as syncfs does on Linux. A volume flush
// (FlushFileBuffers on the volume's handle) would need administrator rights. Without the call
// (older Windows, Wine 8) or on a file system that refuses the flag, each file is flushed in full.

namespace {

using FlushBuffersFileEx = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PIO_STATUS_BLOCK);
constexpr ULONG kFlushNoSync = 0x2;  // FLUSH_FLAGS_NO_SYNC

FlushBuffersFileEx FlushCallWithFlags() {
  static const auto call = reinterpret_cast<FlushBuffersFileEx>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtFlushBuffersFileEx")));
  return call;
}

// For each volume with files written down but not yet synced: a handle of the last of them
// (a duplicate, so it stays valid whatever becomes of the staged file), through which
// FlushVolume syncs it. Guarded: workers may wait for their files while another volume syncs.
struct CUnsyncedVolume {
  std::uint64_t volume;
  HANDLE file;
};
std::vector<CUnsyncedVolume> g_unsynced;
std::mutex g_unsyncedLock;

SysError KeepForVolumeSync(CStagedFile& staged) {
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), Native(staged.handle), GetCurrentProcess(), &duplicate, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return FlushStaged(staged);  // no handle to sync through later: this file on its own
  }
  const std::uint64_t volume = staged.directory->id.device;
  const std::lock_guard<std::mutex> locked(g_unsyncedLock);
  for (CUnsyncedVolume& unsynced : g_unsynced) {
    if (unsynced.volume != volume) continue;
    CloseHandle(unsynced.file);
    unsynced.file = duplicate;
    return {};
  }
  g_unsynced.push_back({volume, duplicate});
  return {};
}

}  // namespace

SysError WaitForStaged(CStagedFile& staged) {
  const FlushBuffersFileEx flush = FlushCallWithFlags();
  if (flush == nullptr) return FlushStaged(staged);
  IO_STATUS_BLOCK status{};
  const NTSTATUS result = flush(Native(staged.handle), kFlushNoSync, nullptr, 0, &status);
  // STATUS_INVALID_PARAMETER, STATUS_NOT_SUPPORTED, STATUS_INVALID_DEVICE_REQUEST: a file system
  // without the flag.
  if (result == static_cast<NTSTATUS>(0xC000000D) || result == static_cast<NTSTATUS>(0xC00000BB) ||
      result == static_cast<NTSTATUS>(0xC0000010)) {
    return FlushStaged(staged);
  }
  if (!NT_SUCCESS(result)) return StatusError(result, "flush");
  return KeepForVolumeSync(staged);
}

SysError FlushVolume(const CDirectory& directory) {
  std::unique_lock<std::mutex> locked(g_unsyncedLock);
  for (auto unsynced = g_unsynced.begin(); unsynced != g_unsynced.end(); ++unsynced) {
    if (unsynced->volume != directory.id.device) continue;
    const HANDLE file = unsynced->file;
    g_unsynced.erase(unsynced);
    locked.unlock();
    const BOOL flushed = FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!flushed) return {static_cast<int>(error), "flush"};
    return {};
  }
  return {};  // every file of that volume was flushed in full already
}

SysError Commit(CStagedFile& staged, const std::u16string& name, Replace replace) {
  const CSlotsLocked locked;
  if (auto error =
          RenameByHandle(Native(staged.handle), Native(staged.directory->handle), name, replace == Replace::Allowed)) {
    // One code for "there is something at that name", whichever the file system gave.
    if (error.code == ERROR_FILE_EXISTS) error.code = kErrorExists;
    return error;
  }
  UnregisterStaged(staged.slot);
  staged.slot = -1;
  staged.temporaryName.clear();
  return {};
}

void Discard(CStagedFile& staged) {
  RemoveTemporary(staged);
  staged.handle.Reset();
}

}  // namespace win32
// A console control event runs its handler on a thread of its own: nothing to block here.
void BlockInterruptsOnThisThread() {}

}  // namespace glyphshift::platform
