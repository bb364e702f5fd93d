// Conversion between the program's UTF-16 text and the platform's native text.
// On POSIX native text is UTF-8; a byte b that is not valid UTF-8 travels as the lone
// surrogate U+DC00+b (U+DC80..U+DCFF) and turns back into that byte, so every name found on
// disk can be opened again and printed as it was. Other lone surrogates become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace glyphshift::platform {

std::string ToNative(std::u16string_view text);
std::u16string FromNative(std::string_view native);

}  // namespace glyphshift::platform
