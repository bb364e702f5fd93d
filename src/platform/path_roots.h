// Where a path's root part ends, by the platform's rule (separators: platform/path_names.h).
// Pure text rules, no file system access; run/path_rules builds on them.
//   POSIX:   the root is "/".
//   Windows: "C:\", "C:" (drive-relative), "\" (the current drive's root), "\\server\share\"
//            and the "\\?\" forms of these.
#pragma once

#include <cstddef>
#include <string_view>

namespace glyphshift::platform {

// The length of the root part at the start of `path` (0 for a relative path): its separators
// and "." or ".." never go away when the path is canonicalised.
std::size_t PathRootLength(std::u16string_view path);

// Whether the root part anchors the path at a fixed place ("/", "C:\", "\\server\share"); a
// drive-relative "C:x" has a root but is still relative to that drive's current directory.
bool IsAnchoredRoot(std::u16string_view root);

}  // namespace glyphshift::platform
