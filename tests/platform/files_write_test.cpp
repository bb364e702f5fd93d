// Staged files: a destination written under a temporary name and renamed when complete, with
// the attributes it must keep, on real temporary directories.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "platform/files.h"
#include "platform/files_test_support.h"
#include "platform/native_text.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using support::ReadFileText;
using support::WriteFileBytes;

class StagedFiles : public support::TempDirTest {
 protected:
  SysError Write(const std::string& name, std::string_view text, Replace replace = Replace::Allowed,
                 std::uint32_t permissions = 0644) {
    return Stage(OpenDir(FromNative(dir_.path())), FromNative(name), text, replace, permissions);
  }
  // Only the named files: a temporary file left behind would show up here.
  void ExpectOnly(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    EXPECT_EQ(support::ListNames(dir_.path()), names);
  }
};

TEST_F(StagedFiles, NewFileTakesItsNameWhenCompleteWithPermissionsLessTheUmask) {
  const CDirectory directory = OpenDir(FromNative(dir_.path()));
  CStagedFile staged;
  ASSERT_FALSE(Files().CreateStaged(directory, staged));
  EXPECT_TRUE(IsTemporaryName(staged.temporaryName));
  EXPECT_EQ(LstatOf(dir_.Native(ToNative(staged.temporaryName))).st_mode & 07777, 0600u) << "private until complete";
  const std::string big(100000, 'x');
  ASSERT_FALSE(Files().WriteStaged(staged, {reinterpret_cast<const std::uint8_t*>(big.data()), big.size()}));
  EXPECT_EQ(staged.written, big.size());
  ASSERT_FALSE(Files().SetNewFilePermissions(staged, 04751));
  ASSERT_FALSE(Files().Commit(staged, u"new.txt", Replace::Never));
  EXPECT_EQ(ReadFileText(dir_.Native("new.txt")), big);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(LstatOf(dir_.Native("new.txt")).st_mode & 07777, 0751u & ~mask) << "no set-user-ID for new text";
  EXPECT_EQ(IdOf(dir_.Native("new.txt")), staged.id);
  ExpectOnly({"new.txt"});
}

TEST_F(StagedFiles, UncommittedFilesAreRemovedAndNamesAreRecognised) {
  const CDirectory directory = OpenDir(FromNative(dir_.path()));
  {
    CStagedFile discarded;
    ASSERT_FALSE(Files().CreateStaged(directory, discarded));
    Files().Discard(discarded);
    CStagedFile dropped;
    ASSERT_FALSE(Files().CreateStaged(directory, dropped));
  }
  ExpectOnly({});
  for (const char16_t* name : {u".morfex-", u".morfex-abc12", u".morfex-abc12-", u"morfex-abc123", u".morfex-ab/123"}) {
    EXPECT_FALSE(IsTemporaryName(name)) << ToNative(name);
  }
  EXPECT_TRUE(IsTemporaryName(u".morfex-aZ09xy"));
}

// A temporary file is reclaimed only once its run is gone (nobody holds its lock) and only if it
// is one a run of ours leaves: a regular file of a single name. The lock a run takes on a file
// it converts in place excludes a second one until the first file is closed.
TEST_F(StagedFiles, LeftoversAreReclaimedOnlyOnceTheirRunIsGoneAndLocksExcludeEachOther) {
  const CDirectory directory = OpenDir(FromNative(dir_.path()));
  CStagedFile inProgress;
  ASSERT_FALSE(Files().CreateStaged(directory, inProgress));
  WriteFileBytes(dir_.Native(".morfex-Left01"), "left by a kill");
  WriteFileBytes(dir_.Native(".morfex-Two001"), "x");
  ASSERT_EQ(::link(dir_.Native(".morfex-Two001").c_str(), dir_.Native("second").c_str()), 0);
  WriteFileBytes(dir_.Native("plain.txt"), "x");
  const struct {
    std::u16string name;
    bool removed;
    int code;
  } cases[] = {{inProgress.temporaryName, false, 0},
               {u".morfex-Left01", true, 0},
               {u".morfex-Two001", false, 0},
               {u"plain.txt", false, EINVAL},
               {u".morfex-Gone00", false, ENOENT}};
  for (const auto& c : cases) {
    bool removed = !c.removed;
    EXPECT_EQ(Files().ReclaimTemporary(directory, c.name, removed).code, c.code) << ToNative(c.name);
    EXPECT_EQ(removed, c.removed) << ToNative(c.name);
  }
  ExpectOnly({ToNative(inProgress.temporaryName), ".morfex-Two001", "plain.txt", "second"});

  CFile first, second;
  ASSERT_FALSE(Files().OpenFile(directory, u"plain.txt", first));
  ASSERT_FALSE(Files().OpenFile(directory, u"plain.txt", second));
  EXPECT_FALSE(Files().LockFile(first));
  EXPECT_EQ(Files().LockFile(second).code, kErrorLocked);
  first = {};
  EXPECT_FALSE(Files().LockFile(second));
}

