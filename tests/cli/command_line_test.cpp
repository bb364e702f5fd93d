#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace glyphshift {
namespace {

std::vector<std::u16string> Split(std::u16string text) {
  const SplitCommandLineResult split = SplitCommandLine(text);
  EXPECT_EQ(split.problem, SplitProblem::None) << std::string(text.begin(), text.end());
  return {split.arguments.begin(), split.arguments.end()};
}

using Args = std::vector<std::u16string>;

TEST(SplitCommandLine, OnlyTheSpaceSeparates) {
  EXPECT_EQ(Split(u"a.txt /nobom"), (Args{u"a.txt", u"/nobom"}));
  EXPECT_EQ(Split(u"a  b   c"), (Args{u"a", u"b", u"c"})) << "runs of spaces give no empty argument";
  EXPECT_EQ(Split(u"a\tb c"), (Args{u"a\tb", u"c"})) << "a tab is part of the argument";
  EXPECT_EQ(Split(u"  a b  "), (Args{u"a", u"b"})) << "leading and trailing spaces";
  EXPECT_TRUE(Split(u"").empty());
  EXPECT_EQ(Split(std::u16string(u"a b\0c d", 7)), (Args{u"a", u"b"})) << "the text ends at its terminator";
}

// What a Windows caller writes, and the argument the option table then gets: the same as the
// shell on Linux hands over for the same intent.
TEST(SplitCommandLine, QuotesAndBackslashesAsTheCRuntimeReadsThem) {
  EXPECT_EQ(Split(u"\"my file.txt\" /xml"), (Args{u"my file.txt", u"/xml"}));
  EXPECT_EQ(Split(u"\"\" x"), (Args{u"", u"x"})) << "an empty quoted argument is kept";
  EXPECT_EQ(Split(u"abc\"def ghi\" x"), (Args{u"abcdef ghi", u"x"})) << "a quoted part joins its neighbours";
  EXPECT_EQ(Split(u"c:\\dir\\ x"), (Args{u"c:\\dir\\", u"x"})) << "backslashes before no quote are literal";
  EXPECT_EQ(Split(u"/output=\\\"outdir\\\""), (Args{u"/output=\"outdir\""})) << "escaped quotes are literal";
  EXPECT_EQ(Split(u"\"/output=\\\"out dir\\\"\""), (Args{u"/output=\"out dir\""}));
  EXPECT_EQ(Split(u"\"c:\\my dir\\\\\" x"), (Args{u"c:\\my dir\\", u"x"})) << "2n backslashes and a quote: n";
  EXPECT_EQ(Split(u"a\\\\\\\"b"), (Args{u"a\\\"b"})) << "2n+1 backslashes and a quote: n and a literal quote";
}

TEST(SplitCommandLine, QuoteAfterEqualsKeepsQuotesAndItsBackslashes) {
  EXPECT_EQ(Split(u"a.txt /output=\"c:\\my dir\" /move"), (Args{u"a.txt", u"/output=\"c:\\my dir\"", u"/move"}));
  EXPECT_EQ(Split(u"/output=\"c:\\my dir\\\" x"), (Args{u"/output=\"c:\\my dir\\\"", u"x"}))
      << "a backslash before the closing quote is just a backslash";
  EXPECT_EQ(Split(u"/dcs= x"), (Args{u"/dcs=", u"x"}));
  EXPECT_EQ(Split(u"/dcs="), (Args{u"/dcs="}));
  EXPECT_EQ(Split(u"a=\"\" b"), (Args{u"a=\"\"", u"b"}));
}

TEST(SplitCommandLine, RefusesWhatItCannotMakeSenseOf) {
  const struct {
    std::u16string text;
    SplitProblem problem;
    std::u16string where;
  } cases[] = {
      {u"a \"open to the end", SplitProblem::UnclosedQuote, u"open to the end"},
      {u"/log=\"a b", SplitProblem::UnclosedQuote, u"/log=\"a b"},
      {u"x /output=\"x\"y z", SplitProblem::TextAfterQuotedValue, u"/output=\"x\""},
  };
  for (const auto& c : cases) {
    std::u16string text = c.text;
    const SplitCommandLineResult split = SplitCommandLine(text);
    EXPECT_EQ(split.problem, c.problem) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(split.where, c.where);
  }
}

TEST(SplitCommandLine, WritesTheArgumentsIntoTheText) {
  std::u16string text = u"ab \"c d\"";
  const SplitCommandLineResult split = SplitCommandLine(text);
  ASSERT_EQ(split.arguments.size(), 2u);
  EXPECT_EQ(text[2], u'\0');
  EXPECT_EQ(split.arguments[1].data(), text.data() + 3) << "arguments are views into the text, not copies";
}

TEST(SplitCommandLine, KeepsEveryArgument) {
  std::u16string text;
  for (int i = 0; i < 250; ++i) {
    const std::string n = std::to_string(i);
    text += std::u16string(n.begin(), n.end()) + u" ";
  }
  const Args args = Split(text);
  ASSERT_EQ(args.size(), 250u) << "none is ignored: a caller never learns which";
  EXPECT_EQ(args.back(), u"249");
}

// The options of a command line with one source, which must be accepted.
RunSettings Parse(std::initializer_list<std::u16string> options) {
  RunSettings settings;
  std::vector<std::u16string> arguments(options);
  arguments.insert(arguments.begin(), u"a.txt");
  const std::optional<std::u16string> problem = ParseCommandLine(arguments, settings);
  EXPECT_FALSE(problem) << std::string(problem->begin(), problem->end());
  return settings;
}

// Every command line is one of these: what it is converted as, or why it is refused (exit 8).
class CommandLines : public support::InTempDirTest {};

TEST_F(CommandLines, SourcesOptionsAndRefusals) {
  Write("-notes.txt", "n");  // an existing path that looks like an option is a source
  using Check = std::function<bool(const RunSettings&)>;
  const Check any = [](const RunSettings&) { return true; };
  const struct {
    Args arguments;
    std::u16string problem;  // empty: accepted
    Args sources;
    Check check;
  } cases[] = {
      // Several sources, in order, the options before, between and after them.
      {{u"/nobom", u"a.txt", u"/R", u"b.txt", u"*.xml", u"/dcs=utf-16"},
       u"",
       {u"a.txt", u"b.txt", u"*.xml"},
       [](const RunSettings& o) {
         return !o.conversion.writeBom && o.recursive && o.destinationCharsetName == u"utf-16";
       }},
      {{u"-notes.txt", u"/tmp/missing/x.txt", u"/*.txt"}, u"", {u"-notes.txt", u"/tmp/missing/x.txt", u"/*.txt"}, any},
      // Filter mode.
      {{u"-", u"/scs=koi8-r"}, u"", {}, [](const RunSettings& o) { return o.standardInput && o.standardOutput; }},
      {{u"-", u"/output=out.txt"},
       u"",
       {},
       [](const RunSettings& o) { return o.standardInput && !o.standardOutput && o.outputPath == u"out.txt"; }},
      {{u"a.txt", u"/output=\"-\""},
       u"",
       {u"a.txt"},
       [](const RunSettings& o) { return o.standardOutput && o.outputPath.empty(); }},
      {{u"a.txt", u"/output=-", u"/output=x"}, u"", {u"a.txt"}, [](const RunSettings& o) { return !o.standardOutput; }},
      {{u"./-"}, u"", {u"./-"}, [](const RunSettings& o) { return !o.standardInput; }},
      {{u"-", u"a.txt"}, u"Invalid argument: standard input (-) must be the only source\n", {}, any},
      {{u"-", u"-"}, u"Invalid argument: standard input (-) must be the only source\n", {}, any},
      {{u"-", u"/move"},
       u"Invalid argument: /move needs a source file and a destination file, not standard input or "
       u"output\n",
       {},
       any},
      {{u"a.txt", u"/move", u"/output=-"},
       u"Invalid argument: /move needs a source file and a destination file, not "
       u"standard input or output\n",
       {},
       any},
      {{u"-", u"/replace"}, u"Invalid argument: standard input cannot be converted in place (/replace)\n", {}, any},
      // /line= names a type or none, in any letter case; as typed, so a quoted name is none of them.
      {{u"a.txt", u"/line=DOS"}, u"", {u"a.txt"}, [](const RunSettings& o) { return o.conversion.lineBreakType == 1; }},
      {{u"a.txt", u"/line=Unix"},
       u"",
       {u"a.txt"},
       [](const RunSettings& o) { return o.conversion.lineBreakType == 2; }},
      {{u"a.txt", u"/line=mac"}, u"", {u"a.txt"}, [](const RunSettings& o) { return o.conversion.lineBreakType == 3; }},
      {{u"a.txt", u"/line=NONE"},
       u"",
       {u"a.txt"},
       [](const RunSettings& o) { return o.conversion.lineBreakType == 0; }},
      {{u"a.txt", u"/line=unxi"},
       u"Invalid argument: \"/line=unxi\": the line break type is dos, unix, mac or none\n",
       {},
       any},
      {{u"a.txt", u"/line=\"dos\""},
       u"Invalid argument: \"/line=\"dos\"\": the line break type is dos, unix, mac or "
       u"none\n",
       {},
       any},
      {{u"a.txt", u"/line="},
       u"Invalid argument: \"/line=\": the line break type is dos, unix, mac or none\n",
       {},
       any},
      // The report: a table, or JSON Lines in any letter case; nothing else.
      {{u"a.txt", u"/INFO"}, u"", {u"a.txt"}, [](const RunSettings& o) { return o.report == ReportFormat::Table; }},
      {{u"/info=Json", u"-"},
       u"",
       {},
       [](const RunSettings& o) { return o.report == ReportFormat::JsonLines && o.standardInput; }},
      {{u"a.txt", u"/info=xml"},
       u"Invalid argument: \"/info=xml\": the report is /info (a table) or /info=json (JSON Lines)\n",
       {},
       any},
      {{u"a.txt", u"/info="},
       u"Invalid argument: \"/info=\": the report is /info (a table) or /info=json (JSON Lines)\n",
       {},
       any},
      // Unknown options, with the nearest one suggested where one is near.
      {{u"docs/*.txt", u"/recurse"},
       u"Invalid argument: unknown option \"/recurse\" (did you mean \"/recursive\"?)\n",
       {},
       any},
      {{u"a.txt", u"/dsc=utf-16"},
       u"Invalid argument: unknown option \"/dsc=utf-16\" (did you mean \"/dcs=utf-16\"?)\n",
       {},
       any},
      {{u"a.txt", u"--output=x"},
       u"Invalid argument: unknown option \"--output=x\" (did you mean \"/output=x\"?)\n",
       {},
       any},
      {{u"a.txt", u"/NOBOMB"}, u"Invalid argument: unknown option \"/NOBOMB\" (did you mean \"/nobom\"?)\n", {}, any},
      {{u"a.txt", u"/line"}, u"Invalid argument: unknown option \"/line\" (did you mean \"/line=\"?)\n", {}, any},
      {{u"a.txt", u"--lsit"}, u"Invalid argument: unknown option \"--lsit\" (did you mean \"--list\"?)\n", {}, any},
      {{u"a.txt", u"/foo"}, u"Invalid argument: unknown option \"/foo\"\n", {}, any},
      {{u"a.txt", u"-x"}, u"Invalid argument: unknown option \"-x\"\n", {}, any},
      // The lone forms among other arguments, and no source at all.
      {{u"a.txt", u"-h"}, u"Invalid argument: \"-h\" is given alone, without other arguments\n", {}, any},
      {{u"--version", u"x"}, u"Invalid argument: \"--version\" is given alone, without other arguments\n", {}, any},
      {{u"/?", u"a.txt"}, u"Invalid argument: \"/?\" is given alone, without other arguments\n", {}, any},
      {{u"/nobom", u"/r"}, u"Invalid argument: no source; name a file, a pattern, or - for standard input\n", {}, any},
  };
  for (const auto& c : cases) {
    std::u16string line;
    for (const std::u16string& a : c.arguments) line += a + u" ";
    SCOPED_TRACE(std::string(line.begin(), line.end()));
    RunSettings settings;
    const std::optional<std::u16string> problem = ParseCommandLine(c.arguments, settings);
    EXPECT_EQ(problem.value_or(u""), c.problem);
    if (problem) continue;
    EXPECT_EQ(settings.sources, c.sources);
    EXPECT_TRUE(c.check(settings));
  }
}

TEST(ParseCommandLine, QuoteRemovalFollowsEachOption) {
  const RunSettings o =
      Parse({u"/scs=\"koi8-r\"", u"/output=\"out dir\"", u"/log=\"run.log\"", u"/private.utt=\"t.csv\""});
  EXPECT_EQ(o.sourceCharsetName, u"koi8-r");
  EXPECT_FALSE(o.autoDetectSource);
  EXPECT_EQ(o.outputPath, u"out dir");
  EXPECT_EQ(o.output.logFilePath, u"run.log");
  EXPECT_EQ(o.userTranslationTablePath, u"\"t.csv\"");
  EXPECT_EQ(Parse({u"/dcs=\"utf-8"}).destinationCharsetName, u"\"utf-8") << "one quote alone stays";
  EXPECT_EQ(Parse({u"/dcs=\""}).destinationCharsetName, u"\"");
  EXPECT_EQ(Parse({u"/private.user-translation-table=x.csv"}).userTranslationTablePath, u"x.csv");
}

TEST(ParseCommandLine, LaterOptionsOverrideEarlierOnes) {
  EXPECT_FALSE(Parse({u"/move", u"/replace"}).conversion.moveSource);
  const RunSettings replaceThenMove = Parse({u"/replace", u"/move"});
  EXPECT_TRUE(replaceThenMove.conversion.moveSource);
  EXPECT_TRUE(replaceThenMove.replaceSource);
  EXPECT_EQ(Parse({u"/dcs=a", u"/dcs=b"}).destinationCharsetName, u"b");
  EXPECT_TRUE(Parse({u"/dcs=b"}).destinationCharsetGiven);
}

TEST(ParseCommandLine, SettingsTouchedByEachFlag) {
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

TEST(ParseCommandLine, NothingChangesWithoutOptions) {
  const RunSettings o = Parse({});
  const RunSettings defaults;
  EXPECT_EQ(o.sourceCharsetName, defaults.sourceCharsetName);
  EXPECT_EQ(o.destinationCharsetName, u"utf-8");
  EXPECT_TRUE(o.autoDetectSource);
  EXPECT_EQ(o.detectionMethodName, u"simple");
  EXPECT_TRUE(o.conversion.writeBom);
  EXPECT_FALSE(o.conversion.lineBreakType.has_value());
  EXPECT_FALSE(o.ReportsOnly());
  EXPECT_FALSE(o.destinationCharsetGiven);
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
