#include "run/path_rules.h"

#include <vector>

namespace glyphshift {

std::u16string CanonicalizePath(std::u16string_view path) {
  if (path.empty()) return {};
  const bool absolute = path.front() == kPathSeparator;
  const bool trailing = path.size() > 1 && path.back() == kPathSeparator;

  std::vector<std::u16string_view> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find(kPathSeparator, pos);
    if (end == std::u16string_view::npos) end = path.size();
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
      if (absolute) continue;
    }
    parts.push_back(part);
  }

  std::u16string result;
  if (absolute) result.push_back(kPathSeparator);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) result.push_back(kPathSeparator);
    result.append(parts[i]);
  }
  if (result.empty()) return u".";
  if (trailing && result.back() != kPathSeparator) result.push_back(kPathSeparator);
  return result;
}

std::u16string JoinPath(std::u16string_view directory, std::u16string_view name) {
  if (directory.empty()) return std::u16string(name);
  const std::size_t first = name.find_first_not_of(kPathSeparator);
  name = first == std::u16string_view::npos ? std::u16string_view{} : name.substr(first);
  std::u16string joined(directory);
  if (joined.back() != kPathSeparator && !name.empty()) joined.push_back(kPathSeparator);
  joined.append(name);
  return CanonicalizePath(joined);
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string_view DirectoryOf(std::u16string_view path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  if (slash == std::u16string_view::npos) return {};
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

bool IsRelativePath(std::u16string_view path) { return path.empty() || path.front() != kPathSeparator; }

}  // namespace glyphshift
