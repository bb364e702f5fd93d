// Case folding as the program compares option names, keywords, character-set names and paths:
// only the letters A to Z fold; every other unit must match exactly.
#pragma once

#include <cstddef>
#include <string_view>

namespace glyphshift {

constexpr char16_t FoldAsciiCase(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

constexpr bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  }
  return true;
}

constexpr bool StartsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace glyphshift
