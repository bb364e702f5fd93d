#include "platform/sys_error.h"

#include <cerrno>
#include <cstring>

#include "platform/native_side.h"
#include "platform/native_text.h"

namespace glyphshift::platform {

const int kErrorOutOfMemory = ENOMEM;
const int kErrorExists = EEXIST;
const int kErrorNotFound = ENOENT;
const int kErrorIsDirectory = EISDIR;
const int kErrorInvalid = EINVAL;
const int kErrorTooLarge = EFBIG;
const int kErrorLocked = EWOULDBLOCK;

std::u16string SystemErrorText(int code) {
  // strerrordesc_np answers null for an unknown code, where strerror would invent
  // "Unknown error N"; the caller then prints its own fixed message with the code.
  const char* text = ::strerrordesc_np(code);
  if (text == nullptr || *text == '\0') return {};
  return FromNative(text) + u"\n";
}

}  // namespace glyphshift::platform
