#include "convert/markup_declarations.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "convert/working_text_builder.h"
#include "engine/allocation.h"

namespace glyphshift {
namespace {

using testing_support::MakeWorkingText;
using testing_support::TextOf;

struct AllocationFailureGuard {
  explicit AllocationFailureGuard(int successes) { engine::SetAllocationFailureForTesting(successes); }
  ~AllocationFailureGuard() { engine::SetAllocationFailureForTesting(-1); }
};

enum Kinds { kXml = 1, kHtml = 2, kBoth = 3 };

std::u16string Rewrite(std::u16string_view input, Kinds kinds, std::u16string_view name = u"utf-8") {
  WorkingText text = MakeWorkingText(input);
  EXPECT_EQ(RewriteCharsetDeclarations(text, name, (kinds & kXml) != 0, (kinds & kHtml) != 0), EditResult::Ok);
  EXPECT_EQ(text.Text()[text.UnitCount()], u'\0') << "terminator after the text";
  return TextOf(text);
}

// --- ReplaceTextRange ------------------------------------------------------------------------

TEST(ReplaceTextRange, ReplacesTheRangeIntoAnExactNewBlock) {
  WorkingText text = MakeWorkingText(u"abcdef");
  const char16_t* old = text.buffer.get();
  ASSERT_EQ(ReplaceTextRange(text, 2, 4, u"XYZ"), EditResult::Ok);
  EXPECT_EQ(TextOf(text), u"abXYZef");
  EXPECT_EQ(text.byteLength, 14u);
  EXPECT_NE(text.buffer.get(), old);
  EXPECT_EQ(text.Text()[7], u'\0');

  ASSERT_EQ(ReplaceTextRange(text, 0, 7, u""), EditResult::Ok);
  EXPECT_EQ(text.byteLength, 0u);
  EXPECT_EQ(text.Text()[0], u'\0');
}

TEST(ReplaceTextRange, CopiesTheRestByLengthPastAnInnerZero) {
  const std::u16string input(u"ab\0cd", 5);
  WorkingText text = MakeWorkingText(input);
  ASSERT_EQ(ReplaceTextRange(text, 0, 1, u"ZZ"), EditResult::Ok);
  EXPECT_EQ(TextOf(text), std::u16string(u"ZZb\0cd", 6));
}

TEST(ReplaceTextRange, DropsUnitsBeforeStart) {
  WorkingText text = MakeWorkingText(u"abc", u"\uFEFF");
  ASSERT_EQ(ReplaceTextRange(text, 1, 2, u"-"), EditResult::Ok);
  EXPECT_EQ(text.start, 0u);
  EXPECT_EQ(TextOf(text), u"a-c");
  EXPECT_EQ(text.buffer[0], u'a');
}

TEST(ReplaceTextRange, KeepsTheZeroOddByteOfAnOddLengthText) {
  WorkingText text = MakeWorkingText(u"ab");
  text.byteLength = 5;  // "ab" and half a unit, which the terminator's low byte provides
  ASSERT_EQ(ReplaceTextRange(text, 0, 1, u"xyz"), EditResult::Ok);
  EXPECT_EQ(text.byteLength, 9u);
  EXPECT_EQ(TextOf(text), u"xyzb");
  EXPECT_EQ(text.Text()[4], u'\0');
}

TEST(ReplaceTextRange, OutOfMemoryLeavesTheTextAsItWas) {
  WorkingText text = MakeWorkingText(u"abc");
  const char16_t* old = text.buffer.get();
  AllocationFailureGuard failNext(0);
  EXPECT_EQ(ReplaceTextRange(text, 0, 1, u"z"), EditResult::OutOfMemory);
  EXPECT_EQ(text.buffer.get(), old);
  EXPECT_EQ(TextOf(text), u"abc");
}

// --- Name characters -------------------------------------------------------------------------

TEST(MarkupNameCharacter, LettersAndDigitsOfEveryScriptAndUnderscore) {
  for (char16_t c : {u'a', u'Z', u'7', u'_', u'\u00E9', u'\u0416', u'\u4E2D', u'\u0663', u'\uFF10'}) {
    EXPECT_TRUE(IsMarkupNameCharacter(c)) << std::hex << static_cast<int>(c);
  }
  for (char16_t c : {u'-', u'.', u':', u' ', u'\u00A0', u'\u2014', char16_t{0xD800}, u'\uFEFF', u'\0'}) {
    EXPECT_FALSE(IsMarkupNameCharacter(c)) << std::hex << static_cast<int>(c);
  }
}

TEST(RewriteCharsetDeclarations, ALetterBeyondAsciiStartsTheTagName) {
  // Tag names start at the first name character: a non-ASCII letter makes "ßxml", no match;
  // a dash is no name character, so the name is "xml".
  EXPECT_EQ(Rewrite(u"<?\u00DFxml encoding=\"a\"?>", kXml), u"<?\u00DFxml encoding=\"a\"?>");
  EXPECT_EQ(Rewrite(u"<?\u2014xml encoding=\"a\"?>", kXml), u"<?\u2014xml encoding=\"utf-8\"?>");
}

// --- XML declarations ------------------------------------------------------------------------

TEST(RewriteCharsetDeclarations, XmlEncodingValueIsReplacedAndNothingElse) {
  EXPECT_EQ(Rewrite(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r a=\"1\"/>", kXml),
            u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r a=\"1\"/>");
  EXPECT_EQ(Rewrite(u"<?xml version='1.0' encoding='ISO-8859-1'?>", kXml), u"<?xml version='1.0' encoding='utf-8'?>");
  EXPECT_EQ(Rewrite(u"<?XML Version=\"1.0\" ENCODING=\"x\"?>", kXml), u"<?XML Version=\"1.0\" ENCODING=\"utf-8\"?>");
}

TEST(RewriteCharsetDeclarations, XmlValueForms) {
  EXPECT_EQ(Rewrite(u"<?xml encoding \t= \"latin1\"?>", kXml), u"<?xml encoding \t= \"utf-8\"?>");
  EXPECT_EQ(Rewrite(u"<?xml encoding=latin1 ?>", kXml), u"<?xml encoding=latin1 ?>");
  EXPECT_EQ(Rewrite(u"<?xml encoding=\"\"?>", kXml), u"<?xml encoding=\"utf-8\"?>");
  // A value ends at the next quote of either kind.
  EXPECT_EQ(Rewrite(u"<?xml encoding=\"ab'cd\"?>", kXml), u"<?xml encoding=\"utf-8'cd\"?>");
}

TEST(RewriteCharsetDeclarations, NamesMatchAsPrefixesOfTheKeywordOnly) {
  EXPECT_EQ(Rewrite(u"<?xm enc=\"a\"?>", kXml), u"<?xm enc=\"utf-8\"?>");
  EXPECT_EQ(Rewrite(u"<?xmlx encoding=\"a\"?>", kXml), u"<?xmlx encoding=\"a\"?>");
  EXPECT_EQ(Rewrite(u"<?xml encodings=\"a\"?>", kXml), u"<?xml encodings=\"a\"?>");
  // A start tag named xml counts like the processing instruction.
  EXPECT_EQ(Rewrite(u"<xml encoding=\"a\">", kXml), u"<xml encoding=\"utf-8\">");
}

TEST(RewriteCharsetDeclarations, OnlyTheListedWhitespaceEndsATagName) {
  // Vertical tab ends the name; form feed does not, so the tag is named "xml\fencoding".
  EXPECT_EQ(Rewrite(u"<?xml\vencoding=\"a\"?>", kXml), u"<?xml\vencoding=\"utf-8\"?>");
  EXPECT_EQ(Rewrite(u"<?xml\fencoding=\"a\"?>", kXml), u"<?xml\fencoding=\"a\"?>");
}

TEST(RewriteCharsetDeclarations, ProcessingInstructionEndsOnlyAtQuestionMarkAngle) {
  EXPECT_EQ(Rewrite(u"<?xml version=\"1\" > encoding=\"a\"?>", kXml), u"<?xml version=\"1\" > encoding=\"utf-8\"?>");
  // A start tag ends at any ">", even inside a value, and outside tags nothing is collected.
  EXPECT_EQ(Rewrite(u"<xml a=\"1>\" encoding=\"a\">", kXml), u"<xml a=\"1>\" encoding=\"a\">");
}

TEST(RewriteCharsetDeclarations, DeclarationInsideACommentIsFound) {
  EXPECT_EQ(Rewrite(u"<!-- <?xml encoding=\"a\"?> -->", kXml), u"<!-- <?xml encoding=\"utf-8\"?> -->");
}

TEST(RewriteCharsetDeclarations, EndTagsAndMarkupDeclarationsCollectNothing) {
  EXPECT_EQ(Rewrite(u"</xml encoding=\"a\">", kXml), u"</xml encoding=\"a\">");
  EXPECT_EQ(Rewrite(u"<!xml encoding=\"a\">", kXml), u"<!xml encoding=\"a\">");
}

TEST(RewriteCharsetDeclarations, XmlOnlyStopsAfterTheFirstDeclaration) {
  EXPECT_EQ(Rewrite(u"<?xml encoding=\"a\"?><?xml encoding=\"b\"?>", kXml),
            u"<?xml encoding=\"utf-8\"?><?xml encoding=\"b\"?>");
}

// --- HTML meta tags --------------------------------------------------------------------------

TEST(RewriteCharsetDeclarations, MetaContentCharsetIsReplacedUpToTheQuote) {
  EXPECT_EQ(Rewrite(u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">", kHtml),
            u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">");
  EXPECT_EQ(Rewrite(u"<META HTTP-EQUIV='Content-Type' CONTENT='text/html; ChArSeT=x; q=1'>", kHtml),
            u"<META HTTP-EQUIV='Content-Type' CONTENT='text/html; ChArSeT=utf-8'>");
  EXPECT_EQ(Rewrite(u"<meta http-equiv=\"a\" content=\"text/plain\">", kHtml),
            u"<meta http-equiv=\"a\" content=\"text/plain\">");
}

TEST(RewriteCharsetDeclarations, ContentIsSearchedOnlyOnceAnyMetaShowedHttpEquiv) {
  EXPECT_EQ(Rewrite(u"<meta content=\"charset=a\" http-equiv=\"x\">", kHtml),
            u"<meta content=\"charset=a\" http-equiv=\"x\">");
  EXPECT_EQ(Rewrite(u"<meta http-equiv=\"refresh\" content=\"5\"><p>\n<meta content=\"charset=a\">", kHtml),
            u"<meta http-equiv=\"refresh\" content=\"5\"><p>\n<meta content=\"charset=utf-8\">");
  // An http-equiv whose value never closes is not seen.
  EXPECT_EQ(Rewrite(u"<meta http-equiv=\"a>b\" content=\"charset=a\"><meta content=\"charset=b\">", kHtml),
            u"<meta http-equiv=\"a>b\" content=\"charset=a\"><meta content=\"charset=b\">");
}

TEST(RewriteCharsetDeclarations, MetaCharsetAttributeIsNotRewritten) {
  EXPECT_EQ(Rewrite(u"<meta http-equiv=\"x\"><meta charset=\"windows-1252\">", kHtml),
            u"<meta http-equiv=\"x\"><meta charset=\"windows-1252\">");
}

TEST(RewriteCharsetDeclarations, CommentsHideTagsUntilDashDashAngle) {
  const std::u16string meta = u"<meta http-equiv=\"h\" content=\"charset=a\">";
  EXPECT_EQ(Rewrite(u"<!-- a > " + meta + u" -->", kHtml), u"<!-- a > " + meta + u" -->");
  EXPECT_EQ(Rewrite(u"<!-- a --><!DOCTYPE html>" + meta, kHtml),
            u"<!-- a --><!DOCTYPE html><meta http-equiv=\"h\" content=\"charset=utf-8\">");
}

TEST(RewriteCharsetDeclarations, HtmlOnlyIgnoresXmlAndStopsAfterTheFirstMeta) {
  EXPECT_EQ(Rewrite(u"<?xml encoding=\"a\"?><meta http-equiv=\"h\" content=\"charset=b\">"
                    u"<meta content=\"charset=c\">",
                    kHtml),
            u"<?xml encoding=\"a\"?><meta http-equiv=\"h\" content=\"charset=utf-8\">"
            u"<meta content=\"charset=c\">");
}

// --- Both kinds, offsets after replacements --------------------------------------------------

TEST(RewriteCharsetDeclarations, BothKindsRewriteEveryXmlUntilAMetaIsDone) {
  EXPECT_EQ(Rewrite(u"<?xml encoding=\"a\"?><?xml encoding=\"bb\"?>"
                    u"<meta http-equiv=\"h\" content=\"t; charset=c\"><?xml encoding=\"d\"?>",
                    kBoth, u"windows-1252"),
            u"<?xml encoding=\"windows-1252\"?><?xml encoding=\"windows-1252\"?>"
            u"<meta http-equiv=\"h\" content=\"t; charset=windows-1252\"><?xml encoding=\"d\"?>");
  // A shorter name: the scan goes on from the new closing quote, not from the old offset.
  EXPECT_EQ(Rewrite(u"<?xml encoding=\"iso-8859-15\" standalone=\"yes\"?><meta http-equiv=\"h\" content=\"charset=x\">",
                    kBoth, u"a"),
            u"<?xml encoding=\"a\" standalone=\"yes\"?><meta http-equiv=\"h\" content=\"charset=a\">");
}

TEST(RewriteCharsetDeclarations, AnInnerZeroEndsTheScanButTheRestSurvives) {
  const std::u16string input = std::u16string(u"<?xml encoding=\"a\"?>x") + u'\0' + u"<?xml encoding=\"b\"?>";
  const std::u16string expected = std::u16string(u"<?xml encoding=\"utf-8\"?>x") + u'\0' + u"<?xml encoding=\"b\"?>";
  EXPECT_EQ(Rewrite(input, kBoth), expected);
  const std::u16string late = std::u16string(u"x") + u'\0' + u"<?xml encoding=\"b\"?>";
  EXPECT_EQ(Rewrite(late, kXml), late);
}

TEST(RewriteCharsetDeclarations, TextWithoutDeclarationsOrWithBrokenMarkupIsUnchanged) {
  for (std::u16string_view input :
       {std::u16string_view(u""), std::u16string_view(u"plain text, no markup"),
        std::u16string_view(u"<<>>< = \" ' > <? ?> <! -- <meta \"content=\" charset=x"),
        std::u16string_view(u"<?xml encoding=\"unterminated"), std::u16string_view(u"< ?xml encoding=\"a\"?>")}) {
    EXPECT_EQ(Rewrite(input, kBoth), input);
  }
}

TEST(RewriteCharsetDeclarations, OutOfMemoryReportsAndKeepsTheText) {
  WorkingText text = MakeWorkingText(u"<?xml encoding=\"a\"?>");
  AllocationFailureGuard failNext(0);
  EXPECT_EQ(RewriteCharsetDeclarations(text, u"utf-8", true, true), EditResult::OutOfMemory);
  EXPECT_EQ(TextOf(text), u"<?xml encoding=\"a\"?>");
}

// The first declared name, as the rewriter's scan finds its place; meta's own charset attribute
// counts too, and a content value is cut after the name.
TEST(FindCharsetDeclaration, FindsTheFirstDeclaredName) {
  const struct {
    std::string_view head;
    std::u16string_view found;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding='ISO-8859-7'?><a/>", u"ISO-8859-7"},
      {"<html><meta charset=\"koi8-r\"><meta charset=\"cp1251\">", u"koi8-r"},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset= cp1251 ; x\">", u"cp1251"},
      {"<meta content=\"text/html; charset=cp1251\">", u""},  // no http-equiv seen: not a declaration
      {"<p>encoding=\"x\" charset=\"y\"</p>\xE9", u""},
      {"<?xml encoding=\"unterminated", u""},
      {"", u""},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.head.data());
    EXPECT_EQ(FindCharsetDeclaration({bytes, c.head.size()}), c.found) << c.head;
  }
}

}  // namespace
}  // namespace glyphshift
