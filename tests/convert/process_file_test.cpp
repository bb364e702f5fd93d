// ProcessFile over real temporary files: character-set families, byte order marks, line
// breaks and markup, asserted byte for byte.
#include "convert/process_file_fixture.h"

#include <initializer_list>

namespace glyphshift::testing_support {
namespace {

// "Aé€" and a line feed in each family, without a byte order mark.
Bytes Sample(CharsetCode code) {
  switch (code) {
    case kCharsetUtf8: return {0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0x0A};
    case kCharsetUtf16: return {0x41, 0x00, 0xE9, 0x00, 0xAC, 0x20, 0x0A, 0x00};
    case kCharsetUtf16Be: return {0x00, 0x41, 0x00, 0xE9, 0x20, 0xAC, 0x00, 0x0A};
    default: return {0x41, 0xE9, 0x80, 0x0A};
  }
}

Bytes Mark(CharsetCode code) {
  switch (code) {
    case kCharsetUtf8: return {0xEF, 0xBB, 0xBF};
    case kCharsetUtf16: return {0xFF, 0xFE};
    case kCharsetUtf16Be: return {0xFE, 0xFF};
    default: return {};
  }
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

constexpr CharsetCode kFamilies[] = {kWindows1252, kCharsetUtf8, kCharsetUtf16, kCharsetUtf16Be};

TEST_F(ProcessFileTest, EveryFamilyToEveryFamilyWithAndWithoutMark) {
  for (bool bom : {true, false}) {
    settings_.writeBom = bom;
    for (CharsetCode from : kFamilies) {
      for (CharsetCode to : kFamilies) {
        SCOPED_TRACE(testing::Message() << from << " -> " << to << (bom ? " with" : " without") << " mark");
        // A source mark is dropped whatever the destination; only writeBom decides the output's.
        for (const Bytes& source : {Sample(from), Concat({Mark(from), Sample(from)})}) {
          const Outcome o = ConvertBytes(source, from, to);
          const Bytes expected = Concat({bom ? Mark(to) : Bytes{}, Sample(to)});
          EXPECT_EQ(o.result, Result::Converted);
          EXPECT_EQ(Out(), expected);
          EXPECT_EQ(o.sourceSize, source.size());
          EXPECT_EQ(o.destinationSize, expected.size());
          EXPECT_EQ(o.report.problem, ConversionReport::Problem::None);
        }
      }
    }
  }
}

TEST_F(ProcessFileTest, OnlyOneMarkIsDropped) {
  settings_.writeBom = false;
  ConvertBytes({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF, 0x41}, kCharsetUtf8, kCharsetUtf8);
  EXPECT_EQ(Out(), (Bytes{0xEF, 0xBB, 0xBF, 0x41}));
}

TEST_F(ProcessFileTest, MarkBytesOfASingleByteSourceAreOrdinaryCharacters) {
  ConvertBytes({0xEF, 0xBB, 0xBF, 0x41}, kWindows1252, kCharsetUtf8);
  EXPECT_EQ(Out(), (Bytes{0xEF, 0xBB, 0xBF, 0xC3, 0xAF, 0xC2, 0xBB, 0xC2, 0xBF, 0x41}));
}

TEST_F(ProcessFileTest, ReversedMarkReadAsUtf16StaysAsUFFFE) {
  ConvertBytes({0xFE, 0xFF, 0x41, 0x00}, kCharsetUtf16, kCharsetUtf16);
  EXPECT_EQ(Out(), (Bytes{0xFF, 0xFE, 0xFE, 0xFF, 0x41, 0x00}));
}

TEST_F(ProcessFileTest, OddSizedUtf16IgnoresTheHalfUnitButKeepsItsLength) {
  settings_.writeBom = false;
  const Bytes odd{0x41, 0x00, 0x42};
  ConvertBytes(odd, kCharsetUtf16, kCharsetUtf8);
  EXPECT_EQ(Out(), (Bytes{0x41}));
  ConvertBytes(odd, kCharsetUtf16, kWindows1252);
  EXPECT_EQ(Out(), (Bytes{0x41}));
  Outcome o = ConvertBytes(odd, kCharsetUtf16, kCharsetUtf16);
  EXPECT_EQ(Out(), (Bytes{0x41, 0x00, 0x00}));
  EXPECT_EQ(o.destinationSize, 3u);
  ConvertBytes(odd, kCharsetUtf16, kCharsetUtf16Be);
  EXPECT_EQ(Out(), (Bytes{0x00, 0x41, 0x00}));
  ConvertBytes({0x00, 0x41, 0x42}, kCharsetUtf16Be, kCharsetUtf16);
  EXPECT_EQ(Out(), (Bytes{0x41, 0x00, 0x00}));
}

TEST_F(ProcessFileTest, EmptySourceGivesTheMarkOrAnEmptyFile) {
  for (bool bom : {true, false}) {
    settings_.writeBom = bom;
    for (CharsetCode from : kFamilies) {
      for (CharsetCode to : kFamilies) {
        SCOPED_TRACE(testing::Message() << from << " -> " << to << " mark " << bom);
        const Outcome o = ConvertBytes({}, from, to);
        EXPECT_EQ(o.result, Result::Converted);
        EXPECT_EQ(o.sourceSize, 0u);
        EXPECT_EQ(Out(), bom ? Mark(to) : Bytes{});
        EXPECT_EQ(o.destinationSize, bom ? Mark(to).size() : 0u);
      }
    }
  }
}

TEST_F(ProcessFileTest, LineBreakNamesIgnoreAsciiCaseAndAnythingElseRemovesBreaks) {
  settings_.writeBom = false;
  const Bytes source = support::ToBytes("a\r\nb\nc\rd\n");
  const struct {
    const char16_t* name;
    const char* expected;
  } cases[] = {
      {u"dos", "a\r\nb\r\nc\r\nd\r\n"},
      {u"DOS", "a\r\nb\r\nc\r\nd\r\n"},
      {u"Unix", "a\nb\nc\nd\n"},
      {u"MAC", "a\rb\rc\rd\r"},
      {u"\"dos\"", "abcd"},
      {u"", "abcd"},
  };
  for (const auto& c : cases) {
    settings_.lineBreakType = LineBreakTypeFromName(c.name);
    ConvertBytes(source, kCharsetUtf8, kCharsetUtf8);
    EXPECT_EQ(Out(), support::ToBytes(c.expected)) << "line=" << testing::PrintToString(std::u16string(c.name));
  }
}

TEST_F(ProcessFileTest, DeclarationsGetTheDestinationNameBeforeEncoding) {
  settings_.writeBom = false;
  settings_.modifyXml = true;
  settings_.modifyHtml = true;
  const std::string doc =
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
      "<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\xE9</html>";
  ConvertBytes(support::ToBytes(doc), kWindows1252, kCharsetUtf8);
  EXPECT_EQ(Out(), support::ToBytes("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                    "<html><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                    "charset=utf-8\">\xC3\xA9</html>"));
  // Without a meta tag the scan runs to the end of the decoded text, where it must find U+0000.
  settings_.modifyXml = false;
  ConvertBytes(support::ToBytes("<?xml encoding='x'?><p>\xC3\xA9</p>"), kCharsetUtf8, kWindows1252);
  EXPECT_EQ(Out(), support::ToBytes("<?xml encoding='x'?><p>\xE9</p>"));
}

}  // namespace
}  // namespace glyphshift::testing_support
