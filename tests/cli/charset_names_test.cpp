#include "cli/charset_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/charset_catalogue.h"

namespace glyphshift {
namespace {

std::vector<std::u16string> Split(std::u16string_view text, std::u16string_view separator) {
  std::vector<std::u16string> parts;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find(separator, at), text.size());
    parts.emplace_back(text.substr(at, end - at));
    at = end + separator.size();
  }
  return parts;
}

CharsetCode CodeOf(const std::u16string& name) {
  CharsetCode code = -1;
  const char16_t* spelling = name.c_str();
  EXPECT_TRUE(ResolveCharsetName(&code, &spelling)) << std::string(name.begin(), name.end());
  return code;
}

// Every set once, and every name on its line resolves to that set: a script may take any of them.
TEST(CharsetListing, OneLinePerSetWithNamesThatResolveToIt) {
  std::vector<std::u16string> lines = Split(CharsetListing(), u"\n");
  ASSERT_EQ(lines.back(), u"") << "every line ends with a line feed";
  lines.pop_back();
  EXPECT_EQ(lines.size(), 62u) << "59 single-byte sets and the three Unicode forms";
  std::vector<CharsetCode> codes;
  std::size_t names = 0;
  for (const std::u16string& line : lines) {
    const std::vector<std::u16string> fields = Split(line, u"\t");
    ASSERT_EQ(fields.size(), 3u) << std::string(line.begin(), line.end());
    const CharsetCode code = CodeOf(fields[0]);
    codes.push_back(code);
    ++names;
    if (fields[2].empty()) continue;
    for (const std::u16string& other : Split(fields[2], u", ")) {
      EXPECT_EQ(CodeOf(other), code) << std::string(other.begin(), other.end()) << " on the line of "
                                     << std::string(fields[0].begin(), fields[0].end());
      ++names;
    }
  }
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::unique(codes.begin(), codes.end()), codes.end()) << "a set on two lines";
  // The catalogue's 182 records less CP874 under DOS-874, which resolves to Windows-874, and
  // the Unicode spellings.
  EXPECT_EQ(names, 181u + 9u);
}

TEST(CharsetSuggestion, NamesTheNearestSets) {
  const struct {
    std::u16string typed;
    std::u16string line;
  } cases[] = {
      {u"windows1252", u"\nDid you mean \"Windows-1252\"? \"morfex --list\" lists every name.\n"},
      {u"WINDOWS-1252 ", u"\nDid you mean \"Windows-1252\"? \"morfex --list\" lists every name.\n"},
      {u"cp-1251", u"\nDid you mean \"CP1251\"? \"morfex --list\" lists every name.\n"},
      {u"utf16le", u"\nDid you mean \"UTF-16\"? \"morfex --list\" lists every name.\n"},
      {u"koi8", u"\nDid you mean \"KOI8R\" or \"KOI8U\"? \"morfex --list\" lists every name.\n"},
      {u"klingon", u"\n\"morfex --list\" lists every name.\n"},
      {u"", u"\n\"morfex --list\" lists every name.\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CharsetSuggestion(c.typed), c.line) << std::string(c.typed.begin(), c.typed.end());
  }
}

}  // namespace
}  // namespace glyphshift
