// The outcome of a system call, as the platform layer reports it.
#pragma once

#include <string>

namespace glyphshift::platform {

struct SysError {
  int code = 0;              // errno on POSIX, GetLastError() on Windows; 0 = success
  const char* op = nullptr;  // the failed call: "open", "read", "rename", ...
  explicit operator bool() const { return code != 0; }
};

// The system's own text for an error code, ending with a line break
// ("No such file or directory\n"); empty when the system has none.
std::u16string ErrorText(int code);

}  // namespace glyphshift::platform
