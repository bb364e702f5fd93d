// The statistical detector: its structural rules, the refusal of the sets the program cannot
// convert, the tie rule, the confidence, and short samples of our own in each script.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/charset_guess.h"
#include "engine/engine.h"
#include "engine/mapping_table.h"
#include "engine/multibyte_structure.h"

namespace glyphshift::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(CharsetCode code, std::u16string_view text) {
  Bytes out(text.size());
  std::uint32_t size = static_cast<std::uint32_t>(out.size());
  EXPECT_EQ(Utf16ToSingleByte(code, text.data(), static_cast<std::uint32_t>(text.size() * 2), out.data(), &size), 0)
      << "code " << code << " cannot write the sample";
  return out;
}

std::u16string Decode(CharsetCode code, const Bytes& bytes) {
  std::u16string out;
  for (const std::uint8_t b : bytes) out += kMappingTables[code].units[b];
  return out;
}

Bytes Raw(std::string_view text) { return {text.begin(), text.end()}; }

// Sentences of our own, each in a set its language is written in.
struct Sample {
  CharsetCode code;
  std::u16string_view text;
};
constexpr Sample kSamples[] = {
    {18,
     u"L\u2019\u00e9t\u00e9 dernier, nous sommes all\u00e9s \u00e0 la plage pr\u00e8s de Nice ; c\u2019\u00e9tait "
     u"tr\u00e8s agr\u00e9able et les enfants ont nag\u00e9 chaque matin."},
    {0,
     u"Die Br\u00fccke \u00fcber den Flu\u00df wurde im Fr\u00fchjahr f\u00fcr den Verkehr ge\u00f6ffnet, und die "
     u"B\u00fcrger freuten sich \u00fcber die k\u00fcrzeren Wege."},
    {48,
     u"L\u2019\u00e9t\u00e9 dernier, nous sommes all\u00e9s \u00e0 la plage pr\u00e8s de Nice ; c\u2019\u00e9tait "
     u"tr\u00e8s agr\u00e9able et les enfants ont nag\u00e9 chaque matin."},
    {28,
     u"Ontem \u00e0 noite passe\u00e1mos com os amigos pela praia; n\u00e3o havia ningu\u00e9m, e as "
     u"can\u00e7\u00f5es soavam \u00f3timas."},
    {16,
     u"Wczoraj wieczorem poszli\u015bmy z przyjaci\u00f3\u0142mi na spacer nad rzek\u0105, a p\u00f3\u017aniej "
     u"zjedli\u015bmy kolacj\u0119 w ma\u0142ej restauracji."},
    {1,
     u"V\u010dera ve\u010der jsme \u0161li s p\u0159\u00e1teli na proch\u00e1zku pod\u00e9l \u0159eky a potom jsme "
     u"pove\u010de\u0159eli v mal\u00e9 restauraci na n\u00e1m\u011bst\u00ed."},
    {23,
     u"Vakar vakare su draugais vaik\u0161\u010diojome pakrante, o v\u0117liau vakarieniavome ma\u017eame "
     u"restorane prie aik\u0161t\u0117s."},
    {20,
     u"D\u00fcn ak\u015fam arkada\u015flar\u0131m\u0131zla sahil boyunca y\u00fcr\u00fcd\u00fck, sonra "
     u"meydan\u0131n yak\u0131n\u0131ndaki k\u00fc\u00e7\u00fck bir lokantada yemek yedik."},
    {17,
     u"\u0412\u0447\u0435\u0440\u0430 \u0432\u0435\u0447\u0435\u0440\u043e\u043c \u043c\u044b \u0433\u0443\u043b"
     u"\u044f\u043b\u0438 \u0441 \u0434\u0440\u0443\u0437\u044c\u044f\u043c\u0438 \u043f\u043e \u043d\u0430\u0431"
     u"\u0435\u0440\u0435\u0436\u043d\u043e\u0439, \u0430 \u043f\u043e\u0442\u043e\u043c \u0443\u0436\u0438\u043d"
     u"\u0430\u043b\u0438 \u0432 \u043c\u0430\u043b\u0435\u043d\u044c\u043a\u043e\u043c \u0440\u0435\u0441\u0442"
     u"\u043e\u0440\u0430\u043d\u0435."},
    {50,
     u"\u0412\u0447\u0435\u0440\u0430 \u0432\u0435\u0447\u0435\u0440\u043e\u043c \u043c\u044b \u0433\u0443\u043b"
     u"\u044f\u043b\u0438 \u0441 \u0434\u0440\u0443\u0437\u044c\u044f\u043c\u0438 \u043f\u043e \u043d\u0430\u0431"
     u"\u0435\u0440\u0435\u0436\u043d\u043e\u0439, \u0430 \u043f\u043e\u0442\u043e\u043c \u0443\u0436\u0438\u043d"
     u"\u0430\u043b\u0438 \u0432 \u043c\u0430\u043b\u0435\u043d\u044c\u043a\u043e\u043c \u0440\u0435\u0441\u0442"
     u"\u043e\u0440\u0430\u043d\u0435."},
    {38,
     u"\u0412\u0447\u0435\u0440\u0430 \u0432\u0435\u0447\u0435\u0440\u043e\u043c \u043c\u044b \u0433\u0443\u043b"
     u"\u044f\u043b\u0438 \u0441 \u0434\u0440\u0443\u0437\u044c\u044f\u043c\u0438 \u043f\u043e \u043d\u0430\u0431"
     u"\u0435\u0440\u0435\u0436\u043d\u043e\u0439, \u0430 \u043f\u043e\u0442\u043e\u043c \u0443\u0436\u0438\u043d"
     u"\u0430\u043b\u0438 \u0432 \u043c\u0430\u043b\u0435\u043d\u044c\u043a\u043e\u043c \u0440\u0435\u0441\u0442"
     u"\u043e\u0440\u0430\u043d\u0435."},
    {51,
     u"\u0423\u0447\u043e\u0440\u0430 \u0432\u0432\u0435\u0447\u0435\u0440\u0456 \u043c\u0438 \u0433\u0443\u043b"
     u"\u044f\u043b\u0438 \u0437 \u0434\u0440\u0443\u0437\u044f\u043c\u0438 \u0432\u0437\u0434\u043e\u0432\u0436 "
     u"\u0440\u0456\u0447\u043a\u0438, \u0430 \u043f\u043e\u0442\u0456\u043c \u0432\u0435\u0447\u0435\u0440\u044f"
     u"\u043b\u0438 \u0432 \u043d\u0435\u0432\u0435\u043b\u0438\u043a\u043e\u043c\u0443 \u0440\u0435\u0441\u0442"
     u"\u043e\u0440\u0430\u043d\u0456 \u0431\u0456\u043b\u044f \u043f\u043b\u043e\u0449\u0456."},
    {6,
     u"\u03a7\u03b8\u03b5\u03c2 \u03c4\u03bf \u03b2\u03c1\u03ac\u03b4\u03c5 \u03c0\u03b5\u03c1\u03c0\u03b1\u03c4"
     u"\u03ae\u03c3\u03b1\u03bc\u03b5 \u03bc\u03b5 \u03c6\u03af\u03bb\u03bf\u03c5\u03c2 \u03b4\u03af\u03c0\u03bb"
     u"\u03b1 \u03c3\u03c4\u03b7 \u03b8\u03ac\u03bb\u03b1\u03c3\u03c3\u03b1 \u03ba\u03b1\u03b9 \u03bc\u03b5\u03c4"
     u"\u03ac \u03c6\u03ac\u03b3\u03b1\u03bc\u03b5 \u03c3\u03b5 \u03ad\u03bd\u03b1 \u03bc\u03b9\u03ba\u03c1\u03cc "
     u"\u03b5\u03c3\u03c4\u03b9\u03b1\u03c4\u03cc\u03c1\u03b9\u03bf."},
    {21,
     u"\u05d0\u05ea\u05de\u05d5\u05dc \u05d1\u05e2\u05e8\u05d1 \u05d8\u05d9\u05d9\u05dc\u05e0\u05d5 \u05e2\u05dd "
     u"\u05d7\u05d1\u05e8\u05d9\u05dd \u05dc\u05d0\u05d5\u05e8\u05da \u05d4\u05d7\u05d5\u05e3 \u05d5\u05d0\u05d7"
     u"\u05e8 \u05db\u05da \u05d0\u05db\u05dc\u05e0\u05d5 \u05d0\u05e8\u05d5\u05d7\u05ea \u05e2\u05e8\u05d1 \u05d1"
     u"\u05de\u05e1\u05e2\u05d3\u05d4 \u05e7\u05d8\u05e0\u05d4."},
    {22,
     u"\u0645\u0634\u064a\u0646\u0627 \u0623\u0645\u0633 \u0645\u0639 \u0623\u0635\u062f\u0642\u0627\u0626\u0646"
     u"\u0627 \u0639\u0644\u0649 \u0637\u0648\u0644 \u0627\u0644\u0634\u0627\u0637\u0626 \u062b\u0645 \u062a\u0646"
     u"\u0627\u0648\u0644\u0646\u0627 \u0627\u0644\u0639\u0634\u0627\u0621 \u0641\u064a \u0645\u0637\u0639\u0645 "
     u"\u0635\u063a\u064a\u0631."},
    {15,
     u"\u0e40\u0e21\u0e37\u0e48\u0e2d\u0e27\u0e32\u0e19\u0e15\u0e2d\u0e19\u0e40\u0e22\u0e47\u0e19\u0e40\u0e23\u0e32"
     u"\u0e40\u0e14\u0e34\u0e19\u0e40\u0e25\u0e48\u0e19\u0e01\u0e31\u0e1a\u0e40\u0e1e\u0e37\u0e48\u0e2d\u0e19\u0e23"
     u"\u0e34\u0e21\u0e0a\u0e32\u0e22\u0e2b\u0e32\u0e14 \u0e41\u0e25\u0e49\u0e27\u0e44\u0e1b\u0e01\u0e34\u0e19\u0e02"
     u"\u0e49\u0e32\u0e27\u0e17\u0e35\u0e48\u0e23\u0e49\u0e32\u0e19\u0e2d\u0e32\u0e2b\u0e32\u0e23"},
    // Windows-1258 writes Vietnamese tones as combining marks after the letter.
    {24,
     u"H\u00f4m qua chu\u0301ng t\u00f4i \u0111i da\u0323o v\u01a1\u0301i ba\u0323n be\u0300 tr\u00ean b\u01a1\u0300 "
     u"bi\u00ea\u0309n, r\u00f4\u0300i \u0103n t\u00f4\u0301i \u01a1\u0309 m\u00f4\u0323t nha\u0300 ha\u0300ng "
     u"nho\u0309."},
    {56,
     u"El a\u00f1o pasado viajamos a Espa\u00f1a y visitamos muchas ciudades; la comida era excelente y la gente "
     u"muy amable."},
};

