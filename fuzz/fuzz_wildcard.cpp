// The wildcard matcher against a plain table of which pattern prefixes match which name
// prefixes. The first byte splits the input into pattern and name.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ascii_case.h"
#include "fuzz_support.h"
#include "run/pattern_match.h"

using glyphshift::fuzz::Require;
namespace gs = glyphshift;

namespace {

bool MatchesOne(std::u16string_view name, std::u16string_view pattern) {
  if (pattern == u"*.*") return true;
  // matches[j]: pattern[0, i) matches name[0, j).
  std::vector<char> matches(name.size() + 1, 0);
  matches[0] = 1;
  for (char16_t p : pattern) {
    std::vector<char> next(name.size() + 1, 0);
    if (p == u'*') {
      char any = 0;
      for (std::size_t j = 0; j <= name.size(); ++j) next[j] = any = static_cast<char>(any | matches[j]);
    } else {
      for (std::size_t j = 1; j <= name.size(); ++j) {
        next[j] = matches[j - 1] && (p == u'?' || gs::FoldAsciiCase(p) == gs::FoldAsciiCase(name[j - 1]));
      }
    }
    matches.swap(next);
  }
  return matches[name.size()] != 0;
}

bool MatchesAny(std::u16string_view name, std::u16string_view patterns) {
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = std::min(patterns.find(u';', pos), patterns.size());
    if (MatchesOne(name, patterns.substr(pos, end - pos))) return true;
    if (end == patterns.size()) return false;
    pos = end + 1;
    while (pos < patterns.size() && patterns[pos] == u' ') ++pos;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 2048) return 0;
  const auto [pattern, name] = gs::fuzz::TwoTextsOf(data, size);
  Require(gs::PathMatchSpec(name, pattern) == MatchesAny(name, pattern), "the matcher agrees with the table");
  return 0;
}
