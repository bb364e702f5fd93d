// Filter mode and the progress line: morfex between pipes and on a terminal, as Unix tools are
// used. Standard output carries the converted bytes alone; every message goes to standard error.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

class Filter : public MorfexTest {
 protected:
  RunResult Pipe(const std::vector<std::string>& arguments, const std::string& input, RunFeed feed = {}) {
    feed.input = input;
    feed.inputIsNull = false;
    return RunMorfex(arguments, dir_.path(), feed);
  }
};

const std::string kSummaryOfOne = Summary(1, 6, 0);

TEST_F(Filter, BytesInBytesOutMessagesOnStandardError) {
  const struct {
    std::vector<std::string> arguments;
    std::string input;
    std::string output;
  } cases[] = {
      {{"-", "/scs=windows-1252"}, kCafe1252, kCafeUtf8Bom},
      {{"/dcs=utf-16be", "/nobom", "-"}, "caf\xC3\xA9", std::string("\0c\0a\0f\0\xE9", 8)},  // detected as UTF-8
      {{"-", "/dcs=windows-1252", "/line=unix"},
       "\xEF\xBB\xBF"
       "caf\xC3\xA9\r\n",
       "caf\xE9\n"},
      {{"-", "/scs=ansi"}, "", "\xEF\xBB\xBF"},
  };
  for (const auto& c : cases) {
    const RunResult r = Pipe(c.arguments, c.input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.output) << c.arguments[1];
    EXPECT_NE(r.err.find("] (standard input)\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\n1 file(s) successfully converted"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Pipe({"-", "/scs=windows-1252"}, kCafe1252).err,
            "Destination character set: \"utf-8\" (Internal code 100)\n"
            "Source character set: \"Windows-1252\" (Internal code 18)\n\n"
            "Success: [6 bytes + 4 Bytes] (standard input)\n" +
                kSummaryOfOne);
  EXPECT_TRUE(Names().empty()) << "a filter writes no file";
}

TEST_F(Filter, NamedFilesAndTheStreams) {
  Write("a.txt", kCafe1252);
  Write("-", kCafe1252);
  // One file to standard output.
  RunResult r = Run({"a.txt", "/scs=ansi", "/output=-"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kCafeUtf8Bom);
  EXPECT_NE(r.err.find("Success: [6 bytes + 4 Bytes] a.txt\n"), std::string::npos) << r.err;
  // Standard input into a named file: the messages stay on standard output.
  r = Pipe({"-", "/scs=ansi", "/output=out.txt"}, kCafe1252);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read("out.txt"), kCafeUtf8Bom);
  EXPECT_NE(r.out.find("Success: [6 bytes + 4 Bytes] (standard input)\n"), std::string::npos) << r.out;
  EXPECT_EQ(Pipe({"-", "/output=out*.txt"}, kCafe1252).status, 4);
  // "./-" is the file named "-".
  EXPECT_EQ(Run({"./-", "/scs=ansi"}).status, 0);
  EXPECT_EQ(Read("-.utf-8"), kCafeUtf8Bom);
  // /silent keeps the converted text and drops the messages.
  r = Pipe({"-", "/scs=ansi", "/silent"}, kCafe1252);
  EXPECT_EQ(r.out, kCafeUtf8Bom);
  EXPECT_EQ(r.err, "");
}

TEST_F(Filter, FailuresLeaveStandardOutputEmpty) {
  Write("a.txt", "a");
  Write("b.txt", "b");
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string said;
  } cases[] = {
      {{"-", "/scs=nope"}, 6, "Error 6: Character set \"nope\" is unknown."},
      {{"missing.txt", "/output=-"}, 2, "Error 2: Conversion of \"missing.txt\" failed.\n"},
      {{"*.txt", "/output=-"}, 5, "Invalid argument: File as destination for multiple source files are not allowed!"},
      {{"a.txt", "b.txt", "/output=-"}, 5, "Invalid argument: File as destination for multiple"},
  };
  for (const auto& c : cases) {
    const RunResult r = Pipe(c.arguments, kCafe1252);
    EXPECT_EQ(r.status, c.status) << c.arguments[0] << " " << c.arguments[1];
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
  }
}

// A reader that went away: the text did not arrive, which the run must not call a success.
TEST_F(Filter, AClosedPipeFailsTheFile) {
  RunFeed feed;
  feed.outputClosed = true;
  const RunResult r = Pipe({"-", "/scs=ansi"}, kCafe1252, feed);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Broken pipe\nError 1: Conversion of \"(standard input)\" failed.\n"), std::string::npos)
      << r.err;
}

// Standard input is spooled (memory, then a temporary file), so a large input costs no more
// memory than a small one: far less than the text itself.
TEST_F(Filter, LargeInputInBoundedMemory) {
  const std::string line =
      "caf\xE9 au lait, cr\xE8me br\xFBl\xE9"
      "e\n";
  RunFeed small;
  small.repeat = (8u << 20) / line.size();
  RunFeed large;
  large.repeat = (96u << 20) / line.size();
  const RunResult a = Pipe({"-", "/scs=windows-1252", "/nobom"}, line, small);
  const RunResult b = Pipe({"-", "/scs=windows-1252", "/nobom"}, line, large);
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  const std::string utf8 =
      "caf\xC3\xA9 au lait, cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
      "e\n";
  EXPECT_EQ(b.out.size(), utf8.size() * large.repeat);
  EXPECT_TRUE(b.out.starts_with(utf8) && b.out.ends_with(utf8));
  EXPECT_EQ(std::count(b.out.begin(), b.out.end(), '\n'), static_cast<std::ptrdiff_t>(large.repeat));
  EXPECT_LT(b.peakKilobytes - a.peakKilobytes, 32 * 1024)
      << "8 MiB: " << a.peakKilobytes << " KiB, 96 MiB: " << b.peakKilobytes << " KiB";
}

// The progress line: only for a person watching (standard error on a terminal, no log, no
// /silent), only in a run that lasts over a second, erased at the end.
TEST_F(Filter, ProgressOnATerminalOnly) {
  const std::string input = std::string(64 * 1024, 'x');
  RunFeed slow;
  slow.pauseMilliseconds = 1500;  // half the input, then the rest 1.5 s later
  slow.errorOnTerminal = true;
  RunResult r = Pipe({"-", "/scs=ansi", "/nobom"}, input, slow);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, input);
  const std::size_t drawn = r.err.rfind("file(s) done, ");
  ASSERT_NE(drawn, std::string::npos) << r.err;
  EXPECT_NE(r.err.find("(standard input)", drawn), std::string::npos) << "the current file is named";
  // Erased (spaces over it, back to the start of the line) before the summary comes.
  const std::size_t erased = r.err.find("\r    ", drawn);
  const std::size_t summary = r.err.find("file(s) successfully converted");
  EXPECT_TRUE(erased != std::string::npos && erased < summary) << r.err;
  EXPECT_EQ(r.err.find("done, ", summary), std::string::npos) << "nothing is drawn after the end";

  slow.errorOnTerminal = false;
  r = Pipe({"-", "/scs=ansi", "/nobom"}, input, slow);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.find("done, "), std::string::npos) << "never in a pipe";
  EXPECT_EQ(r.err.find('\r'), std::string::npos);

  slow.errorOnTerminal = true;
  r = Pipe({"-", "/scs=ansi", "/log=run.log"}, input, slow);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.find("done, "), std::string::npos) << "a run with a log shows none";
  EXPECT_EQ(Read("run.log").find("done, "), std::string::npos) << "never in a log";
}

}  // namespace
}  // namespace glyphshift::e2e
