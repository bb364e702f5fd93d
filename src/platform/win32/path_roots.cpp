#include "platform/path_roots.h"

#include "platform/path_names.h"

namespace glyphshift::platform {

namespace {

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// "C:" or "C:\" at `at`: 2 or 3, else 0.
std::size_t DriveRootLength(std::u16string_view path, std::size_t at) {
  if (path.size() < at + 2 || !IsDriveLetter(path[at]) || path[at + 1] != u':') return 0;
  return path.size() > at + 2 && IsPathSeparator(path[at + 2]) ? 3 : 2;
}

// The end of "server\share\" (or of "server\share" at the end of the path) that starts at
// `at`; `at` itself when the server or the share is missing.
std::size_t ServerShareEnd(std::u16string_view path, std::size_t at) {
  std::size_t i = at;
  while (i < path.size() && !IsPathSeparator(path[i])) ++i;
  if (i == at || i == path.size()) return at;  // "\\" or "\\server" alone names no share
  const std::size_t share = ++i;
  while (i < path.size() && !IsPathSeparator(path[i])) ++i;
  if (i == share) return at;
  return i < path.size() ? i + 1 : i;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != prefix[i] && !(IsPathSeparator(c) && IsPathSeparator(prefix[i]))) return false;
  }
  return true;
}

}  // namespace

std::size_t PathRootLength(std::u16string_view path) {
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    // "\\?\C:\", "\\?\UNC\server\share\" and "\\.\device\": the long and device forms.
    if (path.size() >= 4 && (path[2] == u'?' || path[2] == u'.') && IsPathSeparator(path[3])) {
      if (StartsWithNoCase(path.substr(4), u"UNC\\")) {
        const std::size_t end = ServerShareEnd(path, 8);
        return end == 8 ? path.size() : end;
      }
      if (const std::size_t drive = DriveRootLength(path, 4)) return 4 + drive;
      std::size_t i = 4;
      while (i < path.size() && !IsPathSeparator(path[i])) ++i;
      return i < path.size() ? i + 1 : i;
    }
    // "\\server\share\": an incomplete server part is all root, so nothing of it is taken
    // for a component.
    const std::size_t end = ServerShareEnd(path, 2);
    return end == 2 ? path.size() : end;
  }
  if (const std::size_t drive = DriveRootLength(path, 0)) return drive;
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}

bool IsAnchoredRoot(std::u16string_view root) {
  if (root.empty()) return false;
  // Only "C:" lacks a separator after its drive: the current directory of that drive continues it.
  return !(root.size() == 2 && root[1] == u':');
}

}  // namespace glyphshift::platform
