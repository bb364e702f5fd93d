#include "platform/sys_error.h"

#include "platform/native_side.h"

namespace glyphshift::platform {

std::u16string ErrorText(int code) {
  switch (code) {
    case kErrorReplaced: return u"It was replaced by something else during the run.\n";
    case kErrorIsLink: return u"It is a symbolic link.\n";
    case kErrorNotRegular: return u"It is not a regular file.\n";
    case kErrorNotTrusted: return u"It belongs to another account, or another account may change it.\n";
    case kErrorUnsafeLink:
      return u"A symbolic link on its way belongs to another account, or lies in a folder another account may "
             u"write; it is not followed.\n";
    default: return SystemErrorText(code);
  }
}

}  // namespace glyphshift::platform