TEST_F(StagedFiles, ReplacingKeepsModeOwnerAclAndAttributesButNoRightsToRunAsAnyone) {
  const std::string path = dir_.Native("f.txt");
  WriteFileBytes(path, "old content, longer than the new one");
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  }
  ASSERT_EQ(::chmod(path.c_str(), 06751), 0);  // after chown, which would clear the set-ID bits
  const bool userAttribute = ::setxattr(path.c_str(), "user.origin", "kept", 4, 0) == 0;
  // A file capability (version 2: CAP_NET_RAW permitted and effective).
  const std::uint32_t capability[5] = {0x02000001, 1u << 13, 0, 0, 0};
  const bool hasCapability =
      root && ::setxattr(path.c_str(), "security.capability", capability, sizeof capability, 0) == 0;
  const bool hasAcl = std::system(("setfacl -m u:4321:rw " + path + " 2>/dev/null").c_str()) == 0;
  const mode_t modeWithAcl = LstatOf(path).st_mode & 0777;

  ASSERT_FALSE(Write("f.txt", "new"));
  EXPECT_EQ(ReadFileText(path), "new");
  const struct stat st = LstatOf(path);
  EXPECT_EQ(st.st_mode & 07777, modeWithAcl) << "set-user-ID and set-group-ID dropped, the rest kept";
  if (root) {
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
  }
  char value[64];
  if (userAttribute) {
    EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4);
  }
  if (hasCapability) {
    EXPECT_LT(::getxattr(path.c_str(), "security.capability", value, sizeof value), 0) << "not a capability";
  }
  if (hasAcl) {
    EXPECT_EQ(std::system(("getfacl -cp " + path + " 2>/dev/null | grep -q '^user:4321:rw-'").c_str()), 0);
  }
  ExpectOnly({"f.txt"});
}

// A link another user plants at a destination name is replaced by the new file, never followed.
TEST_F(StagedFiles, ALinkAtTheNameIsReplacedNotFollowed) {
  WriteFileBytes(dir_.Native("victim"), "precious");
  ASSERT_EQ(::symlink("victim", dir_.Native("out.txt").c_str()), 0);
  ASSERT_EQ(::symlink("would-be-created", dir_.Native("dangling.txt").c_str()), 0);
  ASSERT_FALSE(Write("out.txt", "new"));
  ASSERT_FALSE(Write("dangling.txt", "new"));
  EXPECT_EQ(ReadFileText(dir_.Native("victim")), "precious");
  EXPECT_TRUE(S_ISREG(LstatOf(dir_.Native("out.txt")).st_mode));
  EXPECT_TRUE(S_ISREG(LstatOf(dir_.Native("dangling.txt")).st_mode));
  ExpectOnly({"dangling.txt", "out.txt", "victim"});
}

TEST_F(StagedFiles, NeverReplaceKeepsWhatIsThere) {
  WriteFileBytes(dir_.Native("taken"), "first");
  EXPECT_EQ(Write("taken", "second", Replace::Never).code, EEXIST);
  EXPECT_EQ(ReadFileText(dir_.Native("taken")), "first");
  ExpectOnly({"taken"});
}

