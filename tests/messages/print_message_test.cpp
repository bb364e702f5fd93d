#include "messages/print_message.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

namespace glyphshift {
namespace {

using Kind = FormatArg::Kind;

// The kind FormatArg gives a value at run time.
template <class T>
Kind RuntimeKind(const T& value) {
  return FormatArg(value).ArgKind();
}

TEST(FormatText, StringsWideAndNarrow) {
  const std::u16string owned = u"owned";
  EXPECT_EQ(FormatText(u"[%s|%s|%s]", {u"literal", owned, std::u16string_view(u"view")}), u"[literal|owned|view]");
  // A narrow string is native text: UTF-8 is decoded, not widened byte by byte.
  EXPECT_EQ(FormatText(u"%S.%S:%d", {"security.cpp", "caf\xC3\xA9", 42}), u"security.cpp.caf\u00E9:42");
  EXPECT_EQ(FormatText(u"<%s><%S>", {static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)}),
            u"<><>");
  // A percent sign inside an argument is text, not a specifier.
  EXPECT_EQ(FormatText(u"%s", {u"100%d"}), u"100%d");
  EXPECT_EQ(FormatText(u"%s%s", {u"", u"\xDCE9"}), u"\xDCE9");  // escaped bytes pass unchanged
}

// A name is printed with what could forge a line or drive a terminal escaped; the format's own
// text, a plain wide argument and every other character of the name stay as they are.
TEST(FormatText, NamesAreEscapedAndNothingElseIs) {
  const struct {
    std::u16string_view name;
    std::u16string_view printed;
  } cases[] = {
      {u"plain.txt", u"plain.txt"},
      {u"caf\u00E9 \u65E5\u672C.txt", u"caf\u00E9 \u65E5\u672C.txt"},  // non-ASCII text prints as it is
      {u"\U0001F600", u"\U0001F600"},                                  // a pair of surrogates is one character
      {u"a\n0 file(s) failed to convert\n", u"a\\n0 file(s) failed to convert\\n"},
      {u"\r\t", u"\\r\\t"},
      {u"\x1B[2J\x07\x7F", u"\\x1b[2J\\x07\\x7f"},
      {std::u16string_view(u"nul\0", 4), u"nul\\x00"},
      {u"\u0085\u009B31m", u"\\u0085\\u009b31m"},  // C1 controls: NEL, CSI
      {u"x\u2028y\u2029", u"x\\u2028y\\u2029"},
      {u"txt.\u202Eexe\u2066", u"txt.\\u202eexe\\u2066"},  // bidirectional controls
      {u"\xDCFF\xDC80", u"\\xff\\x80"},                    // bytes that are no UTF-8
      {u"\xD800x\xDFFF", u"\\ud800x\\udfff"},              // other lone surrogates
      {u"back\\slash %d", u"back\\slash %d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatText(u"[%s]\n", {PrintedName(c.name)}), u"[" + std::u16string(c.printed) + u"]\n");
  }
  EXPECT_EQ(FormatText(u"%s|%s", {u"a\nb", PrintedName(u"a\nb")}), u"a\nb|a\\nb");
  EXPECT_EQ(format_detail::kKindOf<PrintedName>, RuntimeKind(PrintedName(u"n")));
}

TEST(FormatText, Decimals) {
  EXPECT_EQ(FormatText(u"%d %d %d", {0, -1, 123456}), u"0 -1 123456");
  EXPECT_EQ(FormatText(u"%d %d", {INT32_MIN, INT32_MAX}), u"-2147483648 2147483647");
  // An unsigned argument is read as the signed 32-bit value it stands for, as printf does.
  EXPECT_EQ(FormatText(u"%d", {std::uint32_t{0xFFFFFFFF}}), u"-1");
}

TEST(FormatText, ZeroPaddedTwoDigitsAreAMinimum) {
  EXPECT_EQ(FormatText(u"[%02d-%02d-%02d %02d:%02d:%02d]", {2024, 3, 9, 0, 59, 7}), u"[2024-03-09 00:59:07]");
  EXPECT_EQ(FormatText(u"%02d|%02d|%02d", {-5, -10, 100}), u"-5|-10|100");  // the sign takes a place
}

TEST(FormatText, SixtyFourBitDecimals) {
  EXPECT_EQ(FormatText(u"%I64d Bytes", {std::int64_t{5'000'000'000}}), u"5000000000 Bytes");
  EXPECT_EQ(FormatText(u"%I64d %I64d", {std::int64_t{INT64_MIN}, std::int64_t{INT64_MAX}}),
            u"-9223372036854775808 9223372036854775807");
  EXPECT_EQ(FormatText(u"%I64d", {std::int64_t{-42}}), u"-42");
}

TEST(FormatText, HexadecimalForms) {
  EXPECT_EQ(FormatText(u"%04X%04X", {0x407, 0x4B0}), u"040704B0");
  EXPECT_EQ(FormatText(u"%04x|%04X", {0xabcdef, 0xabcdef}), u"abcdef|ABCDEF");  // four is a minimum
  EXPECT_EQ(FormatText(u"%04x %04X", {0, -1}), u"0000 FFFFFFFF");               // the 32-bit pattern
  EXPECT_EQ(FormatText(u"%#x %#x %#x", {0, 1, 0x1F01FF}), u"0 0x1 0x1f01ff");
  EXPECT_EQ(FormatText(u"%#x", {std::uint32_t{0x80000000}}), u"0x80000000");
}

TEST(FormatText, PercentSignsAndPlainText) {
  EXPECT_EQ(FormatText(u"100%% done%%", {}), u"100% done%");
  EXPECT_EQ(FormatText(u"%%d", {}), u"%d");
  EXPECT_EQ(FormatText(u"", {}), u"");
  EXPECT_EQ(FormatText(u"no specifiers\n", {}), u"no specifiers\n");
}

// A runtime format that does not fit its arguments prints "<?>" where it fails and keeps the
// rest in place; debug builds stop at once so the mistake is found.
void ExpectMismatch(std::u16string_view format, std::initializer_list<FormatArg> args, std::u16string_view expected) {
  std::u16string result;
  EXPECT_DEBUG_DEATH(result = FormatText(format, args), "format does not match");
#ifdef NDEBUG
  EXPECT_EQ(result, expected);
#else
  (void)expected;
#endif
}

TEST(FormatTextDeathTest, MismatchesPrintPlaceholderAndAssertInDebug) {
  ExpectMismatch(u"%d and %d", {7}, u"7 and <?>");   // missing argument
  ExpectMismatch(u"%s|%d", {1, 2}, u"<?>|2");        // wrong kind, next still in place
  ExpectMismatch(u"%d", {std::int64_t{1}}, u"<?>");  // 64-bit where 32 is read
  ExpectMismatch(u"%I64d", {1}, u"<?>");             // 32-bit where 64 is read
  ExpectMismatch(u"%S", {u"wide"}, u"<?>");          // wide where narrow is read
  ExpectMismatch(u"%u|%d", {3}, u"<?>u|3");          // not one of ours: takes nothing
  ExpectMismatch(u"%5d", {3}, u"<?>5d");
  ExpectMismatch(u"trailing %", {}, u"trailing <?>");
  ExpectMismatch(u"%d", {1, 2}, u"1");  // argument left over
}

// The compile-time check learns an argument's kind from declarations that must pick the same
// FormatArg constructor; a constructor added without its twin shows up here.

TEST(CheckedFormat, CompileTimeKindsAgreeWithFormatArg) {
  const std::u16string wide = u"w";
  const std::string narrow = "n";
  const char16_t* widePtr = u"w";
  const char* narrowPtr = "n";
  EXPECT_EQ(format_detail::kKindOf<std::u16string>, RuntimeKind(wide));
  EXPECT_EQ(format_detail::kKindOf<std::u16string_view>, RuntimeKind(std::u16string_view(wide)));
  EXPECT_EQ(format_detail::kKindOf<const char16_t*>, RuntimeKind(widePtr));
  EXPECT_EQ(format_detail::kKindOf<char16_t[2]>, RuntimeKind(u"w"));
  EXPECT_EQ(format_detail::kKindOf<std::string>, RuntimeKind(narrow));
  EXPECT_EQ(format_detail::kKindOf<const char*>, RuntimeKind(narrowPtr));
  EXPECT_EQ(format_detail::kKindOf<char[2]>, RuntimeKind("n"));
  EXPECT_EQ(format_detail::kKindOf<int>, RuntimeKind(1));
  EXPECT_EQ(format_detail::kKindOf<unsigned>, RuntimeKind(1u));
  EXPECT_EQ(format_detail::kKindOf<std::int64_t>, RuntimeKind(std::int64_t{1}));
  EXPECT_EQ(format_detail::kKindOf<bool>, RuntimeKind(true));
  EXPECT_EQ(format_detail::kKindOf<char16_t>, RuntimeKind(u'x'));
}

TEST(CheckedFormat, FitsJudgesCountKindAndUnknownSpecifiers) {
  using format_detail::FormatFits;
  constexpr std::array<Kind, 0> none{};
  static_assert(FormatFits(u"%S.%S:%d - %s", std::array{Kind::Narrow, Kind::Narrow, Kind::Int32, Kind::Wide}));
  static_assert(FormatFits(u"100%% %I64d %04X%04x %#x %02d",
                           std::array{Kind::Int64, Kind::Int32, Kind::Int32, Kind::Int32, Kind::Int32}));
  static_assert(FormatFits(u"plain", none));
  static_assert(!FormatFits(u"%d %d", std::array{Kind::Int32}));
  static_assert(!FormatFits(u"%d", std::array{Kind::Int32, Kind::Int32}));
  static_assert(!FormatFits(u"%d", std::array{Kind::Int64}));
  static_assert(!FormatFits(u"%s", std::array{Kind::Narrow}));
  static_assert(!FormatFits(u"%x", std::array{Kind::Int32}));
  static_assert(!FormatFits(u"%", none));
}

TEST(CheckedFormat, RuntimeFormatsAreTakenAsGiven) {
  const std::u16string chosen = u"%s@%s";
  const CheckedFormat<std::u16string, std::u16string> format(chosen);
  EXPECT_EQ(format.Text(), chosen);
  EXPECT_EQ(FormatText(format.Text(), {u"user", u"host"}), u"user@host");
}

}  // namespace
}  // namespace glyphshift
