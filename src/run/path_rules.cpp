#include "run/path_rules.h"

#include <vector>

#include "platform/path_names.h"
#include "platform/path_roots.h"

namespace glyphshift {

using platform::IsPathSeparator;
using platform::PathRootLength;

namespace {

// The last separator at or after `from`, or npos.
std::size_t LastSeparator(std::u16string_view path, std::size_t from) {
  for (std::size_t i = path.size(); i > from; --i) {
    if (IsPathSeparator(path[i - 1])) return i - 1;
  }
  return std::u16string_view::npos;
}

}  // namespace

std::u16string CanonicalizePath(std::u16string_view path) {
  if (path.empty()) return {};
  const std::size_t rootLength = PathRootLength(path);
  const std::u16string_view root = path.substr(0, rootLength);
  const bool anchored = platform::IsAnchoredRoot(root);
  const bool trailing = path.size() > rootLength && IsPathSeparator(path.back());

  std::vector<std::u16string_view> parts;
  std::size_t pos = rootLength;
  while (pos <= path.size()) {
    std::size_t end = pos;
    while (end < path.size() && !IsPathSeparator(path[end])) ++end;
    const std::u16string_view part = path.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (!parts.empty() && parts.back() != u"..") {
        parts.pop_back();
        continue;
      }
      // Above the root there is nothing; above a relative start the ".." must stay, or the
      // path would name a different file.
      if (anchored) continue;
    }
    parts.push_back(part);
  }

  std::u16string result;
  for (const char16_t c : root) result.push_back(IsPathSeparator(c) ? kPathSeparator : c);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) result.push_back(kPathSeparator);
    result.append(parts[i]);
  }
  if (result.empty()) return u".";
  if (trailing && !IsPathSeparator(result.back())) result.push_back(kPathSeparator);
  return result;
}

std::u16string JoinPath(std::u16string_view directory, std::u16string_view name) {
  if (directory.empty()) return std::u16string(name);
  while (!name.empty() && IsPathSeparator(name.front())) name.remove_prefix(1);
  std::u16string joined(directory);
  if (!IsPathSeparator(joined.back()) && !name.empty()) joined.push_back(kPathSeparator);
  joined.append(name);
  return CanonicalizePath(joined);
}

std::u16string JoinListedName(std::u16string_view path, std::u16string_view name) {
  std::u16string joined;
  joined.reserve(path.size() + 1 + name.size());
  joined.append(path);
  if (!path.empty() && !IsPathSeparator(path.back())) joined.push_back(kPathSeparator);
  joined.append(name);
  return joined;
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t root = PathRootLength(path);
  const std::size_t separator = LastSeparator(path, root);
  return path.substr(separator == std::u16string_view::npos ? root : separator + 1);
}

std::u16string_view DirectoryOf(std::u16string_view path) {
  const std::size_t root = PathRootLength(path);
  const std::size_t separator = LastSeparator(path, root);
  return path.substr(0, separator == std::u16string_view::npos ? root : separator);
}

bool IsRelativePath(std::u16string_view path) { return PathRootLength(path) == 0; }

std::u16string DestinationName(std::u16string_view sourceName, std::u16string_view charsetName,
                               bool insertCharsetName) {
  std::u16string name(BaseNameOf(sourceName));
  if (insertCharsetName) {
    name += u'.';
    name += charsetName;
  }
  name += ExtensionOf(sourceName);
  return name;
}

}  // namespace glyphshift
