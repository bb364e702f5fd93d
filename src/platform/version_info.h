// The program's version information, as its string table holds it ("FileVersion" reads
// "1, 3, 15, 2"). On Windows it is read from the version resource of the program's own file;
// a Linux program file carries none, so there the values come from the build.
#pragma once

#include <string>
#include <string_view>

namespace glyphshift::platform {

// The value of `key` in the string table, or false (and `value` cleared) when there is none.
bool ReadVersionString(std::u16string_view key, std::u16string& value);

}  // namespace glyphshift::platform
