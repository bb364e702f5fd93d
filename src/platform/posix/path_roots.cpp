#include "platform/path_roots.h"

namespace glyphshift::platform {

std::size_t PathRootLength(std::u16string_view path) { return !path.empty() && path.front() == u'/' ? 1 : 0; }

bool IsAnchoredRoot(std::u16string_view root) { return !root.empty(); }

}  // namespace glyphshift::platform
