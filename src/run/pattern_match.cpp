#include "run/pattern_match.h"

#include "engine/ascii_case.h"

namespace glyphshift {
namespace {

// Greedy matching with one backtrack point: on a mismatch the last "*" takes one more
// character. Linear in practice and never recursive, so a long pattern cannot exhaust the stack.
bool MatchOne(std::u16string_view name, std::u16string_view pattern) {
  if (pattern == u"*.*") return true;
  std::size_t n = 0;
  std::size_t p = 0;
  std::size_t starPattern = std::u16string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starPattern = p++;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || FoldAsciiCase(pattern[p]) == FoldAsciiCase(name[n]))) {
      ++p;
      ++n;
    } else if (starPattern != std::u16string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool PathMatchSpec(std::u16string_view name, std::u16string_view pattern) {
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = pattern.find(u';', pos);
    const std::u16string_view one = pattern.substr(pos, end == std::u16string_view::npos ? end : end - pos);
    if (MatchOne(name, one)) return true;
    if (end == std::u16string_view::npos) return false;
    pos = end + 1;
    while (pos < pattern.size() && pattern[pos] == u' ') ++pos;
  }
}

}  // namespace glyphshift
