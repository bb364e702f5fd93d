#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace glyphshift {
namespace {

std::vector<std::u16string> Split(std::u16string text) {
  std::vector<std::u16string> copies;
  for (std::u16string_view a : SplitCommandLine(text)) copies.emplace_back(a);
  return copies;
}

using Args = std::vector<std::u16string>;

TEST(SplitCommandLine, OnlyTheSpaceSeparates) {
  EXPECT_EQ(Split(u"a.txt /nobom"), (Args{u"a.txt", u"/nobom"}));
  EXPECT_EQ(Split(u"a  b   c"), (Args{u"a", u"b", u"c"})) << "runs of spaces give no empty argument";
  EXPECT_EQ(Split(u"a\tb c"), (Args{u"a\tb", u"c"})) << "a tab is part of the argument";
  EXPECT_EQ(Split(u"a b  "), (Args{u"a", u"b"})) << "trailing spaces";
  EXPECT_TRUE(Split(u"").empty());
  EXPECT_EQ(Split(std::u16string(u"a b\0c d", 7)), (Args{u"a", u"b"})) << "the text ends at its terminator";
}

TEST(SplitCommandLine, QuotedArgumentLosesItsQuotes) {
  EXPECT_EQ(Split(u"\"my file.txt\" /xml"), (Args{u"my file.txt", u"/xml"}));
  EXPECT_EQ(Split(u"\"\" x"), (Args{u"", u"x"})) << "an empty quoted argument is kept";
  EXPECT_EQ(Split(u"\"open to the end"), (Args{u"open to the end"}));
}

TEST(SplitCommandLine, TextBeforeAQuoteNotAfterEqualsIsDropped) {
  EXPECT_EQ(Split(u"abc\"def ghi\" x"), (Args{u"def ghi", u"x"}));
  // The closing quote is the separator: what follows it starts the next argument.
  EXPECT_EQ(Split(u"abc\"def\"jkl"), (Args{u"def", u"jkl"}));
}

TEST(SplitCommandLine, QuoteAfterEqualsKeepsQuotesAndEatsTheNextCharacter) {
  EXPECT_EQ(Split(u"a.txt /output=\"c:\\my dir\" /move"), (Args{u"a.txt", u"/output=\"c:\\my dir\"", u"/move"}));
  EXPECT_EQ(Split(u"/output=\"x\"y z"), (Args{u"/output=\"x\"", u"z"})) << "the y after the quote is lost";
  EXPECT_EQ(Split(u"/log=\"a b"), (Args{u"/log=\"a b"})) << "an unterminated quote runs to the end";
  EXPECT_EQ(Split(u"/dcs= x"), (Args{u"/dcs=", u"x"}));
  EXPECT_EQ(Split(u"/dcs="), (Args{u"/dcs="}));
  EXPECT_EQ(Split(u"a=\"\" b"), (Args{u"a=\"\"", u"b"}));
}

TEST(SplitCommandLine, WritesTerminatorsIntoTheText) {
  std::u16string text = u"ab cd";
  const auto views = SplitCommandLine(text);
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(text[2], u'\0');
  EXPECT_EQ(views[1].data(), text.data() + 3) << "arguments are views into the text, not copies";
}

TEST(SplitCommandLine, KeepsAtMostOneHundredArguments) {
  std::u16string text;
  for (int i = 0; i < 105; ++i) {
    const std::string n = std::to_string(i);
    text += std::u16string(n.begin(), n.end()) + u" ";
  }
  const Args args = Split(text);
  ASSERT_EQ(args.size(), 100u);
  EXPECT_EQ(args.back(), u"99");
}

RunSettings Parse(std::initializer_list<std::u16string> arguments) {
  RunSettings options;
  const std::vector<std::u16string> list(arguments);
  ParseOptions(list, options);
  return options;
}

TEST(ParseOptions, IgnoresLetterCaseAndUnknownArguments) {
  const RunSettings o = Parse({u"/NOBOM", u"/Xml", u"/DCS=UTF-16", u"other.txt", u"/nobomb"});
  EXPECT_FALSE(o.conversion.writeBom);
  EXPECT_TRUE(o.conversion.modifyXml);
  EXPECT_FALSE(o.conversion.modifyHtml);
  EXPECT_EQ(o.destinationCharsetName, u"UTF-16");
  const RunSettings longer = Parse({u"/nowaitx", u"/htmlx", u"/re", u"/recursivex"});
  EXPECT_FALSE(longer.noStatusBox);
  EXPECT_FALSE(longer.conversion.modifyHtml);
  EXPECT_FALSE(longer.recursive) << "whole options must match the entire argument";
}

TEST(ParseOptions, QuoteRemovalFollowsEachOption) {
  const RunSettings o = Parse(
      {u"/scs=\"koi8-r\"", u"/output=\"out dir\"", u"/log=\"run.log\"", u"/line=\"dos\"", u"/private.utt=\"t.csv\""});
  EXPECT_EQ(o.sourceCharsetName, u"koi8-r");
  EXPECT_FALSE(o.autoDetectSource);
  EXPECT_EQ(o.outputPath, u"out dir");
  EXPECT_EQ(o.output.logFilePath, u"run.log");
  EXPECT_EQ(o.conversion.lineBreakType, 0) << "/line= takes its value as typed: a quoted name is none";
  EXPECT_EQ(o.userTranslationTablePath, u"\"t.csv\"");
  EXPECT_EQ(Parse({u"/dcs=\"utf-8"}).destinationCharsetName, u"\"utf-8") << "one quote alone stays";
  EXPECT_EQ(Parse({u"/dcs=\""}).destinationCharsetName, u"\"");
  EXPECT_EQ(Parse({u"/private.user-translation-table=x.csv"}).userTranslationTablePath, u"x.csv");
}

TEST(ParseOptions, LaterOptionsOverrideEarlierOnes) {
  EXPECT_FALSE(Parse({u"/move", u"/replace"}).conversion.moveSource);
  const RunSettings replaceThenMove = Parse({u"/replace", u"/move"});
  EXPECT_TRUE(replaceThenMove.conversion.moveSource);
  EXPECT_TRUE(replaceThenMove.replaceSource);
  EXPECT_EQ(Parse({u"/dcs=a", u"/dcs=b"}).destinationCharsetName, u"b");
}

TEST(ParseOptions, SettingsTouchedByEachFlag) {
  const RunSettings silent = Parse({u"/silent"});
  EXPECT_TRUE(silent.output.noConsole);
  EXPECT_TRUE(silent.noStatusBox);
  const RunSettings emptyLog = Parse({u"/log="});
  EXPECT_TRUE(emptyLog.output.noConsole);
  EXPECT_TRUE(emptyLog.output.logFilePath.empty());
  const RunSettings level = Parse({u"/loglevel=1"});
  EXPECT_EQ(level.output.logLevel, 1);
  EXPECT_FALSE(level.output.noConsole) << "/loglevel= must not be taken for /log=";
  const RunSettings owner = Parse({u"/keep-owner"});
  EXPECT_TRUE(owner.conversion.KeepsSecurity() && owner.conversion.keepOwner && !owner.conversion.keepDacl);
  const RunSettings dacl = Parse({u"/keep-dacl"});
  EXPECT_TRUE(dacl.conversion.KeepsSecurity() && dacl.conversion.keepDacl && !dacl.conversion.keepOwner);
  EXPECT_TRUE(Parse({u"/r"}).recursive);
  EXPECT_TRUE(Parse({u"/RECURSIVE"}).recursive);
  EXPECT_TRUE(Parse({u"/private.ofp"}).ownerFromPrefix);
  EXPECT_TRUE(Parse({u"/private.owner-from-prefix"}).ownerFromPrefix);
  EXPECT_TRUE(Parse({u"/error-stop"}).errorStop);
  EXPECT_EQ(Parse({u"/DETECT=\"statistical\""}).detectionMethodName, u"statistical");
  const RunSettings emptyScs = Parse({u"/scs="});
  EXPECT_EQ(emptyScs.sourceCharsetName, u"");
  EXPECT_FALSE(emptyScs.autoDetectSource);
}

TEST(ParseOptions, NothingChangesWithoutOptions) {
  const RunSettings o = Parse({});
  const RunSettings defaults;
  EXPECT_EQ(o.sourceCharsetName, defaults.sourceCharsetName);
  EXPECT_EQ(o.destinationCharsetName, u"utf-8");
  EXPECT_TRUE(o.autoDetectSource);
  EXPECT_EQ(o.detectionMethodName, u"simple");
  EXPECT_TRUE(o.conversion.writeBom);
  EXPECT_FALSE(o.conversion.lineBreakType.has_value());
  EXPECT_EQ(o.userTranslationTablePath, u"user-to-account.csv");
}

TEST(ResolveDetectionMethod, KnowsTwoMethodsInAnyLetterCase) {
  DetectionMethod method = DetectionMethod::Simple;
  EXPECT_TRUE(ResolveDetectionMethod(u"STATISTICAL", method));
  EXPECT_EQ(method, DetectionMethod::Statistical);
  EXPECT_TRUE(ResolveDetectionMethod(u"Simple", method));
  EXPECT_EQ(method, DetectionMethod::Simple);
  method = DetectionMethod::Statistical;
  for (std::u16string_view unknown : {u"", u"statistic", u" simple", u"stat"}) {
    EXPECT_FALSE(ResolveDetectionMethod(unknown, method));
    EXPECT_EQ(method, DetectionMethod::Statistical) << "left alone";
  }
}

TEST(ParseLogLevel, ReadsLikeADecimalConversion) {
  EXPECT_EQ(ParseLogLevel(u"1"), 1);
  EXPECT_EQ(ParseLogLevel(u"  \t-1"), -1);
  EXPECT_EQ(ParseLogLevel(u"+7"), 7);
  EXPECT_EQ(ParseLogLevel(u"12abc"), 12);
  EXPECT_EQ(ParseLogLevel(u"abc"), 0);
  EXPECT_EQ(ParseLogLevel(u""), 0);
  EXPECT_EQ(ParseLogLevel(u"- 1"), 0);
  EXPECT_EQ(ParseLogLevel(u"0002"), 2);
}

TEST(ParseLogLevel, ClampsToTheSigned32BitRange) {
  EXPECT_EQ(ParseLogLevel(u"2147483647"), INT_MAX);
  EXPECT_EQ(ParseLogLevel(u"2147483648"), INT_MAX);
  EXPECT_EQ(ParseLogLevel(u"-2147483648"), INT_MIN);
  EXPECT_EQ(ParseLogLevel(u"-2147483649"), INT_MIN);
  EXPECT_EQ(ParseLogLevel(u"99999999999999999999999999"), INT_MAX);
}

}  // namespace
}  // namespace glyphshift
