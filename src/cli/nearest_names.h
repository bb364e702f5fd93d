// Suggestions for a mistyped word: the option or character-set name a person most likely meant.
#pragma once

#include <cstddef>
#include <string_view>

namespace glyphshift {

// The fewest edits (a character inserted, left out or changed, or two neighbours swapped) that
// turn `a` into `b`, ASCII letter case aside.
std::size_t TypingDistance(std::u16string_view a, std::u16string_view b);

// Whether a word `distance` edits away from one of `length` characters is likely what was
// meant: a third of the word, or 2 edits in a word of 5 or more. More, and unrelated words
// come close: "/foo" is 3 edits from "/xml", "-x" 1 from "/r".
constexpr bool IsNearEnough(std::size_t distance, std::size_t length) {
  return distance * 3 <= length || (distance <= 2 && length >= 5);
}

}  // namespace glyphshift
