// Faults the run must survive without losing data: names too long for the file system, sources
// that are not regular files. (A full disk is the conversion's to survive: tests/convert.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using Faults = MorfexTest;

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
