// The outcome of a system call, as the platform layer reports it.
#pragma once

#include <string>

namespace glyphshift::platform {

struct [[nodiscard]] SysError {
  int code = 0;              // errno on POSIX, GetLastError() on Windows; 0 = success
  const char* op = nullptr;  // the failed call: "open", "read", "rename", ...
  explicit operator bool() const { return code != 0; }
};

// Codes of the conditions callers tell apart, in the platform's own numbering (errno values on
// POSIX, Windows error codes on Windows). The platform side reports each condition with exactly
// this code, so callers compare against the name and never #ifdef.
extern const int kErrorOutOfMemory;  // ENOMEM, ERROR_NOT_ENOUGH_MEMORY
extern const int kErrorExists;       // EEXIST, ERROR_ALREADY_EXISTS
extern const int kErrorNotFound;     // ENOENT, ERROR_FILE_NOT_FOUND
extern const int kErrorIsDirectory;  // EISDIR, ERROR_DIRECTORY_NOT_SUPPORTED
extern const int kErrorInvalid;      // EINVAL, ERROR_INVALID_PARAMETER
extern const int kErrorTooLarge;     // EFBIG, ERROR_FILE_TOO_LARGE
extern const int kErrorLocked;       // EWOULDBLOCK, ERROR_LOCK_VIOLATION

// Not a system code: the name no longer holds the file or directory the run found there
// (another user replaced it meanwhile).
inline constexpr int kErrorReplaced = -1000;
// Not a system code: a name the run may not follow or write to is a symbolic link.
inline constexpr int kErrorIsLink = -1001;
// Not a system code: a name that must be a regular file is a FIFO, device, socket or directory.
inline constexpr int kErrorNotRegular = -1002;
// Not a system code: a path the person named leads through a symbolic link the run may not
// follow (another account's link to what that account does not own, or a link in a folder
// another account may write).
inline constexpr int kErrorUnsafeLink = -1003;
// Not a system code: a file the run must be able to trust (the owner-from-prefix table) belongs
// to another account, or another account may change it.
inline constexpr int kErrorNotTrusted = -1004;

// The system's own text for an error code, ending with a line break
// ("No such file or directory\n"), or ours for the codes above; empty when there is none.
std::u16string ErrorText(int code);

}  // namespace glyphshift::platform
