// The path rules: canonical paths are canonical (a second pass changes nothing, no empty, "."
// or misplaced ".." component), joining keeps that, and a path splits into its directory and
// name, a name into its base and extension, without losing a character.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "run/path_rules.h"

using glyphshift::fuzz::Require;
namespace gs = glyphshift;

namespace {

void RequireCanonical(std::u16string_view path) {
  Require(gs::CanonicalizePath(path) == path, "canonicalising twice changes nothing");
  const bool absolute = !gs::IsRelativePath(path);
  std::u16string_view rest = path.substr(absolute ? 1 : 0);
  if (rest.ends_with(gs::kPathSeparator)) rest.remove_suffix(1);
  if (rest.empty()) return;
  bool leading = true;  // still among the ".." a relative path may start with
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = std::min(rest.find(gs::kPathSeparator, pos), rest.size());
    const std::u16string_view part = rest.substr(pos, end - pos);
    Require(!part.empty(), "no empty component");
    Require(part != u"." || rest == u".", "no \".\" component");
    if (part == u"..") {
      Require(!absolute && leading, "\"..\" only at the start of a relative path");
    } else {
      leading = false;
    }
    if (end == rest.size()) break;
    pos = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 2048) return 0;
  const auto [first, second] = gs::fuzz::TwoTextsOf(data, size);

  const std::u16string canonical = gs::CanonicalizePath(first);
  Require(first.empty() == canonical.empty(), "only the empty path canonicalises to nothing");
  if (!canonical.empty()) {
    RequireCanonical(canonical);
    Require(gs::IsRelativePath(canonical) == gs::IsRelativePath(first), "a path stays relative or absolute");
  }
  if (!first.empty()) RequireCanonical(gs::JoinPath(first, second));

  const std::u16string_view name = gs::FileNameOf(first);
  const std::u16string_view directory = gs::DirectoryOf(first);
  Require(name.find(gs::kPathSeparator) == std::u16string_view::npos, "a name holds no separator");
  const std::u16string rebuilt = directory.empty() ? std::u16string(name)
                                 : first.rfind(gs::kPathSeparator) == 0
                                     ? std::u16string(directory) + std::u16string(name)
                                     : std::u16string(directory) + gs::kPathSeparator + std::u16string(name);
  Require(rebuilt == first, "directory, one separator and name make up the path");
  Require(std::u16string(gs::BaseNameOf(name)) + std::u16string(gs::ExtensionOf(name)) == name,
          "base and extension make up the name");
  const std::u16string_view extension = gs::ExtensionOf(name);
  Require(
      extension.empty() || (extension.front() == u'.' && extension.find_first_of(u" /") == std::u16string_view::npos),
      "an extension is a dot and what follows it up to no space");
  return 0;
}