// An interrupt during a conversion removes the staged file and ends the process as the signal
// would: the file being converted keeps its old content.
TEST_F(StagedFiles, InterruptRemovesTheStagedFileAndEndsTheProcess) {
  WriteFileBytes(dir_.Native("f.txt"), "old");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    ::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
      RemoveStagedFilesOnInterrupt();
      const CDirectory directory = OpenDir(FromNative(dir_.path()));
      CStagedFile staged;
      if (Files().CreateStaged(directory, staged) ||
          Files().WriteStaged(staged, {reinterpret_cast<const std::uint8_t*>("new"), 3}))
        ::_exit(3);
      ::write(ready[1], "r", 1);
      ::pause();
      ::_exit(4);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    ExpectOnly({"f.txt"});
  }
  EXPECT_EQ(ReadFileText(dir_.Native("f.txt")), "old");
}

TEST_F(StagedFiles, NamesTheOsCannotTakeAreErrorsNotTruncations) {
  EXPECT_EQ(Write(std::string(300, 'n'), "x").code, ENAMETOOLONG);
  EXPECT_EQ(Write("a/b", "x").code, EINVAL);
  ExpectOnly({});
}

// RLIMIT_FSIZE makes the kernel cut a write short and then fail it with EFBIG: a real short
// write through the real code. The limit is process-wide, so it is set in a child.
int WriteInChildWithSizeLimit(const CDirectory& directory, std::size_t size, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    const std::string data(size, 'n');
    CStagedFile staged;
    if (Files().CreateStaged(directory, staged)) ::_exit(98);
    const SysError error = Files().WriteStaged(staged, {reinterpret_cast<const std::uint8_t*>(data.data()), size});
    // Report the error code, or 99 when the op or the count is not what a short write gives.
    const bool plausible = error && std::string_view(error.op) == "write" && staged.written == limit;
    Files().Discard(staged);
    ::_exit(!error ? 0 : plausible ? (error.code & 0x7F) : 99);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(StagedFiles, ShortWriteIsAnErrorAndLeavesNothing) {
  WriteFileBytes(dir_.Native("f.txt"), "old");
  EXPECT_EQ(WriteInChildWithSizeLimit(OpenDir(FromNative(dir_.path())), 100000, 4096), EFBIG);
  EXPECT_EQ(ReadFileText(dir_.Native("f.txt")), "old");
  ExpectOnly({"f.txt"});
}

// Nothing can be renamed over a mount point, even by root: the failure comes at the very end,
// after the temporary file is written. Needs root and a kernel that lets us bind-mount.
TEST_F(StagedFiles, FailedRenameLeavesOldFileIntactAndNoTemporary) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  const std::string path = dir_.Native("f.txt");
  WriteFileBytes(path, "old");
  ASSERT_EQ(::mkdir(dir_.Native("elsewhere").c_str(), 0755), 0);
  WriteFileBytes(dir_.Native("elsewhere/cover"), "cover");
  if (::mount(dir_.Native("elsewhere/cover").c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "cannot bind-mount here";
  const SysError error = Write("f.txt", "new");
  const std::vector<std::string> names = support::ListNames(dir_.path());
  ::umount2(path.c_str(), MNT_DETACH);
  EXPECT_EQ(error.code, EBUSY);
  EXPECT_STREQ(error.op, "rename");
  EXPECT_EQ(names, (std::vector<std::string>{"elsewhere", "f.txt"}));
  EXPECT_EQ(ReadFileText(path), "old");
  EXPECT_EQ(ReadFileText(dir_.Native("elsewhere/cover")), "cover");
}

// A read-only file refuses to be replaced although its directory would allow the rename. Root
// may write anything, so the check runs as an unprivileged user in a child.
TEST_F(StagedFiles, ReadOnlyFileIsNotReplaced) {
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
    CFile file;
    const SysError error = Files().OpenForReplacing(OpenDir(FromNative(dir_.path())), u"f.txt", file);
    ::_exit(error.code == EACCES && std::string_view(error.op) == "open" ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFileText(path), "old");
  ExpectOnly({"f.txt"});
}

}  // namespace
}  // namespace glyphshift::platform
