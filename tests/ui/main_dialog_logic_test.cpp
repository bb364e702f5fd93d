#include "ui/main_dialog_logic.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <set>

#include "engine/charset_catalogue.h"
#include "platform/path_names.h"
#include "support/temp_dir.h"

namespace glyphshift::ui {
namespace {

using Filters = std::vector<FileFilter>;

std::u16string NameOf(const std::u16string& entry) { return std::u16string(EntryNamePart(entry)); }

// ---- The character-set lists ----

TEST(CharsetList, SixtyTwoEntriesInCatalogueOrderThenTheUnicodeForms) {
  const auto entries = CharsetListEntries();
  ASSERT_EQ(entries.size(), 62u);
  EXPECT_EQ(entries.front(), u"ISO-8859-1 (Latin-1, West European)");
  EXPECT_EQ(NameOf(entries[58]), u"EBCDIC-1026");
  EXPECT_EQ(entries[59], u"UTF-8 (Unicode Transformation 8 Bits)");
  EXPECT_EQ(entries[60], u"UTF-16 (Unicode Transformation 16 Bits)");
  EXPECT_EQ(entries[61], u"UTF-16BE (Unicode Transformation 16 Bits, Big Endian)");
  EXPECT_EQ(std::set<std::u16string>(entries.begin(), entries.end()).size(), 62u) << "an entry is listed twice";
}

// Every entry's name resolves, codes ascend through the single-byte part, and the name a
// detected code turns into selects the entry it came from: the dialog's round trip.
TEST(CharsetList, EveryEntryResolvesAndIsFoundAgainByItsCode) {
  const auto entries = CharsetListEntries();
  CharsetCode previous = -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::u16string name = NameOf(entries[i]);
    CharsetCode code = -1;
    const char16_t* resolved = name.c_str();
    ASSERT_TRUE(ResolveCharsetName(&code, &resolved)) << "entry " << i;
    if (i < 59) {
      EXPECT_GT(code, previous) << "entry " << i;
      previous = code;
    }
    EXPECT_EQ(SelectCharsetEntry(entries, CharsetNameFromCode(code)), i) << "entry " << i;
  }
}

TEST(SelectCharsetEntry, ComparesTheWholeNamePartIgnoringAsciiCaseOnly) {
  const auto entries = CharsetListEntries();
  EXPECT_EQ(SelectCharsetEntry(entries, u"utf-16"), 60u) << "UTF-16 must not take the UTF-16BE entry or vice versa";
  EXPECT_EQ(SelectCharsetEntry(entries, u"utf-16be"), 61u);
  EXPECT_EQ(SelectCharsetEntry(entries, u"WINDOWS-1252"), SelectCharsetEntry(entries, u"Windows-1252"));
  EXPECT_FALSE(SelectCharsetEntry(entries, u"Windows-1252 "));
  EXPECT_FALSE(SelectCharsetEntry(entries, u"Windows"));
  EXPECT_FALSE(SelectCharsetEntry(entries, u"CP1252")) << "aliases are not list entries";
  EXPECT_FALSE(SelectCharsetEntry(entries, u"\u0130SO-8859-1")) << "only A to Z fold";
  EXPECT_FALSE(SelectCharsetEntry(entries, nullptr));
  EXPECT_FALSE(SelectCharsetEntry(entries, CharsetNameFromCode(11)));
}

TEST(SelectCharsetEntry, EntriesWithoutDescriptionCompareWhole) {
  const std::vector<std::u16string> entries = {u"(odd)", u"Plain", u"Other (x)"};
  EXPECT_EQ(SelectCharsetEntry(entries, u"plain"), 1u);
  EXPECT_EQ(SelectCharsetEntry(entries, u"OTHER"), 2u);
  EXPECT_EQ(SelectCharsetEntry(entries, u""), 0u) << "a leading parenthesis leaves an empty name";
}

// ---- The destination proposal ----

TEST(ProposeDestination, PutsDotTwoBeforeTheExtensionOfTheLastComponent) {
  EXPECT_EQ(ProposeDestination(u"/texts/letter.txt"), u"/texts/letter.2.txt");
  EXPECT_EQ(ProposeDestination(u"/texts/README"), u"/texts/README.2");
  EXPECT_EQ(ProposeDestination(u"/my.dir/README"), u"/my.dir/README.2");
  EXPECT_EQ(ProposeDestination(u"/texts/archive.tar.gz"), u"/texts/archive.tar.2.gz");
  EXPECT_EQ(ProposeDestination(u"/texts/.profile"), u"/texts/.2.profile");
  EXPECT_EQ(ProposeDestination(u"/texts/v1.0 notes"), u"/texts/v1.0 notes.2") << "a blank ends an extension";
  // A backslash separates on Windows; on POSIX it is an ordinary character.
  EXPECT_EQ(ProposeDestination(u"/texts/a.b\\c"),
            platform::IsPathSeparator(u'\\') ? u"/texts/a.b\\c.2" : u"/texts/a.2.b\\c");
  EXPECT_EQ(ProposeDestination(u"/texts/name."), u"/texts/name.2.");
  const std::u16string longExtension = u"." + std::u16string(100, u'x');
  EXPECT_EQ(ProposeDestination(u"/t/a" + longExtension), u"/t/a.2" + longExtension) << "nothing is cut";
}

TEST(DefaultExtension, IsTheExtensionWithoutItsDot) {
  EXPECT_EQ(DefaultExtension(u"/texts/letter.2.txt"), u"txt");
  EXPECT_EQ(DefaultExtension(u"/texts/README.2"), u"2");
  EXPECT_EQ(DefaultExtension(u"/texts.d/README"), u"");
  EXPECT_EQ(DefaultExtension(u""), u"");
}

// ---- The filter list ----

const FileFilter kAllFiles{u"All files", u"*.*"};

TEST(FilterList, WithoutAFileOnlyAllFiles) { EXPECT_EQ(BuildFilterList(std::nullopt), Filters{kAllFiles}); }

TEST(FilterList, LinesOfPairsComeBeforeTheDefaultPairWhateverTheLineBreaks) {
  const Filters expected = {{u"Text", u"*.txt"}, {u"HTML", u"*.htm;*.html"}, kAllFiles};
  EXPECT_EQ(BuildFilterList(u"Text|*.txt\r\nHTML|*.htm;*.html\r\n"), expected);
  EXPECT_EQ(BuildFilterList(u"Text|*.txt\nHTML|*.htm;*.html\n"), expected);
  EXPECT_EQ(BuildFilterList(u"Text|*.txt\rHTML|*.htm;*.html\r"), expected);
  EXPECT_EQ(BuildFilterList(u"Text\n*.txt\nHTML|*.htm;*.html|"), expected) << "| and line breaks are alike";
}

TEST(FilterList, AMissingFinalLineBreakGluesTheLastPatternToTheDefaultPair) {
  const Filters expected = {{u"Text", u"*.txt"}, {u"HTML", u"*.htmAll files"}};
  EXPECT_EQ(BuildFilterList(u"Text|*.txt\nHTML|*.htm"), expected);
}

TEST(FilterList, AnEmptyItemEndsTheList) {
  const Filters onlyA = {{u"A", u"*.a"}};
  EXPECT_EQ(BuildFilterList(u"A|*.a\n\nB|*.b\n"), onlyA) << "an empty line";
  EXPECT_EQ(BuildFilterList(u"A|*.a|\nB|*.b\n"), onlyA) << "| right before a line break";
  EXPECT_EQ(BuildFilterList(u"\nA|*.a\n"), Filters{}) << "an empty first line leaves no filter";
}

TEST(FilterList, TextAfterAZeroUnitIsDropped) {
  const std::u16string text(u"A|*.a\n\0B|*.b\n", 13);
  EXPECT_EQ(BuildFilterList(text), (Filters{{u"A", u"*.a"}, kAllFiles}));
}

TEST(FilterList, ByteOrderMarkStaysInTheFirstDescription) {
  EXPECT_EQ(BuildFilterList(u"\uFEFFText|*.txt\n"), (Filters{{u"\uFEFFText", u"*.txt"}, kAllFiles}));
}

std::size_t ListLength(const Filters& filters) {
  std::size_t length = 0;
  for (const FileFilter& f : filters) length += f.description.size() + f.pattern.size() + 2;
  return length;
}

// A file too long for the list is cut after its last whole pair that fits; the default pair
// stays whole and last.
TEST(FilterList, ALongFileIsCutAfterTheLastWholePairThatFits) {
  std::u16string text;
  std::vector<std::u16string> lines;
  for (int i = 0; i < 120; ++i) {
    const std::u16string n =
        std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + std::u16string(static_cast<std::size_t>(i % 7), u'x');
    lines.push_back(u"Docs " + n + u"|*." + n + u"\n");
    text += lines.back();
  }
  const Filters filters = BuildFilterList(text);
  ASSERT_GE(filters.size(), 2u);
  EXPECT_EQ(filters.back(), kAllFiles);
  const std::size_t kept = filters.size() - 1;
  EXPECT_LT(kept, lines.size());
  EXPECT_LE(ListLength(filters) + 1, kFilterListCapacity);
  EXPECT_GT(ListLength(filters) + 1 + lines[kept].size(), kFilterListCapacity) << "one more pair would have fit";
  EXPECT_EQ(filters[kept - 1].description + u"|" + filters[kept - 1].pattern + u"\n", lines[kept - 1]);
}

TEST(FilterList, AFirstPairLongerThanTheListLeavesOnlyTheDefault) {
  EXPECT_EQ(BuildFilterList(std::u16string(2000, u'd') + u"|*.txt\n"), Filters{kAllFiles});
}

// ---- Decoding "filters.txt" ----

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

TEST(DecodeFilterText, EachDetectedEncoding) {
  // "Té|*" in UTF-16 with a byte order mark, in both byte orders.
  EXPECT_EQ(DecodeFilterText(Bytes({0xFF, 0xFE, 'T', 0, 0xE9, 0, '|', 0, '*', 0})), u"\uFEFFT\u00E9|*");
  EXPECT_EQ(DecodeFilterText(Bytes({0xFE, 0xFF, 0, 'T', 0, 0xE9, 0, '|', 0, '*'})), u"\uFEFFT\u00E9|*");
  EXPECT_EQ(DecodeFilterText(Bytes({0xEF, 0xBB, 0xBF, 'T', 0xC3, 0xA9, '|', '*'})), u"\uFEFFT\u00E9|*");
  EXPECT_EQ(DecodeFilterText(Bytes({'G', 'r', 0xC3, 0xBC, 0xC3, 0x9F, 'e', '|', '*'})), u"Gr\u00FC\u00DFe|*");
  // Not UTF-8: read as Windows-1252, where 0x80 is the euro sign.
  EXPECT_EQ(DecodeFilterText(Bytes({'T', 0xE9, 0x80, '|', '*'})), u"T\u00E9\u20AC|*");
  // UTF-16 without a mark is recognised by its first character.
  EXPECT_EQ(DecodeFilterText(Bytes({'A', 0, '|', 0, '*', 0})), u"A|*");
}

using LoadFilterTextTest = support::InTempDirTest;

TEST_F(LoadFilterTextTest, ReadsFiltersTxtFromTheCurrentDirectory) {
  EXPECT_FALSE(LoadFilterText()) << "no file";
  std::ofstream("filters.txt", std::ios::binary) << "Text|*.txt\r\nHTML|*.htm;*.html\r\n";
  const auto text = LoadFilterText();
  ASSERT_TRUE(text);
  EXPECT_EQ(BuildFilterList(text), (Filters{{u"Text", u"*.txt"}, {u"HTML", u"*.htm;*.html"}, kAllFiles}));
}

TEST_F(LoadFilterTextTest, ADirectoryNamedFiltersTxtCountsAsNoFile) {
  std::filesystem::create_directory("filters.txt");
  EXPECT_FALSE(LoadFilterText());
}

// ---- Convert ----

DialogChoices Complete() {
  DialogChoices c;
  c.sourcePath = u"/in/a.txt";
  c.destinationPath = u"/in/a.2.txt";
  c.sourceEntry = 17;
  c.destinationEntry = 59;
  return c;
}

TEST(ConvertEnabled, NeedsBothPathsAndBothSets) {
  EXPECT_TRUE(IsConvertEnabled(Complete()));
  EXPECT_FALSE(IsConvertEnabled(DialogChoices{}));
  auto without = [](auto change) {
    DialogChoices c = Complete();
    change(c);
    return IsConvertEnabled(c);
  };
  EXPECT_FALSE(without([](DialogChoices& c) { c.sourcePath.clear(); }));
  EXPECT_FALSE(without([](DialogChoices& c) { c.destinationPath.clear(); }));
  EXPECT_FALSE(without([](DialogChoices& c) { c.destinationEntry = -1; })) << "both paths filled, no destination set";
  EXPECT_FALSE(without([](DialogChoices& c) { c.sourceEntry = -1; }));
}

TEST(FillRunSettings, NamesCutBeforeTheParenthesisAndResolvable) {
  const auto entries = CharsetListEntries();
  DialogChoices choices = Complete();
  choices.sourceEntry = static_cast<int>(*SelectCharsetEntry(entries, u"Windows-1251"));
  choices.destinationEntry = 61;
  RunSettings options;
  FillRunSettings(choices, entries, options);
  EXPECT_EQ(options.sources, std::vector<std::u16string>{u"/in/a.txt"});
  EXPECT_EQ(options.outputPath, u"/in/a.2.txt");
  EXPECT_EQ(options.sourceCharsetName, u"Windows-1251");
  EXPECT_EQ(options.destinationCharsetName, u"UTF-16BE");
  CharsetCode code = 0;
  const char16_t* name = options.destinationCharsetName.c_str();
  ASSERT_TRUE(ResolveCharsetName(&code, &name));
  EXPECT_EQ(code, 102);
}

TEST(FillRunSettings, LineBreakOnlyForEntriesAfterTheFirst) {
  const auto entries = CharsetListEntries();
  DialogChoices choices = Complete();
  RunSettings unchanged;
  FillRunSettings(choices, entries, unchanged);
  EXPECT_FALSE(unchanged.conversion.lineBreakType.has_value());
  choices.lineBreakEntry = 2;
  RunSettings unix;
  FillRunSettings(choices, entries, unix);
  EXPECT_EQ(unix.conversion.lineBreakType, 2) << "the UNIX entry";
}

TEST(FillRunSettings, CheckedBoxesSetAndUncheckedBoxesLeaveAlone) {
  const auto entries = CharsetListEntries();
  DialogChoices choices = Complete();
  RunSettings defaults;
  FillRunSettings(choices, entries, defaults);
  EXPECT_TRUE(defaults.conversion.writeBom);
  EXPECT_FALSE(defaults.conversion.modifyXml);
  EXPECT_FALSE(defaults.conversion.modifyHtml);

  choices.noBom = choices.modifyXml = choices.modifyHtml = true;
  RunSettings checked;
  FillRunSettings(choices, entries, checked);
  EXPECT_FALSE(checked.conversion.writeBom);
  EXPECT_TRUE(checked.conversion.modifyXml);
  EXPECT_TRUE(checked.conversion.modifyHtml);

  choices.noBom = choices.modifyXml = choices.modifyHtml = false;
  RunSettings preset;
  preset.conversion.modifyXml = true;
  preset.conversion.writeBom = false;
  FillRunSettings(choices, entries, preset);
  EXPECT_TRUE(preset.conversion.modifyXml);
  EXPECT_FALSE(preset.conversion.writeBom);
}

}  // namespace
}  // namespace glyphshift::ui
