// Faults the run must survive without losing data: names too long for the file system, sources
// that are not regular files, a file-size limit, a log that cannot take every line, a move
// whose source cannot go. (A full disk is the conversion's to survive: tests/convert.)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using Faults = MorfexTest;

// The file-size limit (ulimit -f) of the programs started while it lives.
class CFileSizeLimit {
 public:
  explicit CFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    const rlimit limit{bytes, previous_.rlim_max};
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  ~CFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &previous_); }
  CFileSizeLimit(const CFileSizeLimit&) = delete;
  CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

 private:
  rlimit previous_{};
};

// A limit is an ordinary write error: the output that passes it fails alone and leaves no
// temporary file; a log that passes it says so on standard error and fails the run.
TEST_F(Faults, AFileSizeLimitIsAWriteError) {
  Write("big.txt", std::string(200000, 'a'));
  Write("small.txt", "abc");
  RunResult r;
  {
    const CFileSizeLimit limit(64 * 1024);
    r = Run({"*.txt", "/scs=ansi"});
  }
  EXPECT_EQ(r.status, 1) << "the run ends normally";
  EXPECT_NE(r.out.find("File too large\nError 1: Conversion of \"big.txt\" failed.\n"), std::string::npos) << r.out;
  EXPECT_TRUE(r.out.ends_with(Summary(1, 3, 1))) << r.out;
  EXPECT_EQ(Names(), (std::vector<std::string>{"big.txt", "small.txt", "small.utf-8.txt"}));

  {
    const CFileSizeLimit limit(120);
    r = Run({"small.txt", "/scs=ansi", "/log=run.log"});
  }
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "morfex: the log file \"run.log\" could not be written to the end: File too large\n");
  EXPECT_EQ(Read("run.log").size(), 120u);
  EXPECT_EQ(Read("small.utf-8.txt"),
            "\xEF\xBB\xBF"
            "abc");
}

// A move whose source stays is a failure, with the reason; the converted copy stays.
TEST_F(Faults, AMoveWhoseSourceStaysFails) {
  MakeDir("in");
  MakeDir("out");
  Write("in/a.txt", "abc");
  if (std::system(("chattr +i '" + P("in") + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "no immutable folders on this file system";
  }
  const RunResult r = Run({"in/*.txt", "/scs=ansi", "/move", "/output=" + P("out")});
  ASSERT_EQ(std::system(("chattr -i '" + P("in") + "'").c_str()), 0);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("The source \"" + P("in") +
                       "/a.txt\" was not deleted: Operation not permitted\n"
                       "Error 1: Conversion of \"a.txt\" failed.\n"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(r.out.ends_with(Summary(0, 0, 1))) << r.out;
  EXPECT_EQ(Read("in/a.txt"), "abc");
  EXPECT_EQ(Read("out/a.txt"),
            "\xEF\xBB\xBF"
            "abc");
}

TEST_F(Faults, NameTooLongForTheFileSystemIsAPerFileError) {
  const std::string name = std::string(250, 'n') + ".txt";  // fits; its destination does not
  Write(name, "abc");
  Write("ok.txt", "abc");
  const RunResult r = Run({"*.txt", "/scs=ansi"});
  EXPECT_EQ(r.status == 0 || r.status == 1, true);
  EXPECT_NE(r.out.find("File name too long\nError 1: Conversion of \"" + name + "\" failed.\n"), std::string::npos)
      << r.out;
  EXPECT_TRUE(r.out.ends_with(Summary(1, 3, 1))) << r.out;
  EXPECT_EQ(Read("ok.utf-8.txt"),
            "\xEF\xBB\xBF"
            "abc");
}

TEST_F(Faults, SingleSourceThatIsNotARegularFileIsRefused) {
  ASSERT_EQ(::mkfifo(P("pipe.txt").c_str(), 0644), 0);
  const RunResult r = Run({"pipe.txt"}, 20);
  EXPECT_EQ(r.status, 2) << "a FIFO must not block the run";
  EXPECT_NE(r.out.find("is not a regular file"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Error 2: Conversion of \"pipe.txt\" failed.\n"), std::string::npos) << r.out;

  const RunResult device = Run({"/dev/zero", "/scs=ansi", "/output=" + P("zero.txt")}, 20);
  EXPECT_EQ(device.status, 2) << "a device that never ends must not be read";
  EXPECT_FALSE(Exists("zero.txt"));
}

}  // namespace
}  // namespace glyphshift::e2e
