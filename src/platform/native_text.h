// Conversion between the program's UTF-16 text and byte text in UTF-8: the native text of
// POSIX (names, arguments), and on both platforms the bytes of the log and of redirected output.
// On Windows file names are UTF-16 already and never pass through here. A byte b that is not
// valid UTF-8 travels as the lone surrogate U+DC00+b (U+DC80..U+DCFF) and turns back into that
// byte, so every name found on disk can be opened again and printed as it was. Other lone
// surrogates become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace glyphshift::platform {

std::string ToNative(std::u16string_view text);
std::u16string FromNative(std::string_view native);

}  // namespace glyphshift::platform
