// The user translation table loader: encodings, line breaks, fields and the end of the table.
#include "security/user_translation_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace glyphshift {
namespace {

using Entries = std::vector<std::pair<std::u16string, std::u16string>>;

class TableLoad : public support::TempDirTest {
 protected:
  Entries LoadBytes(const support::Bytes& bytes) {
    support::WriteFileBytes(dir_.Native("table.csv"), bytes);
    return Load(dir_.Path("table.csv"));
  }
  Entries LoadText(std::string_view utf8) { return LoadBytes(support::ToBytes(utf8)); }

  static Entries Load(const std::u16string& tablePath) {
    const CUserTranslationTable table(tablePath, nullptr);
    EXPECT_EQ(table.count, table.prefixes.size());
    EXPECT_EQ(table.count, table.accounts.size());
    Entries entries;
    for (std::uint32_t i = 0; i < table.count; ++i) entries.emplace_back(table.prefixes[i], table.accounts[i]);
    return entries;
  }
};

// UTF-16 bytes of ASCII-and-BMP text with a byte order mark.
support::Bytes Utf16(std::u16string_view text, bool bigEndian) {
  support::Bytes bytes = bigEndian ? support::Bytes{0xFE, 0xFF} : support::Bytes{0xFF, 0xFE};
  for (char16_t unit : text) {
    const auto high = static_cast<std::uint8_t>(unit >> 8);
    const auto low = static_cast<std::uint8_t>(unit & 0xFF);
    bytes.push_back(bigEndian ? high : low);
    bytes.push_back(bigEndian ? low : high);
  }
  return bytes;
}

const Entries kExample = {{u"jdoe", u"EXAMPLE\\jdoe"}, {u"mmuster", u"EXAMPLE\\Sales Team"}};

TEST_F(TableLoad, EveryEncodingAndLineBreakGivesTheSameEntries) {
  EXPECT_EQ(LoadText("jdoe;EXAMPLE\\jdoe\nmmuster,EXAMPLE\\Sales Team\n"), kExample);
  EXPECT_EQ(LoadBytes(Utf16(u"jdoe;EXAMPLE\\jdoe\r\nmmuster,EXAMPLE\\Sales Team\r\n", false)), kExample);
  EXPECT_EQ(LoadBytes(Utf16(u"jdoe;EXAMPLE\\jdoe\r\nmmuster,EXAMPLE\\Sales Team", true)), kExample);
  EXPECT_EQ(LoadText("jdoe;EXAMPLE\\jdoe\rmmuster,EXAMPLE\\Sales Team"), kExample) << "lone CR";
  EXPECT_EQ(LoadText("jdoe;EXAMPLE\\jdoe\r\n\nmmuster;x"), (Entries{{u"jdoe", u"EXAMPLE\\jdoe"}}))
      << "CR LF is one break, the LF after it an empty line";
}

TEST_F(TableLoad, NonAsciiTextSurvivesEachEncoding) {
  const Entries expected = {{u"j\u00F6rg", u"b\u00FCro\\\u0416\u4E2D"}};
  EXPECT_EQ(LoadText("j\xC3\xB6rg;b\xC3\xBCro\\\xD0\x96\xE4\xB8\xAD"), expected);
  EXPECT_EQ(LoadBytes(Utf16(u"j\u00F6rg;b\u00FCro\\\u0416\u4E2D", false)), expected);
  EXPECT_EQ(LoadBytes(Utf16(u"j\u00F6rg;b\u00FCro\\\u0416\u4E2D", true)), expected);
}

TEST_F(TableLoad, Utf8SignatureIsTextOfTheFirstPrefix) {
  const Entries entries = LoadText("\xEF\xBB\xBFjdoe;a\nmm;b\n");
  EXPECT_EQ(entries, (Entries{{u"\uFEFFjdoe", u"a"}, {u"mm", u"b"}}));
}

TEST_F(TableLoad, OddLastByteOfUtf16IsDropped) {
  support::Bytes bytes = Utf16(u"ab;cd", false);
  bytes.push_back('x');
  EXPECT_EQ(LoadBytes(bytes), (Entries{{u"ab", u"cd"}}));
}

TEST_F(TableLoad, FieldsFirstIsPrefixLastIsAccount) {
  EXPECT_EQ(LoadText("jdoe;x;EXAMPLE\\jdoe"), (Entries{{u"jdoe", u"EXAMPLE\\jdoe"}})) << "middle field ignored";
  EXPECT_EQ(LoadText("jdoe\tx,y;z"), (Entries{{u"jdoe", u"z"}})) << "TAB, comma and semicolon all separate";
  EXPECT_EQ(LoadText("jdoe"), (Entries{{u"jdoe", u"jdoe"}})) << "no separator: the line is both";
  EXPECT_EQ(LoadText("jdoe;"), (Entries{{u"jdoe", u""}})) << "trailing separator: empty account";
  EXPECT_EQ(LoadText("jdoe, EXAMPLE\\jdoe"), (Entries{{u"jdoe", u" EXAMPLE\\jdoe"}})) << "blank kept";
  EXPECT_EQ(LoadText("\"jdoe\";\"a b\""), (Entries{{u"\"jdoe\"", u"\"a b\""}})) << "no quoting";
}

TEST_F(TableLoad, FirstEmptyFirstFieldEndsTheTable) {
  EXPECT_EQ(LoadText("a;1\n\nb;2\n"), (Entries{{u"a", u"1"}})) << "empty line in the middle";
  EXPECT_EQ(LoadText("\na;1\nb;2\n"), Entries{}) << "empty first line";
  EXPECT_EQ(LoadText("a;1\n;x\nb;2\n"), (Entries{{u"a", u"1"}})) << "line starting with a separator";
  EXPECT_EQ(LoadText("a;1\nb;2"), (Entries{{u"a", u"1"}, {u"b", u"2"}})) << "last line without break";
  EXPECT_EQ(LoadText("a;1\nb;2\n"), (Entries{{u"a", u"1"}, {u"b", u"2"}})) << "final break adds nothing";
}

TEST_F(TableLoad, NulCharacterEndsTheText) {
  EXPECT_EQ(LoadBytes(support::Bytes{'a', ';', '1', '\n', 'b', ';', 0, '2', '\n', 'c', ';', '3'}),
            (Entries{{u"a", u"1"}, {u"b", u""}}));
}

TEST_F(TableLoad, EmptyMissingOrUnreadableFileGivesAnEmptyTable) {
  EXPECT_EQ(LoadText(""), Entries{});
  EXPECT_EQ(LoadBytes(support::Bytes{0xFF, 0xFE}), Entries{}) << "byte order mark only";
  EXPECT_EQ(Load(dir_.Path("missing.csv")), Entries{});
  EXPECT_EQ(Load(dir_.Path("")), Entries{}) << "a directory is no table";
}

TEST(CountTableLines, CountsBreaksAndAnUnterminatedLastLine) {
  EXPECT_EQ(CUserTranslationTable::CountTableLines(u""), 0u);
  EXPECT_EQ(CUserTranslationTable::CountTableLines(u"a"), 1u);
  EXPECT_EQ(CUserTranslationTable::CountTableLines(u"a\n"), 1u);
  EXPECT_EQ(CUserTranslationTable::CountTableLines(u"\n\n"), 2u);
  EXPECT_EQ(CUserTranslationTable::CountTableLines(u"a\nb"), 2u);
  EXPECT_EQ(CUserTranslationTable::CountTableLines(std::u16string_view(u"a\nb\0c\nd", 7)), 2u) << "stops at U+0000";
}

}  // namespace
}  // namespace glyphshift
