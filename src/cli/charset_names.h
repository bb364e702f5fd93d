// The character-set names as the command line shows them: in the usage text, in "morfex --list",
// and as suggestions for a name that is not one.
#pragma once

#include <string>
#include <string_view>

namespace glyphshift {

// Every listed catalogue name followed by ", ", in catalogue order (the usage text's list).
std::u16string ListedCharsetNames();

// One line for each set, in catalogue order and then the three Unicode forms: its name, a tab,
// what it is, a tab, and its other names (those that resolve to it) joined by ", ".
std::u16string CharsetListing();

// The line that follows the Error 6 line of `unknown`: the nearest names (one per set, the
// spelling nearest to what was typed), or where to find every name.
std::u16string CharsetSuggestion(std::u16string_view unknown);

}  // namespace glyphshift