TEST(CharsetGuess, ShortSamplesOfEachScriptReadAsTheirSet) {
  for (const Sample& s : kSamples) {
    const Bytes bytes = Encode(s.code, s.text);
    const CharsetGuess g = GuessCharset(bytes);
    ASSERT_EQ(g.kind, GuessKind::kCharset) << "code " << s.code;
    ASSERT_TRUE(IsSingleByteCode(g.code)) << "code " << s.code;
    EXPECT_EQ(Decode(g.code, bytes), Decode(s.code, bytes)) << "code " << s.code << " read as " << g.code;
    EXPECT_GE(g.confidence, kConfidentFrom) << "code " << s.code;
    EXPECT_NE(g.runnerUp, g.code);
  }
}

TEST(CharsetGuess, StructureRulesTablesInAndOut) {
  const std::u16string french(kSamples[0].text);
  // 0x81 is undefined in Windows-1252: whatever the letters say, the answer defines it.
  Bytes undefined = Encode(18, french);
  undefined.push_back(0x81);
  const CharsetGuess withUndefined = GuessCharset(undefined);
  ASSERT_EQ(withUndefined.kind, GuessKind::kCharset);
  EXPECT_NE(kMappingTables[withUndefined.code].units[0x81], kMappingUndefined);
  // The apostrophes 0x92 are C1 controls in ISO-8859-1: the answer reads them as apostrophes.
  const CharsetGuess quotes = GuessCharset(Encode(18, french));
  EXPECT_EQ(kMappingTables[quotes.code].units[0x92], u'\u2019');
  // A box drawn in DOS-437 around German words: a DOS table, reading the frame as lines.
  const std::u16string box =
      u"\u2554\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2557\n\u2551 Gr\u00fc\u00dfe aus "
      u"\u2551\n\u2551 K\u00f6ln    \u2551\n\u255a\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550\u2550"
      u"\u255d\n";
  const CharsetGuess dos = GuessCharset(Encode(25, box));
  ASSERT_EQ(dos.kind, GuessKind::kCharset);
  EXPECT_EQ(kMappingTables[dos.code].units[0xC9], u'\u2554') << "read as " << dos.code;
}

