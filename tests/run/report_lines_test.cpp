// The report's lines: JSON strings that stay valid whatever a name holds, and table rows whose
// names start under the heading, whatever the other columns hold.
#include "run/report_lines.h"

#include <gtest/gtest.h>

namespace glyphshift {
namespace {

TEST(AppendJsonString, EscapesWhatJsonMustAndEveryLoneSurrogate) {
  const struct {
    std::u16string text;
    std::u16string json;
  } cases[] = {
      {u"plain name.txt", u"\"plain name.txt\""},
      {u"a\"b\\c/d", u"\"a\\\"b\\\\c/d\""},
      {u"\n\r\t\x01\x1F\x7F", u"\"\\n\\r\\t\\u0001\\u001f\\u007f\""},
      {u"caf\u00E9 \u20AC \U0001F600", u"\"caf\u00E9 \u20AC \U0001F600\""},  // a pair stays a pair
      {std::u16string{u'n', char16_t{0xDCFF}, u'.'}, u"\"n\\udcff.\""},      // the byte 0xFF of a name
      {std::u16string{char16_t{0xD800}, u'x', char16_t{0xDFFF}}, u"\"\\ud800x\\udfff\""},
      {std::u16string{u'a', u'\0', u'b'}, u"\"a\\u0000b\""},
  };
  for (const auto& c : cases) {
    std::u16string out = u"{";
    AppendJsonString(out, c.text);
    EXPECT_EQ(out, u"{" + c.json) << std::string(c.json.begin(), c.json.end());
  }
}

TEST(ReportTableRow, NamesStartUnderTheHeading) {
  SourceSurvey survey;
  survey.lineBreaks = {123456789, 0, 7};
  survey.binaryAt = 3;
  survey.xml = {true, u"windows-1253", false};
  survey.html = {true, std::u16string(64, u'x'), true};
  ReportEntry full{u"dir/f\u00E9.txt",
                   u"MSMAC-CYRILLIC",
                   true,
                   FoundBy::Model,
                   ModelOpinion{u"MSMAC-CYRILLIC", 100, u"Windows-1251"},
                   survey,
                   u"iso-8859-1"};
  ReportEntry refused{u"sj.txt", u"Shift_JIS", false, FoundBy::Model, std::nullopt, std::nullopt, u"iso-8859-1"};
  for (const bool withDestination : {true, false}) {
    if (!withDestination) {
      full.destination.reset();
      refused.destination.reset();
    }
    const std::u16string header = ReportTableHeader(full.destination);
    const std::size_t nameColumn = header.find(u"Name\n");
    ASSERT_EQ(nameColumn + 5, header.size());
    for (const ReportEntry* entry : {&full, &refused}) {
      const std::u16string row = ReportTableRow(*entry);
      EXPECT_EQ(row.substr(nameColumn), entry->name + u"\n") << std::string(row.begin(), row.end());
    }
  }
}

}  // namespace
}  // namespace glyphshift
