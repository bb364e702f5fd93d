// Faults the run must survive without losing data: huge sources, a full disk, names too long
// for the file system, sources that are not regular files.
#include <fcntl.h>
#include <sys/mount.h>
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

// A real full disk: a tiny tmpfs, which needs root and a kernel that lets us mount.
class FullDisk : public Faults {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    MakeDir("tiny");
    if (::mount("tmpfs", P("tiny").c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(P("tiny").c_str(), MNT_DETACH);
  }
  bool mounted_ = false;
};

TEST_F(FullDisk, FailedWriteIsResultOneAndTheMoveKeepsItsSource) {
  const std::string big(300 * 1024, 'x');
  Write("big.txt", big);
  const RunResult r = Run({"big.txt", "/scs=ansi", "/move", "/output=tiny/big.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("No space left on device\nError 1: Conversion of \"big.txt\" failed.\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(Read("big.txt"), big) << "the source survives a failed move";
  EXPECT_TRUE(Names("tiny").empty()) << "no partial or temporary file is left";
}

TEST_F(FullDisk, FailedReplaceKeepsTheOldFile) {
  Write("tiny/a.txt", std::string(40 * 1024, 'a'));  // its UTF-16 form does not fit beside it
  const RunResult r = Run({"tiny/a.txt", "/scs=ansi", "/dcs=utf-16", "/replace"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read("tiny/a.txt"), std::string(40 * 1024, 'a'));
  EXPECT_EQ(Names("tiny"), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace glyphshift::e2e