// Every answer for any bytes is a table that defines them all, with a confidence in range.
TEST(CharsetGuess, AnyBytesGetAConsistentAnswer) {
  std::uint32_t state = 7;
  for (const std::size_t size : {1u, 2u, 3u, 17u, 300u, 4096u, 70000u}) {
    Bytes bytes(size);
    for (std::uint8_t& b : bytes) {
      state = state * 1103515245u + 12345u;
      b = static_cast<std::uint8_t>(state >> 23);
    }
    const CharsetGuess g = GuessCharset(bytes);
    EXPECT_GE(g.confidence, 0);
    EXPECT_LE(g.confidence, 100);
    if (g.kind != GuessKind::kCharset || !IsSingleByteCode(g.code)) continue;
    for (std::size_t i = 0; i < std::min(size, kGuessSampleBytes); ++i) {
      ASSERT_NE(kMappingTables[g.code].units[bytes[i]], kMappingUndefined) << "size " << size;
    }
  }
}

TEST(CharsetGuess, SetsTheProgramCannotConvertAreRefused) {
  struct Case {
    const char* family;
    Bytes bytes;
  };
  const Case cases[] = {
      {"Shift_JIS",
       Raw("\x8D\xA1\x93\xFA\x82\xCD\x89\x4A\x82\xAA\x8D\x7E\x82\xC1\x82\xC4\x82\xA2\x82\xE9\x82\xCC\x82\xC5"
           "\x81\x41\x89\xC6\x82\xC5\x96\x7B\x82\xF0\x93\xC7\x82\xDD\x82\xC8\x82\xAA\x82\xE7\x82\xA8\x92\x83"
           "\x82\xF0\x88\xF9\x82\xF1\x82\xC5\x82\xA2\x82\xDC\x82\xB7\x81\x42")},
      {"EUC-JP",
       Raw("\xBA\xA3\xC6\xFC\xA4\xCF\xB1\xAB\xA4\xAC\xB9\xDF\xA4\xC3\xA4\xC6\xA4\xA4\xA4\xEB\xA4\xCE\xA4\xC7\xA1\xA2"
           "\xB2\xC8\xA4\xC7\xCB\xDC\xA4\xF2\xC6\xC9\xA4\xDF\xA4\xCA\xA4\xAC\xA4\xE9\xA4\xAA\xC3\xE3\xA4\xF2\xB0\xFB"
           "\xA4\xF3\xA4\xC7\xA4\xA4\xA4\xDE\xA4\xB9\xA1\xA3")},
      {"ISO-2022-JP", Raw("\x1B\x24\x42\x3A\x23\x46\x7C\x24\x4F\x31\x2B\x24\x2C\x39\x5F\x24\x43\x24\x46\x24\x24\x24\x6B"
                          "\x24\x4E\x24\x47\x21\x22\x32\x48\x24\x47\x4B\x5C\x24\x72\x1B\x28\x42")},
      {"GB18030",
       Raw("\xBD\xF1\xCC\xEC\xCF\xC2\xD3\xEA\xC1\xCB\xA3\xAC\xCB\xF9\xD2\xD4\xCE\xD2\xD4\xDA\xBC\xD2\xC0\xEF\xD2"
           "\xBB\xB1\xDF\xBF\xB4\xCA\xE9\xD2\xBB\xB1\xDF\xBA\xC8\xB2\xE8\xA1\xA3")},
      {"Big5",
       Raw("\xA4\xB5\xA4\xD1\xA4\x55\xAB\x42\xA4\x46\xA1\x41\xA9\xD2\xA5\x48\xA7\xDA\xA6\x62\xAE\x61\xB8\xCC\xA4\x40"
           "\xC3\xE4\xAC\xDD\xAE\xD1\xA4\x40\xC3\xE4\xB3\xDC\xAF\xF9\xA1\x43")},
      {"EUC-KR",
       Raw("\xBF\xC0\xB4\xC3\xC0\xBA\x20\xBA\xF1\xB0\xA1\x20\xBF\xCD\xBC\xAD\x20\xC1\xFD\xBF\xA1\xBC\xAD\x20\xC3\xA5"
           "\xC0\xBB\x20\xC0\xD0\xC0\xB8\xB8\xE9\xBC\xAD\x20\xC2\xF7\xB8\xA6\x20\xB8\xB6\xBD\xC3\xB0\xED\x2E")},
      {"ISO-2022-KR", Raw("\x1B\x24\x29\x43\x0E\x3F\x40\x34\x43\x40\x3A\x0F\x20\x0E\x3A\x71\x30\x21\x0F\x20\x0E\x3F\x4D"
                          "\x3C\x2D\x0F\x2E")},
      {"UTF-32LE", Raw(std::string_view("\xFF\xFE\0\0h\0\0\0i\0\0\0", 12))},
      {"UTF-32BE", Raw(std::string_view("\0\0\0T\0\0\0e\0\0\0x\0\0\0t\0\0\0\xE9", 20))},
  };
  for (const Case& c : cases) {
    const CharsetGuess g = GuessCharset(c.bytes);
    EXPECT_EQ(g.kind, GuessKind::kUnconvertible) << c.family;
    EXPECT_STREQ(g.family != nullptr ? g.family : "", c.family);
  }
}

