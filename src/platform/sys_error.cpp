#include "platform/sys_error.h"

#include "platform/native_side.h"

namespace glyphshift::platform {

std::u16string ErrorText(int code) {
  switch (code) {
    case kErrorReplaced: return u"It was replaced by something else during the run.\n";
    case kErrorIsLink: return u"It is a symbolic link.\n";
    case kErrorNotRegular: return u"It is not a regular file.\n";
    default: return SystemErrorText(code);
  }
}

}  // namespace glyphshift::platform
