// TransformNewLineCharacter, TransformEndianess and DetectCharacterSet on every codec path.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/codec_test_support.h"
#include "engine/detection.h"
#include "engine/engine.h"
#include "engine/table_fit.h"

namespace glyphshift::engine {
namespace {

using test::Bytes;
using test::CGuardedBuffer;
using test::Units;

// Letters stand for themselves, 'R' for CR and 'N' for LF.
Units Text(const std::string& letters) {
  Units units;
  for (char c : letters) units.push_back(c == 'R' ? u'\r' : c == 'N' ? u'\n' : static_cast<char16_t>(c));
  return units;
}

// Size query, then conversion into exactly that size; both must report the same.
Units Rewrite(std::int32_t type, const Units& in) {
  std::uint32_t query = 0xDEAD;
  EXPECT_EQ(TransformLineBreaks(type, in.data(), test::ByteLength(in), nullptr, &query), 0);
  CGuardedBuffer<char16_t> out(query / 2);
  std::uint32_t size = 0xDEAD;
  EXPECT_EQ(TransformLineBreaks(type, in.data(), test::ByteLength(in), out.data(), &size), 0);
  EXPECT_EQ(size, query) << "query and conversion disagree";
  EXPECT_TRUE(out.GuardIntact());
  return out.Prefix(size / 2);
}

class LineBreaks : public test::OnEveryPath {};

TEST_P(LineBreaks, EachTypeWritesItsFormForEveryKindOfBreak) {
  EXPECT_EQ(Rewrite(LINEBREAK_DOS, Text("aNb")), Text("aRNb"));
  EXPECT_EQ(Rewrite(LINEBREAK_UNIX, Text("aRNbRcN")), Text("aNbNcN"));
  EXPECT_EQ(Rewrite(LINEBREAK_MAC, Text("aRNb")), Text("aRb"));
  EXPECT_EQ(Rewrite(LINEBREAK_DOS, Text("aNRb")), Text("aRNRNb")) << "LF CR is two breaks";
  EXPECT_EQ(Rewrite(LINEBREAK_DOS, Text("RRN")), Text("RNRN"));
  EXPECT_EQ(Rewrite(LINEBREAK_UNIX, Text("abR")), Text("abN")) << "a final CR is a break";
}

TEST_P(LineBreaks, AnyOtherTypeRemovesBreaks) {
  for (std::int32_t type : {0, 4, -1}) EXPECT_EQ(Rewrite(type, Text("aRNbN")), Text("ab")) << type;
}

TEST_P(LineBreaks, OnlyCrAndLfAreBreaks) {
  const Units others = {0x0085, 0x2028, 0x2029, 0x000B, 0x000C, u'x'};
  EXPECT_EQ(Rewrite(LINEBREAK_DOS, others), others);
  EXPECT_EQ(Rewrite(LINEBREAK_DOS, {}), Units{});
  std::uint32_t size = 0;
  const Units x = Text("x");
  EXPECT_EQ(TransformLineBreaks(7, x.data(), 3, nullptr, &size), 0) << "an odd last byte is ignored";
  EXPECT_EQ(size, 2u);
}

TEST_P(LineBreaks, BreaksAtBlockEdgesOfLongText) {
  // A CR LF pair astride every position of 8-unit blocks, among runs without breaks.
  std::string letters;
  for (int k = 0; k < 20; ++k) letters += std::string(static_cast<std::size_t>(k % 9), 'x') + "RN" + "yN";
  std::string unix;
  for (int k = 0; k < 20; ++k) unix += std::string(static_cast<std::size_t>(k % 9), 'x') + "N" + "yN";
  EXPECT_EQ(Rewrite(LINEBREAK_UNIX, Text(letters)), Text(unix));
}

class ByteOrder : public test::OnEveryPath {};

TEST_P(ByteOrder, SwapsWholeUnitsAndLeavesAnOddByte) {
  Bytes data = {0x41, 0x00, 0x42, 0x00};
  EXPECT_EQ(SwapByteOrder(reinterpret_cast<char16_t*>(data.data()), 4), 1);
  EXPECT_EQ(data, (Bytes{0x00, 0x41, 0x00, 0x42}));
  std::vector<char16_t> odd(40);
  for (std::size_t k = 0; k < odd.size(); ++k) odd[k] = static_cast<char16_t>(0x0102 + k);
  auto* bytes = reinterpret_cast<std::uint8_t*>(odd.data());
  EXPECT_EQ(SwapByteOrder(odd.data(), 2 * 37 + 1), 1);
  for (std::size_t k = 0; k < 37; ++k) ASSERT_EQ(odd[k], static_cast<char16_t>((0x0102 + k) << 8 | (0x0102 + k) >> 8));
  EXPECT_EQ(bytes[74], 0x27) << "the odd last byte stays";
  EXPECT_EQ(odd[38], 0x0102 + 38);
}

class Detection : public test::OnEveryPath {};

CharsetCode Detect(const Bytes& data) { return DetectCharset(data.data(), test::ByteLength(data)); }
Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST_P(Detection, ByteOrderMarksAndZeroBytesDecideFirst) {
  EXPECT_EQ(Detect({0xFF, 0xFE}), 0) << "too short";
  EXPECT_EQ(Detect({0xFF, 0xFE, 0x41, 0x00}), CHARSET_UTF16);
  EXPECT_EQ(Detect({0xFE, 0xFF, 0x00, 0x41}), CHARSET_UTF16BE);
  EXPECT_EQ(Detect({0xEF, 0xBB, 0xBF, 0x41}), CHARSET_UTF8);
  EXPECT_EQ(Detect({0x41, 0x00, 0x42, 0x00}), CHARSET_UTF16);
  EXPECT_EQ(Detect({0x00, 0x41, 0x00, 0x42}), CHARSET_UTF16BE);
  EXPECT_EQ(Detect({0x00, 0x00, 0x41}), 0);
  EXPECT_EQ(Detect({}), 0);
}

TEST_P(Detection, Utf8NeedsAMultiByteSequenceAndNoMalformedPlace) {
  EXPECT_EQ(Detect(Ascii("plain ascii text")), 0);
  EXPECT_EQ(Detect({0x68, 0xC3, 0xA9, 0x6C, 0x6C, 0x6F}), CHARSET_UTF8);
  EXPECT_EQ(Detect({0x68, 0xC3, 0xA9, 0x6C, 0x6C, 0x6F, 0xC3}), CHARSET_UTF8) << "cut lead at the end";
  EXPECT_EQ(Detect({0x63, 0x61, 0x66, 0xE9, 0x20, 0x61, 0x75}), 0);
  EXPECT_EQ(Detect({0xED, 0xA0, 0x80, 0x20, 0x20}), CHARSET_UTF8) << "the size query makes no range test";
  EXPECT_EQ(Detect({0x61, 0x80, 0x62}), 0);
}

TEST_P(Detection, MalformedPlaceFarIntoLongUtf8TextRulesItOut) {
  Bytes text;
  for (int k = 0; k < 300; ++k) text.insert(text.end(), {'a', 'b', ' ', 0xD0, 0x96, 0xE4, 0xB8, 0xAD});
  EXPECT_EQ(Detect(text), CHARSET_UTF8);
  for (std::size_t at : {std::size_t{16}, std::size_t{1000}, text.size() - 10}) {
    Bytes broken = text;
    broken[at] = 0xFF;
    EXPECT_EQ(Detect(broken), 0) << "0xFF at " << at;
    // A multi-byte sequence after the error does not bring UTF-8 back.
    broken.insert(broken.end(), {0xC3, 0xA9});
    EXPECT_EQ(Detect(broken), 0) << "0xFF at " << at;
  }
}

TEST_P(Detection, SingleByteTextIsTheFirstTableDefiningEveryByte) {
  // Windows-1252 text with 0x80 (the euro sign there) is still code 0, which defines 0x80.
  EXPECT_EQ(Detect({0x50, 0x72, 0x69, 0x63, 0x65, 0x20, 0x80, 0x35}), 0);
  Bytes every(256);
  for (int b = 0; b < 256; ++b) every[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>((b + 1) & 0xFF);
  EXPECT_EQ(Detect(every), 0);
}

TEST(FirstDefiningTable, SkipsEveryTableInWhichTheTextHasAnUndefinedByte) {
  // Ours all stop at code 0, which defines every byte; these tables make the later ones count.
  MappingTable tables[3];
  for (MappingTable& t : tables) {
    for (int b = 0; b < 256; ++b) t.units[b] = static_cast<char16_t>(b);
  }
  tables[0].units[0x81] = kMappingUndefined;
  tables[1].units[0x41] = kMappingUndefined;
  const auto first = [&](const Bytes& text, int count) {
    return FirstDefiningTable(tables, count, text.data(), test::ByteLength(text));
  };
  EXPECT_EQ(first({0x41, 0x42}, 3), 0);
  EXPECT_EQ(first({0x42, 0x81}, 3), 1);
  EXPECT_EQ(first({0x41, 0x81, 0x20}, 3), 2);
  EXPECT_EQ(first({0x41, 0x81}, 2), 0) << "no table fits: 0";
}

// A set a statistical detector named, checked against the byte values of the text.
TEST(FitTableToSample, KeepsTheNamedSetUnlessItsControlsOrGapsSpeakAgainstIt) {
  struct Case {
    CharsetCode named;
    Bytes sample;
    CharsetCode expected;
    const char* why;
  };
  const Case cases[] = {
      {0, {'c', 0xE9}, 0, "Latin-1 letters"},
      {17, {}, 17, "an empty sample"},
      {0, {0xE9, 0x93, 0x94}, 18, "quotation marks at 0x93 and 0x94: Windows-1252, which reads the rest alike"},
      {8, {0xFD, 0x92}, 20, "an apostrophe at 0x92 in Turkish: Windows-1254"},
      {10, {0xA1, 0xA0}, 15, "a no-break space in Thai: Windows-874"},
      {0, {0xE9, 0x81}, 0, "Windows-1252 has no 0x81: the control stays"},
      {6, {0xE1, 0x93}, 6, "no table reads ISO-8859-7's Greek alike and gives 0x93 a character"},
      {21, {0xE0, 0xCA}, kNoFittingTable, "0xCA has no character in Windows-1255"},
      {47, {0x80}, 47, "Apple-CENTEURO stays itself beside MSMAC-LATIN2, the same table"},
      {11, {0x41}, kNoFittingTable, "code 11 has no catalogue record"},
  };
  for (const Case& c : cases) {
    ByteSet sample;
    sample.AddAll(c.sample.data(), c.sample.size());
    EXPECT_EQ(FitTableToSample(c.named, sample), c.expected) << c.why;
  }
}

TEST(ByteSetOfText, HoldsTheTextsBytesAndNoOthers) {
  // Short texts and long ones are gathered in different ways.
  for (const std::size_t size : {std::size_t{5}, std::size_t{255}, std::size_t{256}, std::size_t{5000}}) {
    Bytes text(size);
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<std::uint8_t>(40 + i * 7 % 200);
    ByteSet gathered, expected;
    gathered.AddAll(text.data(), size);
    for (const std::uint8_t b : text) expected.Add(b);
    for (std::size_t word = 0; word < 4; ++word) EXPECT_EQ(gathered.bits[word], expected.bits[word]) << size;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, LineBreaks, ::testing::ValuesIn(test::AvailablePaths()), test::PathName);
INSTANTIATE_TEST_SUITE_P(Paths, ByteOrder, ::testing::ValuesIn(test::AvailablePaths()), test::PathName);
INSTANTIATE_TEST_SUITE_P(Paths, Detection, ::testing::ValuesIn(test::AvailablePaths()), test::PathName);

}  // namespace
}  // namespace glyphshift::engine
