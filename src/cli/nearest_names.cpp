#include "cli/nearest_names.h"

#include <algorithm>
#include <vector>

#include "engine/ascii_case.h"

namespace glyphshift {

std::size_t TypingDistance(std::u16string_view a, std::u16string_view b) {
  // Three rows of the optimal-string-alignment table: the swap looks two rows back.
  const std::size_t n = b.size();
  std::vector<std::size_t> before(n + 1), previous(n + 1), current(n + 1);
  for (std::size_t j = 0; j <= n; ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= n; ++j) {
      const bool same = FoldAsciiCase(a[i - 1]) == FoldAsciiCase(b[j - 1]);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && FoldAsciiCase(a[i - 1]) == FoldAsciiCase(b[j - 2]) &&
          FoldAsciiCase(a[i - 2]) == FoldAsciiCase(b[j - 1])) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[n];
}

}  // namespace glyphshift
