// The names of staged files, the same on every platform: ".morfex-" and six letters or digits.
// Short, so a long destination name cannot push the temporary name past the file system's
// limit, and recognisable, so no run converts one (IsTemporaryName in files.h).
#pragma once

#include <cstddef>
#include <string_view>

namespace glyphshift::platform {

inline constexpr std::string_view kTemporaryPrefix = ".morfex-";
inline constexpr std::size_t kTemporarySuffix = 6;
inline constexpr char kTemporaryAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

}  // namespace glyphshift::platform
