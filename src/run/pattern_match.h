// Matching file names against the source pattern of a wildcard run.
#pragma once

#include <string_view>

namespace glyphshift {

// Whether `name` matches `pattern`: "*" matches any run of characters (also none), "?" exactly
// one, ASCII letter case is ignored. `pattern` may list several patterns separated by ";"
// (spaces after a ";" are skipped); a match of any one counts. "*.*" matches every name, also
// one without a dot.
bool PathMatchSpec(std::u16string_view name, std::u16string_view pattern);

}  // namespace glyphshift
