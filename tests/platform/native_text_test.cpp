#include "platform/native_text.h"

#include <gtest/gtest.h>

#include <string>

namespace glyphshift::platform {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

TEST(NativeText, WellFormedTextConvertsBothWays) {
  // One case per sequence length, the first and last of each, and a surrogate pair.
  const std::u16string wide = u"A\u007F\u0080\u00E9\u07FF\u0800\u0416\uFFFD\uFFFF\U00010000\U0001F600\U0010FFFF";
  const std::string utf8 =
      Bytes({0x41, 0x7F, 0xC2, 0x80, 0xC3, 0xA9, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xD0, 0x96, 0xEF, 0xBF, 0xBD,
             0xEF, 0xBF, 0xBF, 0xF0, 0x90, 0x80, 0x80, 0xF0, 0x9F, 0x98, 0x80, 0xF4, 0x8F, 0xBF, 0xBF});
  EXPECT_EQ(ToNative(wide), utf8);
  EXPECT_EQ(FromNative(utf8), wide);
  EXPECT_EQ(ToNative(u""), "");
  EXPECT_EQ(FromNative(std::string(1, '\0')), std::u16string(1, u'\0'));
}

// Each ill-formed input escapes byte by byte and comes back unchanged.
TEST(NativeText, InvalidBytesTravelAsEscapesAndComeBack) {
  struct Case {
    const char* what;
    std::string bytes;
    std::u16string wide;
  };
  const Case cases[] = {
      {"lone continuation", Bytes({0x80}), u"\xDC80"},
      {"Latin-1 name", Bytes({'c', 0xE9, '.', 't'}), u"c\xDCE9.t"},
      {"overlong slash", Bytes({0xC0, 0xAF}), u"\xDCC0\xDCAF"},
      {"overlong three-byte", Bytes({0xE0, 0x80, 0xAF}), u"\xDCE0\xDC80\xDCAF"},
      {"encoded surrogate", Bytes({0xED, 0xA0, 0x80}), u"\xDCED\xDCA0\xDC80"},
      {"above U+10FFFF", Bytes({0xF4, 0x90, 0x80, 0x80}), u"\xDCF4\xDC90\xDC80\xDC80"},
      {"truncated at end", Bytes({'a', 0xE2, 0x82}), u"a\xDCE2\xDC82"},
      {"truncated before ASCII", Bytes({0xE2, 0x82, 'x'}), u"\xDCE2\xDC82x"},
      {"valid after invalid", Bytes({0xFF, 0xC3, 0xA9}), u"\xDCFF\u00E9"},
      {"invalid lead bytes", Bytes({0xC1, 0xF5, 0xFE}), u"\xDCC1\xDCF5\xDCFE"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FromNative(c.bytes), c.wide) << c.what;
    EXPECT_EQ(ToNative(c.wide), c.bytes) << c.what;
  }
}

TEST(NativeText, EveryTwoByteStringSurvivesTheRoundTrip) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string s = Bytes({a, b, 0xF0});  // the trailing lead byte is always cut short
      ASSERT_EQ(ToNative(FromNative(s)), s) << a << " " << b;
    }
  }
}

TEST(NativeText, EscapesNextToRealSurrogatePairsStayApart) {
  // A real pair followed by an escaped byte, and an escaped byte followed by a real pair.
  const std::string s = Bytes({0xF0, 0x9F, 0x98, 0x80, 0xB0, 0x80, 0xF0, 0x9F, 0x98, 0x80});
  EXPECT_EQ(FromNative(s), u"\U0001F600\xDCB0\xDC80\U0001F600");
  EXPECT_EQ(ToNative(FromNative(s)), s);
}

TEST(NativeText, LoneSurrogatesOutsideTheEscapesBecomeReplacementCharacters) {
  const std::string replacement = Bytes({0xEF, 0xBF, 0xBD});
  EXPECT_EQ(ToNative(u"\xD800"), replacement);         // high surrogate at the end
  EXPECT_EQ(ToNative(u"\xDBFFx"), replacement + "x");  // high surrogate before a non-surrogate
  EXPECT_EQ(ToNative(u"\xDC00\xDC7F\xDD00\xDFFF"), replacement + replacement + replacement + replacement);
  EXPECT_EQ(ToNative(u"\xD800\xD800\xDC00"), replacement + Bytes({0xF0, 0x90, 0x80, 0x80}));
}

}  // namespace
}  // namespace glyphshift::platform
