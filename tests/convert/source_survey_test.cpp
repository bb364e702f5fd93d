// The survey of a source against counts over its whole text: the pieces it is read in and the
// chunks it is decoded in must change nothing, whatever they cut (a CR LF, a declaration's value).
#include "convert/source_survey.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/named_files.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

constexpr CharsetCode kWindows1252 = 18;  // 0x81 is undefined there

// Lines of every break kind, up to `size` bytes.
std::string Lines(std::size_t size) {
  static constexpr const char* kLines[] = {
      "Gr\xFC\xDF"
      "e\r\n",
      "line\n", "old mac\r", "\r\n", "caf\xE9 au lait\n"};
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i) text += kLines[i % 5];
  text.resize(size);
  return text;
}

LineBreakCounts CountedWhole(const std::string& text) {
  LineBreakCounts counts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++counts.crLf;
      ++i;
    } else if (text[i] == '\r') {
      ++counts.cr;
    } else if (text[i] == '\n') {
      ++counts.lf;
    }
  }
  return counts;
}

class SourceSurveyTest : public support::TempDirTest {
 protected:
  SourceSurvey Survey(const std::string& bytes, CharsetCode charset, CharsetCode destination = kCharsetUtf8) {
    support::WriteFileBytes(dir_.Native("in"), bytes);
    CNamedSource named(dir_.Path("in"));
    SourceSurvey survey;
    ConversionReport report;
    EXPECT_EQ(SurveySource(named.source, charset, destination, false, survey, report), Result::Converted);
    return survey;
  }
};

TEST_F(SourceSurveyTest, WhatStraddlesACutIsFoundWhole) {
  const std::string meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
  // A decoding chunk, a read piece, and a chunk within the second piece.
  for (const std::size_t cut : {std::size_t{16 << 10}, std::size_t{128 << 10}, std::size_t{144 << 10}}) {
    SCOPED_TRACE(cut);
    const std::string crLf = Lines(cut - 1) + "\r\n" + Lines(300);
    const SourceSurvey breaks = Survey(crLf, kWindows1252);
    const LineBreakCounts whole = CountedWhole(crLf);
    EXPECT_EQ(breaks.lineBreaks.crLf, whole.crLf);
    EXPECT_EQ(breaks.lineBreaks.lf, whole.lf);
    EXPECT_EQ(breaks.lineBreaks.cr, whole.cr);
    EXPECT_EQ(breaks.size, crLf.size());

    const std::string declared = Lines(cut - 3 - meta.size()) + meta + "koi8-r\">" + Lines(200) + "\x81\x80\x81" + '\0';
    const SourceSurvey markup = Survey(declared, kWindows1252, kCharsetIso88591);
    EXPECT_TRUE(markup.html.found);
    EXPECT_EQ(markup.html.name, u"koi8-r");
    EXPECT_FALSE(markup.xml.found);
    EXPECT_EQ(markup.undecodable, 2u);
    ASSERT_TRUE(markup.binaryAt);
    EXPECT_EQ(*markup.binaryAt, declared.size() - 1);
    // ISO-8859-1 has no euro sign; the bytes that did not decode are counted once, above.
    EXPECT_EQ(markup.unencodable, 1u);
  }
}

TEST_F(SourceSurveyTest, MarksAndUnicodeForms) {
  EXPECT_TRUE(Survey("\xEF\xBB\xBFx\n", kCharsetUtf8).byteOrderMark);
  EXPECT_FALSE(Survey("\xEF\xBB\xBFx\n", kWindows1252).byteOrderMark) << "no mark in a single-byte reading";
  const SourceSurvey odd = Survey(std::string("\xFF\xFEh\0\r\0\n\0!", 9), kCharsetUtf16);
  EXPECT_TRUE(odd.byteOrderMark);
  EXPECT_EQ(odd.lineBreaks.crLf, 1u);
  EXPECT_EQ(odd.undecodable, 1u) << "the odd last byte";
  const std::string longValue = "<?xml version=\"1.0\" encoding=\"" + std::string(100, 'x') + "\"?>";
  const SourceSurvey cut = Survey(longValue, kCharsetUtf8);
  EXPECT_TRUE(cut.xml.found && cut.xml.cut);
  EXPECT_EQ(cut.xml.name, std::u16string(64, u'x'));
}

}  // namespace
}  // namespace glyphshift
