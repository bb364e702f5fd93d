#include "platform/sys_error.h"

#include <windows.h>

#include "platform/native_side.h"
#include "platform/win32/win32_calls.h"

namespace glyphshift::platform {

namespace {
// Not in every SDK's headers: "An operation is not supported on a directory."
constexpr int kErrorDirectoryNotSupported = 336;
}  // namespace

const int kErrorOutOfMemory = ERROR_NOT_ENOUGH_MEMORY;
const int kErrorExists = ERROR_ALREADY_EXISTS;
const int kErrorNotFound = ERROR_FILE_NOT_FOUND;
const int kErrorIsDirectory = kErrorDirectoryNotSupported;
const int kErrorInvalid = ERROR_INVALID_PARAMETER;
const int kErrorTooLarge = ERROR_FILE_TOO_LARGE;
const int kErrorLocked = ERROR_LOCK_VIOLATION;

std::u16string SystemErrorText(int code) {
  // The system's text, into a cleared buffer of 512 characters, in the user's language.
  wchar_t text[512] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, text, 512, nullptr);
  std::u16string result = win32::FromWide(text, length);
  // The text streams turn every line feed into CR LF themselves.
  while (!result.empty() && (result.back() == u'\n' || result.back() == u'\r' || result.back() == u' ')) {
    result.pop_back();
  }
  if (!result.empty()) return result + u"\n";
  // Systems without a text for the code this layer reports for a directory.
  if (code == kErrorIsDirectory) return u"The operation is not supported on a directory.\n";
  return {};
}

}  // namespace glyphshift::platform
