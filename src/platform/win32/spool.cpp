// The spool of filter mode on Windows: a temporary file from the start, marked temporary (the
// cache manager keeps it in memory while memory allows, which is the memory part of the spool)
// and deleted when its last handle closes, so nothing of it outlives the run.
#include <windows.h>

#include <vector>

#include "platform/streams.h"
#include "platform/win32/win32_calls.h"

namespace glyphshift::platform {

namespace {

using win32::LastError;
using win32::Native;

constexpr std::size_t kPieceBytes = 1u << 20;

SysError OpenTemporaryFile(CHandle& handle) {
  wchar_t directory[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, directory) == 0) return LastError("GetTempPath");
  // A name of its own per attempt; CREATE_NEW never opens a file somebody else made.
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[MAX_PATH + 64] = {};
    swprintf(name, sizeof name / sizeof name[0], L"%ls.morfex-spool-%lu-%llu-%u", directory, GetCurrentProcessId(),
             static_cast<unsigned long long>(GetTickCount64()), attempt);
    const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle.Reset(win32::Wrap(file));
      return {};
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return LastError("open");
  }
  return {ERROR_FILE_EXISTS, "open"};
}

SysError WriteAllAt(HANDLE handle, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  while (size != 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD n = 0;
    if (!WriteFile(handle, data, want, &n, &at)) return LastError("write");
    data += n;
    size -= n;
    offset += n;
  }
  return {};
}

}  // namespace

SysError CSpool::Append(std::span<const std::uint8_t> bytes) {
  if (!handle_.IsValid()) {
    if (const SysError error = Spill()) return error;
  }
  if (const SysError error = WriteAllAt(Native(handle_), size_, bytes.data(), bytes.size())) return error;
  size_ += bytes.size();
  return {};
}

SysError CSpool::Truncate(std::uint64_t size) {
  if (size >= size_) return {};
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(Native(handle_), FileEndOfFileInfo, &end, sizeof end)) return LastError("truncate");
  size_ = size;
  return {};
}

// The file is the spool from its first byte on.
SysError CSpool::Spill() {
  if (const SysError error = OpenTemporaryFile(handle_)) return error;
  inFile_ = true;
  return {};
}

SysError CSpool::OpenForReading(CFile& file) const {
  file = {};
  CHandle own;
  if (!handle_.IsValid() && OpenTemporaryFile(own)) return LastError("open");
  const CHandle& source = handle_.IsValid() ? handle_ : own;
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), Native(source), GetCurrentProcess(), &duplicate, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return LastError("DuplicateHandle");
  }
  file.handle.Reset(win32::Wrap(duplicate));
  if (const SysError error = win32::StatusOfHandle(duplicate, file.status)) return error;
  file.status.type = EntryType::Regular;
  file.status.size = size_;
  return {};
}

SysError OpenStandardInput(CSpool& spool, CFile& file, const std::function<void(std::size_t)>& read) {
  file = {};
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return {ERROR_INVALID_HANDLE, "read"};
  // A file read from its start is the source itself: nothing to copy, and its own attributes
  // decide what the converted copy may be.
  LARGE_INTEGER position{};
  if (GetFileType(input) == FILE_TYPE_DISK && SetFilePointerEx(input, {}, &position, FILE_CURRENT) &&
      position.QuadPart == 0) {
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), input, GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
      return LastError("DuplicateHandle");
    }
    file.handle.Reset(win32::Wrap(duplicate));
    return win32::StatusOfHandle(duplicate, file.status);
  }
  std::vector<std::uint8_t> piece(kPieceBytes);
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(input, piece.data(), static_cast<DWORD>(piece.size()), &n, nullptr)) {
      // The writer of a pipe closed it: the end of the input.
      if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF) break;
      return LastError("read");
    }
    if (n == 0) break;
    if (const SysError error = spool.Append({piece.data(), n})) return error;
    read(n);
  }
  if (const SysError error = spool.OpenForReading(file)) return error;
  file.status.permissions = 0666;
  return {};
}

}  // namespace glyphshift::platform
