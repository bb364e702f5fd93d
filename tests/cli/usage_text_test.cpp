#include "cli/usage_text.h"
#include "cli/charset_names.h"
#include "messages/results.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glyphshift {
namespace {

// The usage text, byte for byte as scripts and the help window rely on it, line by line;
// "{version}" and "{charsets}" mark the two insertions. Written out here apart from the
// program's own constant on purpose: a change to one must be a deliberate change to both.
const std::vector<std::u16string> kExpectedLines = {
    u"Glyphshift \"{version}\"",
    u"",
    u"Usage: morfex <source file(s)> [flags]",
    u"",
    u"",
    u"Valid flags are:",
    u"",
    u"/scs=<charset>\tSpecify source character set. If not specified it tries to detect.",
    u"/dcs=<charset>\tSpecify destination character set. If not specified utf-8 is presumed.",
    u"/output=<file/dir>\tSpecify destination file name or directory. If file is not specified it will "
    u"automatically created.",
    u"/line=<type>\tLine break type which may be one of DOS, UNIX or MAC.",
    u"/nobom \t\tDo not write Byte Order Mark which will be written by default.",
    u"/nowait\t\tDo not display status Message Box after conversion in UI mode",
    u"/xml\t\tWill modify encoding string in xml header <?xml ...?>",
    u"/html\t\tWill modify \"content\" attribute value in meta header <meta http-equiv=\"Content-Type\" .../>",
    u"/replace\t\tSource file will be overwritten (in place conversion)",
    u"/move\t\tMoves the source file to destination. Source will be deleted after conversion.",
    u"/recursive\tUse recursive directory search in conjunction with wildcards as input.",
    u"/error-stop\tWill stop on conversion error (file/disk read/write, out of memory, ...)",
    u"/?\t\tThis help window.",
    u"",
    u"Extendes Flags",
    u"",
    u"/keep-owner\tWill keep file owner of source file",
    u"/keep-dacl\tWill keep file discretionary access control list of source file",
    u"/silent\t\tSilent mode. Do not display anything, do not create console, do not use console",
    u"/log=<file>\tLog messages in file",
    u"/loglevel=<level>\tLevel 1 will create more log messages for debugging purpose",
    u"",
    u"Private Flags (no public support)",
    u"",
    u"/private.owner-from-prefix",
    u"/private.user-translation-table",
    u"",
    u"Example:",
    u"",
    u"morfex *.xml /scs=ansi /dcs=utf-16 /xml /output=c:\\converted /move",
    u"",
    u"Valid character sets are",
    u"",
    u"{charsets}UTF-8, UTF-16, UTF-16BE",
    u"",
    u"Exit codes are:",
    u"",
    u"0\t\tConversion was sucessfull",
    u"1\t\tConversion was not sucessfull (write error)",
    u"2\t\tSource file read error (file not found)",
    u"3\t\tInvalid argument: Source can not be a directory. Use wildcards like drive:\\dir\\*.txt instead!",
    u"4\t\tInvalid argument: Wildcards are not allowed here.",
    u"5\t\tInvalid argument: File as destination for multiple source files are not allowed!",
    u"6\t\tInvalid argument: Character set is unknown.",
    u"-1\t\tOut of memory",
    u"7\t\tSource left unchanged to protect its content (text the destination cannot hold, not a text file, or "
    u"changed while it was converted)",
    u"8\t\tInvalid argument: Unknown option or option value.",
    u"",
    u"As a Unix tool:",
    u"",
    u"morfex - [flags]",
    u"\t\tConverts standard input to standard output; the messages go to standard error.",
    u"morfex <file> /output=- [flags]",
    u"\t\tConverts one file to standard output. A file named - is ./-",
    u"morfex <source> <source> ... [flags]",
    u"\t\tConverts several files or quoted patterns in turn, the flags before, between or after them;",
    u"\t\t/output= must then be an existing directory.",
    u"morfex --list",
    u"\t\tLists every character set with its other names.",
    u"morfex -h | --help | --version",
    u"\t\tPrints this text, or the version.",
    u"",
    u"Flags that protect the content of files:",
    u"",
    u"/lossy\t\tConvert also where text would be lost, in place and with /move too",
    u"/strict\t\tConvert nothing that would lose text, not even into a new file",
    u"/binary\t\tConvert files that are not text (binary data) too",
    u"/info\t\tConvert nothing: report each source's set, line breaks and more, as a table",
    u"/info=json\tThe same report as JSON Lines, one object a line",
    u"",
    u"/jobs=<n>\tConvert n files at once, 1 to 256 (default: one per processor core)",
};

std::u16string Described(std::u16string_view version, std::u16string_view charsets, std::u16string_view eol) {
  std::u16string text;
  for (std::u16string line : kExpectedLines) {
    if (auto at = line.find(u"{version}"); at != std::u16string::npos) line.replace(at, 9, version);
    if (auto at = line.find(u"{charsets}"); at != std::u16string::npos) line.replace(at, 10, charsets);
    text += line;
    text += eol;
  }
  return text;
}

TEST(UsageText, IsByteExactWithBothInsertions) {
  const std::u16string list = u"ISO-8859-1, Windows-1252, ";
  EXPECT_EQ(BuildUsageText(u"1, 3, 15, 2", list), Described(u"1, 3, 15, 2", list, u"\r\n"));
}

// The exit-code lines of the usage text are the results of messages/results.h, in its order.
TEST(UsageText, ExitCodeLinesNameEveryResult) {
  const std::u16string text = WithLineFeeds(BuildUsageText(u"v", u""));
  std::vector<std::int32_t> listed;
  for (std::size_t at = text.find(u"Exit codes are:\n\n") + 17; at < text.size() && text[at] != u'\n';) {
    const std::size_t end = text.find(u'\n', at);
    const std::u16string line = text.substr(at, end - at);
    listed.push_back(
        std::stoi(std::string(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(line.find(u'\t')))));
    at = end + 1;
  }
  std::vector<std::int32_t> results;
  for (const Result result : kEveryResult) results.push_back(Code(result));
  EXPECT_EQ(listed, results);
}

TEST(UsageText, MissingVersionLeavesEmptyQuotes) {
  const std::u16string text = BuildUsageText(u"", u"");
  EXPECT_EQ(text.substr(0, 15), u"Glyphshift \"\"\r\n");
  EXPECT_NE(text.find(u"\r\nUTF-8, UTF-16, UTF-16BE\r\n"), std::u16string::npos);
}

TEST(UsageText, FitsTheHelpWindowWithEverySet) {
  EXPECT_LT(BuildUsageText(u"1, 3, 15, 2", ListedCharsetNames()).size(), kMaxUsageTextLength)
      << "a longer text loses its last lines in the help window";
}

TEST(UsageText, IsCutAt4095Characters) {
  const std::u16string longList(5000, u'x');
  const std::u16string text = BuildUsageText(u"v", longList);
  ASSERT_EQ(text.size(), 4095u);
  EXPECT_EQ(text.back(), u'x');
}

TEST(UsageText, ConsoleFormHasLineFeedsOnly) {
  const std::u16string text = WithLineFeeds(BuildUsageText(u"1, 3, 15, 2", u"KOI8-R, "));
  EXPECT_EQ(text, Described(u"1, 3, 15, 2", u"KOI8-R, ", u"\n"));
  EXPECT_EQ(WithLineFeeds(u"a\rb\r\n\n"), u"a\rb\n\n") << "a lone CR is not a line end to rewrite";
}

TEST(VersionString, ReadsTheBuildVersion) {
  std::u16string value = u"old";
  ASSERT_TRUE(GetVersionString(u"FileVersion", value));
  EXPECT_EQ(value, u"1, 3, 15, 2");
  ASSERT_TRUE(GetVersionString(u"ProductName", value));
  EXPECT_EQ(value, u"Glyphshift");
  EXPECT_EQ(DottedVersion(), u"1.3.15.2");
}

TEST(VersionString, HonoursCapacityAndUnknownKeys) {
  std::u16string value;
  ASSERT_TRUE(GetVersionString(u"FileVersion", value, 5));
  EXPECT_EQ(value, u"1, 3") << "capacity counts the terminator";
  value = u"stale";
  EXPECT_FALSE(GetVersionString(u"Comments", value));
  EXPECT_TRUE(value.empty());
}

}  // namespace
}  // namespace glyphshift
