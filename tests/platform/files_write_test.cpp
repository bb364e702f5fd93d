// WriteWholeFile and its data-safety promises, on real temporary directories.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using support::ReadFileText;
using support::WriteFileBytes;

SysError Write(const std::u16string& path, std::string_view text, std::uint64_t* written = nullptr) {
  const std::span<const std::uint8_t> piece(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  std::uint64_t count = 0;
  const SysError error = Files().WriteWholeFile(path, std::span(&piece, 1), true, count);
  if (written) *written = count;
  return error;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode;
}

class WriteWholeFile : public support::TempDirTest {
 protected:
  // Only the named files: a temporary file left behind would show up here.
  void ExpectOnly(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    EXPECT_EQ(support::ListNames(dir_.path()), names);
  }
};

TEST_F(WriteWholeFile, NewFileGetsAllPiecesInOrder) {
  const std::string a = "BOM", b(100000, 'x'), c;  // an empty piece and one of many pages
  const std::span<const std::uint8_t> pieces[] = {
      {reinterpret_cast<const std::uint8_t*>(a.data()), a.size()},
      {reinterpret_cast<const std::uint8_t*>(c.data()), c.size()},
      {reinterpret_cast<const std::uint8_t*>(b.data()), b.size()},
  };
  std::uint64_t written = 0;
  ASSERT_FALSE(Files().WriteWholeFile(dir_.Path("new.txt"), pieces, false, written));
  EXPECT_EQ(written, a.size() + b.size());
  EXPECT_EQ(ReadFileText(dir_.Native("new.txt")), a + b);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(ModeOf(dir_.Native("new.txt")) & 07777, 0666 & ~mask);
}

TEST_F(WriteWholeFile, ReplacingKeepsModeAndLeavesNoTemporaryFile) {
  WriteFileBytes(dir_.Native("f.txt"), "old content, longer than the new one");
  ASSERT_EQ(::chmod(dir_.Native("f.txt").c_str(), 0751), 0);
  std::uint64_t written = 0;
  ASSERT_FALSE(Write(dir_.Path("f.txt"), "new", &written));
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(ReadFileText(dir_.Native("f.txt")), "new");
  EXPECT_EQ(ModeOf(dir_.Native("f.txt")) & 07777, 0751u);
  ExpectOnly({"f.txt"});
}

TEST_F(WriteWholeFile, ReplacingKeepsOwnerAndAccessAcl) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  const std::string path = dir_.Native("f.txt");
  WriteFileBytes(path, "old");
  ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  // An access ACL with a named user, set through the tool so the test does not share our code.
  const bool hasAcl = std::system(("setfacl -m u:4321:rw " + path + " 2>/dev/null").c_str()) == 0;
  ASSERT_FALSE(Write(dir_.Path("f.txt"), "new"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 5678u);
  if (!hasAcl) GTEST_SKIP() << "no ACL support here";
  char value[256];
  const ssize_t size = ::getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
  EXPECT_GT(size, 0) << "the access ACL was dropped";
  EXPECT_EQ(std::system(("getfacl -cp " + path + " 2>/dev/null | grep -q '^user:4321:rw-'").c_str()), 0);
}

TEST_F(WriteWholeFile, ThroughSymbolicLinkChainReplacesFinalTargetAndKeepsLinks) {
  ASSERT_EQ(::mkdir(dir_.Native("sub").c_str(), 0755), 0);
  WriteFileBytes(dir_.Native("sub/target.txt"), "old");
  // A relative link in another directory, reached through a second, absolute link.
  ASSERT_EQ(::symlink("sub/target.txt", dir_.Native("rel").c_str()), 0);
  ASSERT_EQ(::symlink(dir_.Native("rel").c_str(), dir_.Native("abs").c_str()), 0);
  ASSERT_FALSE(Write(dir_.Path("abs"), "new"));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir_.Native("abs"))));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir_.Native("rel"))));
  EXPECT_EQ(ReadFileText(dir_.Native("sub/target.txt")), "new");
  EXPECT_EQ(support::ListNames(dir_.Native("sub")), std::vector<std::string>{"target.txt"});
}

TEST_F(WriteWholeFile, DanglingLinkGetsItsTargetCreated) {
  ASSERT_EQ(::symlink("made.txt", dir_.Native("link").c_str()), 0);
  ASSERT_FALSE(Write(dir_.Path("link"), "data"));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir_.Native("link"))));
  EXPECT_EQ(ReadFileText(dir_.Native("made.txt")), "data");
}

TEST_F(WriteWholeFile, LinkLoopIsRefused) {
  ASSERT_EQ(::symlink("b", dir_.Native("a").c_str()), 0);
  ASSERT_EQ(::symlink("a", dir_.Native("b").c_str()), 0);
  EXPECT_EQ(Write(dir_.Path("a"), "x").code, ELOOP);
  ExpectOnly({"a", "b"});
}

