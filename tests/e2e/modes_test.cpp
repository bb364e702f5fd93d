// Modes and where the text of a run goes: help, version, the dialog without a display, the
// console, log files and silent runs.
#include <gtest/gtest.h>

#include <regex>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using Modes = MorfexTest;

TEST_F(Modes, VersionAndHelp) {
  RunResult r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "morfex (Glyphshift) 1.3.15.2\n");

  r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("Glyphshift \"1, 3, 15, 2\"\n\nUsage: morfex <source file(s)> [flags]\n"));
  EXPECT_NE(r.out.find("6\t\tInvalid argument: Character set is unknown.\n-1\t\tOut of memory\n7\t\t"),
            std::string::npos)
      << "the exit codes of today after those of old";
  EXPECT_TRUE(r.out.ends_with("/jobs=<n>\tConvert n files at once, 1 to 256 (default: one per processor core)\n"));
  EXPECT_EQ(Run({"-h"}).out, r.out);
  EXPECT_EQ(r.out.find('\r'), std::string::npos) << "LF line ends on the console";
  // The listed sets in catalogue order, each followed by ", ", then the three Unicode forms.
  const std::size_t list = r.out.find("\n\nISO-8859-1, ");
  ASSERT_NE(list, std::string::npos);
  const std::size_t end = r.out.find("EBCDIC-1026, UTF-8, UTF-16, UTF-16BE\n", list);
  ASSERT_NE(end, std::string::npos);
  const std::string names = r.out.substr(list + 2, end - list - 2);
  EXPECT_EQ(std::count(names.begin(), names.end(), ','), 58) << names;
  EXPECT_NE(names.find("KOI8-R, "), std::string::npos);

  const RunResult help = Run({"/?"});
  EXPECT_EQ(help.status, 255) << "the help mode ends with -1";
  EXPECT_EQ(help.out, r.out) << "without a display the usage text is printed";

  EXPECT_EQ(Run({"--version", "x"}).status, 8) << "only a lone --version is special";
}

// --dialog, with or without a source for it, is the dialog mode too; the named file is left alone.
TEST_F(Modes, NoArgumentsWithoutDisplayIsOneErrorLine) {
  Write("a.txt", "abc");
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{}, {"--dialog"}, {"--dialog", "a.txt"}}) {
    const RunResult r = Run(arguments);
    EXPECT_EQ(r.status, 255) << arguments.size();
    EXPECT_EQ(r.out, "") << arguments.size();
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("display"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(Read("a.txt"), "abc");
}

TEST_F(Modes, LogFileGetsAStartLinePerRunAndTheMessages) {
  Write("a.txt", "abc");
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/log=run.log"}).out, "");
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/log=\"run.log\""}).out, "");
  const std::string start = R"(\n\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] - Start\n\n)";
  const std::string body =
      "Destination character set: \"utf-8\" \\(Internal code 100\\)\\n"
      "Source character set: \"Ansi\" \\(Internal code 18\\)\\n\\n"
      "Success: \\[3 bytes \\+ 3 Bytes\\] a\\.txt\\n"
      "\\n1 file\\(s\\) successfully converted with total size of 3 Bytes\\n0 file\\(s\\) failed to convert\\n";
  const std::string log = Read("run.log");
  EXPECT_TRUE(std::regex_match(log, std::regex(start + body + start + body))) << log;
}

TEST_F(Modes, WildcardRunLeavesItsOwnLogAlone) {
  Write("a.txt", "abc");
  EXPECT_EQ(Run({"*.txt", "/scs=ansi", "/replace", "/log=run.txt"}).status, 0);
  const std::string log = Read("run.txt");
  EXPECT_NE(log.find("Skipped: \"run.txt\" is the log file of this run.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("1 file(s) successfully converted"), std::string::npos) << "lines after the skip survive: " << log;
  EXPECT_EQ(log.find("\xEF\xBB\xBF"), std::string::npos) << "the log was not converted in place";
  EXPECT_EQ(Read("a.txt"),
            "\xEF\xBB\xBF"
            "abc");
}

TEST_F(Modes, LogLevelAddsTraceLines) {
  Write("a.txt", "abc");
  const RunResult r = Run({"*.txt", "/scs=ansi", "/log=run.log", "/loglevel=1"});
  EXPECT_EQ(r.out, "");
  const std::string log = Read("run.log");
  EXPECT_NE(log.find("Base Source Directory: " + dir_.path() + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("ProcessFile(" + dir_.path() + "/a.txt, " + dir_.path() + "/a.utf-8.txt, Ansi, utf-8)\n"),
            std::string::npos)
      << log;

  const std::string quiet = (Run({"*.txt", "/scs=ansi", "/log=quiet.log"}), Read("quiet.log"));
  EXPECT_EQ(quiet.find("Base Source Directory"), std::string::npos);
}

TEST_F(Modes, SilentAndEmptyLogShowNothingButConvert) {
  Write("a.txt", "abc");
  for (const char* flag : {"/silent", "/log="}) {
    const RunResult r = Run({"a.txt", "/scs=ansi", "/move", flag, "/loglevel=1"});
    EXPECT_EQ(r.status, 0) << flag;
    EXPECT_EQ(r.out, "") << flag;
    EXPECT_EQ(r.err, "") << flag << ": no terminal, so the diagnostics go nowhere";
    EXPECT_EQ(Read("a.utf-8.txt"),
              "\xEF\xBB\xBF"
              "abc");
    Write("a.txt", "abc");
  }
}

TEST_F(Modes, ConsoleRunsDiscardStandardError) {
  Write("a.txt", "abc");
  const RunResult r = Run({"a.txt", "/scs=ansi", "/keep-owner", "/loglevel=1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "") << "the rights listing is a diagnostic, discarded on the console";
}

}  // namespace
}  // namespace glyphshift::e2e
