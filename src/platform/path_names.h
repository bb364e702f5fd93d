// What separates the components of a path, and where a file name's extension starts: the one
// rule the run's destination names, the dialog's proposals and owner-from-prefix share.
// Header-only, so the pure text rules of the command line need no platform library. The
// platform's own rule is chosen here, once: on POSIX '/' separates and '\' is an ordinary
// character; on Windows '\' and '/' both separate, and '\' is what the program writes.
#pragma once

#include <string_view>

namespace glyphshift::platform {

#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
constexpr bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
#else
inline constexpr char16_t kPathSeparator = u'/';
constexpr bool IsPathSeparator(char16_t c) { return c == u'/'; }
#endif

// From the last "." of `name` to its end, unless a space or a separator follows that dot;
// otherwise empty. On a whole path this is the extension of its last component.
constexpr std::u16string_view ExtensionOf(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return {};
  for (std::size_t i = dot + 1; i < name.size(); ++i) {
    if (name[i] == u' ' || IsPathSeparator(name[i])) return {};
  }
  return name.substr(dot);
}

// `name` without its extension.
constexpr std::u16string_view BaseNameOf(std::u16string_view name) {
  return name.substr(0, name.size() - ExtensionOf(name).size());
}

}  // namespace glyphshift::platform
