// Builds working texts for tests the way the conversion does: an exact block plus U+0000.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "convert/working_text.h"

namespace glyphshift::testing_support {

// `skipped` units are placed before the text and excluded by `start` (a dropped byte order mark).
inline WorkingText MakeWorkingText(std::u16string_view text, std::u16string_view skipped = {}) {
  WorkingText result;
  const std::size_t units = skipped.size() + text.size() + 1;
  result.buffer = AllocateUnits(units);
  std::copy(skipped.begin(), skipped.end(), result.buffer.get());
  std::copy(text.begin(), text.end(), result.buffer.get() + skipped.size());
  result.buffer[units - 1] = 0;
  result.start = skipped.size();
  result.byteLength = static_cast<std::uint32_t>(2 * text.size());
  return result;
}

inline std::u16string TextOf(const WorkingText& text) { return std::u16string(text.Text(), text.UnitCount()); }

}  // namespace glyphshift::testing_support