TEST_F(WriteWholeFile, RefusesDirectoriesAndSpecialFilesWithoutTouchingThem) {
  ASSERT_EQ(::mkdir(dir_.Native("d").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  EXPECT_EQ(Write(dir_.Path("d"), "x").code, EISDIR);
  EXPECT_EQ(Write(dir_.Path("fifo"), "x").code, EINVAL);  // and does not wait for a reader
  EXPECT_TRUE(S_ISFIFO(ModeOf(dir_.Native("fifo"))));
  ExpectOnly({"d", "fifo"});
}

TEST_F(WriteWholeFile, PathsTheOsCannotTakeAreErrorsNotTruncations) {
  EXPECT_EQ(Write(dir_.Path(std::string(300, 'n')), "x").code, ENAMETOOLONG);
  std::string deep;
  while (deep.size() < 5000) deep += "d/";
  EXPECT_EQ(Write(dir_.Path(deep + "f"), "x").code, ENAMETOOLONG);
  // The OS would stop at the NUL and write "cut" instead.
  EXPECT_EQ(Write(dir_.Path("cut") + std::u16string(1, u'\0') + u"rest", "x").code, EINVAL);
  EXPECT_EQ(Write(dir_.Path("missing-dir/f"), "x").code, ENOENT);
  ExpectOnly({});
}

// RLIMIT_FSIZE makes the kernel cut a write short and then fail it with EFBIG: a real short
// write through the real code. The limit is process-wide, so it is set in a child.
int WriteInChildWithSizeLimit(const std::u16string& path, std::size_t size, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    std::uint64_t written = 0;
    const std::string data(size, 'n');
    const SysError error = Write(path, data, &written);
    // Report the error code, or 99 when the op or the count is not what a short write gives.
    const bool plausible = error && std::string_view(error.op) == "write" && written == limit;
    ::_exit(!error ? 0 : plausible ? (error.code & 0x7F) : 99);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(WriteWholeFile, ShortWriteLeavesOldFileIntactAndNoTemporary) {
  WriteFileBytes(dir_.Native("f.txt"), "old");
  EXPECT_EQ(WriteInChildWithSizeLimit(dir_.Path("f.txt"), 100000, 4096), EFBIG);
  EXPECT_EQ(ReadFileText(dir_.Native("f.txt")), "old");
  ExpectOnly({"f.txt"});
}

TEST_F(WriteWholeFile, ShortWriteOfNewFileLeavesNothing) {
  EXPECT_EQ(WriteInChildWithSizeLimit(dir_.Path("new.txt"), 100000, 4096), EFBIG);
  ExpectOnly({});
}

// Nothing can be renamed over a mount point, even by root: the failure comes at the very end,
// after the temporary file is written. Needs root and a kernel that lets us bind-mount.
TEST_F(WriteWholeFile, FailedRenameLeavesOldFileIntactAndNoTemporary) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  const std::string path = dir_.Native("f.txt");
  WriteFileBytes(path, "old");
  ASSERT_EQ(::mkdir(dir_.Native("elsewhere").c_str(), 0755), 0);
  WriteFileBytes(dir_.Native("elsewhere/cover"), "cover");
  if (::mount(dir_.Native("elsewhere/cover").c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "cannot bind-mount here";
  const SysError error = Write(dir_.Path("f.txt"), "new");
  const std::vector<std::string> names = support::ListNames(dir_.path());
  ::umount2(path.c_str(), MNT_DETACH);
  EXPECT_EQ(error.code, EBUSY);
  EXPECT_STREQ(error.op, "rename");
  EXPECT_EQ(names, (std::vector<std::string>{"elsewhere", "f.txt"}));
  EXPECT_EQ(ReadFileText(path), "old");
  EXPECT_EQ(ReadFileText(dir_.Native("elsewhere/cover")), "cover");
}

// A read-only file refuses to be replaced, written or moved over, although its directory would allow the rename. Root
// may write anything, so the check runs as an unprivileged user in a child.
TEST_F(WriteWholeFile, ReadOnlyFileIsNotReplaced) {
  const std::string path = dir_.Native("f.txt");
  WriteFileBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  constexpr uid_t kNobody = 65534;
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(dir_.path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
  }
  ::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(99);
    const SysError error = Write(dir_.Path("f.txt"), "new");
    if (error.code != EACCES || std::string_view(error.op) != "open") ::_exit(1);
    WriteFileBytes(dir_.Native("g.txt"), "moved");
    const SysError moved = Files().MoveFile(dir_.Path("g.txt"), dir_.Path("f.txt"));
    ::_exit(moved.code == EACCES ? 0 : 2);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFileText(path), "old");
  ExpectOnly({"f.txt", "g.txt"});
}

}  // namespace
}  // namespace glyphshift::platform