TEST(CharsetGuess, StructureCountsAlikeInAnyPieces) {
  // Plain ASCII is taken in a word at a time: escapes, shifts, zeros and high bytes on every
  // side of it, at every offset, must count as they do byte by byte.
  const std::string ascii = "Plain words of text run on for a while, then ";
  const std::string specials[] = {"\x1B\x24\x42\x3A\x23\x1B\x28\x42",
                                  "\x0E\x3F\x40\x0F",
                                  std::string("h\0i\0", 4),
                                  "\xBA\xA3\xC6\xFC",
                                  "\x8D\xA1\x82\xCD",
                                  "\x1B\x24\x42",
                                  "\x8D\xA1\x82"};
  const std::string prefixes[] = {"", std::string("\xFF\xFE\0\0h\0\0\0", 8), std::string("\0\0\0T", 4)};
  for (const std::string& prefix : prefixes) {
    for (const std::string& special : specials) {
      for (std::size_t offset = 0; offset < 8; ++offset) {
        const Bytes text = Raw(prefix + ascii.substr(0, offset) + special + ascii + special + ascii.substr(offset));
        CMultiByteStructure byByte;
        for (const std::uint8_t& b : text) byByte.Add(&b, 1);
        for (std::size_t cut = 0; cut < text.size(); ++cut) {
          CMultiByteStructure twoPieces;
          twoPieces.Add(text.data(), cut);
          twoPieces.Add(text.data() + cut, text.size() - cut);
          EXPECT_TRUE(twoPieces == byByte) << "prefix " << prefix.size() << ", special " << special.size()
                                           << ", offset " << offset << ", cut at " << cut;
        }
      }
    }
  }
}

TEST(CharsetGuess, TablesThatReadTheSampleAlikeGiveTheCommonSet) {
  // é and è are the same bytes in ISO-8859-1, -15, Windows-1252 and more: the answer is the
  // rules' own fallback, and the runner-up reads the bytes otherwise.
  const Bytes bytes = Raw("Le caf\xE9 cr\xE8me du matin est pr\xEAt, et la cr\xE8me br\xFBl\xE9\x65 aussi.");
  const CharsetGuess g = GuessCharset(bytes);
  ASSERT_EQ(g.kind, GuessKind::kCharset);
  EXPECT_EQ(g.code, 0);
  ASSERT_TRUE(IsSingleByteCode(g.runnerUp));
  EXPECT_NE(Decode(g.runnerUp, bytes), Decode(0, bytes));
}

TEST(CharsetGuess, NothingToJudgeByGivesNoAnswerAndLittleEvidenceLittleConfidence) {
  EXPECT_EQ(GuessCharset({}).kind, GuessKind::kNoAnswer);
  EXPECT_EQ(GuessCharset(Raw("Plain ASCII, even with \x1B[1mterminal codes\x1B[0m.")).kind, GuessKind::kNoAnswer);
  // One byte read as the currency sign by ISO-8859-1 and as the euro by ISO-8859-15: either
  // reads well, and the answer says it is unsure.
  const CharsetGuess lone = GuessCharset(Raw("The price is 12\xA4 for the list"));
  EXPECT_LT(lone.confidence, 90) << "answered " << lone.code;
  ASSERT_TRUE(IsSingleByteCode(lone.runnerUp));
  EXPECT_NE(kMappingTables[lone.code].units[0xA4], kMappingTables[lone.runnerUp].units[0xA4]);
  // Below the threshold the caller keeps the rules' fallback; well above it for a real text.
  const Bytes long_text = Encode(16, std::u16string(kSamples[4].text) + u" " + std::u16string(kSamples[4].text));
  EXPECT_GE(GuessCharset(long_text).confidence, 90);
  // A few Latin-1 words pair up as CJK characters in UTF-16BE: an odd length rules it out, an
  // even one leaves too little evidence to be sure.
  for (const char* latin : {"caf\xE9 cr\xE8me br\xFBl\xE9"
                            "e\r\n",
                            "caf\xE9 cr\xE8me br\xFBl\xE9"
                            "e\n"}) {
    const CharsetGuess guess = GuessCharset(Raw(latin));
    EXPECT_FALSE(guess.kind == GuessKind::kCharset && !IsSingleByteCode(guess.code) &&
                 guess.confidence >= kConfidentFrom)
        << latin << ": " << guess.code << " at " << guess.confidence;
  }
}

TEST(CharsetGuess, PiecesReadAsOneTextUpToTheSampleSize) {
  Bytes text;
  while (text.size() < kGuessSampleBytes + 100) {
    const Bytes s = Encode(17, kSamples[8].text);
    text.insert(text.end(), s.begin(), s.end());
  }
  const CharsetGuess whole = GuessCharset(text);
  const auto pieces = std::make_unique<CCharsetGuesser>();
  bool more = true;
  for (std::size_t at = 0; at < text.size() && more; at += 777) {
    more = pieces->Add(std::span(text).subspan(at, std::min<std::size_t>(777, text.size() - at)));
  }
  EXPECT_FALSE(more) << "the sample is full after 64 KiB";
  const CharsetGuess split = pieces->Finish();
  EXPECT_EQ(split.code, whole.code);
  EXPECT_EQ(split.confidence, whole.confidence);
  EXPECT_EQ(split.runnerUp, whole.runnerUp);
}

}  // namespace
}  // namespace glyphshift::engine
