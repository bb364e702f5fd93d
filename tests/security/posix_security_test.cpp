// The POSIX security services against real files, accounts and capabilities. Owners and ACLs
// of other accounts can only be set as root: these tests skip otherwise. Expectations are read
// back with libacl and stat, independently of the code under test.
#include <acl/libacl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <list>
#include <string>

#include "platform/files.h"
#include "platform/native_text.h"
#include "platform/security.h"
#include "security/security_fixtures.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

using platform::Sid;
using testing::Text;
using testing::UidOf;

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st;
}

void SetAcl(const std::string& path, const char* text) {
  acl_t acl = acl_from_text(text);
  ASSERT_NE(acl, nullptr) << text;
  ASSERT_EQ(acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl), 0) << text;
  acl_free(acl);
}

// A group created for the test and removed after it.
class TemporaryGroup {
 public:
  TemporaryGroup() {
    name_ = "gstest" + std::to_string(getpid());
    created_ = std::system(("groupadd " + name_ + " >/dev/null 2>&1").c_str()) == 0;
    if (const group* entry = created_ ? getgrnam(name_.c_str()) : nullptr) gid_ = entry->gr_gid;
  }
  ~TemporaryGroup() {
    if (created_) (void)std::system(("groupdel " + name_ + " >/dev/null 2>&1").c_str());
  }
  TemporaryGroup(const TemporaryGroup&) = delete;
  TemporaryGroup& operator=(const TemporaryGroup&) = delete;
  bool created() const { return created_ && gid_ != static_cast<gid_t>(-1); }
  const std::string& name() const { return name_; }
  gid_t gid() const { return gid_; }

 private:
  std::string name_;
  bool created_ = false;
  gid_t gid_ = static_cast<gid_t>(-1);
};

class PosixSecurity : public support::TempDirTest {
 protected:
  void SetUp() override { GLYPHSHIFT_REQUIRE_ROOT(); }
  std::string MakeFile(const char* name) {
    const std::string path = dir_.Native(name);
    support::WriteFileBytes(path, "x");
    return path;
  }
  // The security operations work on open files: the file is opened as the run opens it.
  platform::FileRef Ref(const std::string& path) {
    platform::CDirectory directory;
    EXPECT_FALSE(platform::Files().OpenDirectory(platform::FromNative(dir_.path()), directory));
    files_.emplace_back();
    EXPECT_FALSE(
        platform::Files().OpenFile(directory, platform::FromNative(path.substr(path.rfind('/') + 1)), files_.back()));
    return {files_.back().handle.Get(), files_.back().path};
  }

 private:
  std::list<platform::CFile> files_;
};

// A file grants more than another when some account may read or write it that may not do the
// same to the other; an owner counts as reading and writing (it may change the mode), root
// never counts.
TEST_F(PosixSecurity, GrantsMoreThanComparesEveryAccountsReadingAndWriting) {
  struct Side {
    const char* owner;
    gid_t group;
    const char* acl;
  };
  const struct {
    Side file, than;
    bool more;
  } cases[] = {
      {{"nobody", 1, "u::rw-,g::r--,o::---"}, {"nobody", 1, "u::rw-,g::r--,o::---"}, false},
      {{"nobody", 1, "u::rw-,g::rw-,o::rw-"}, {"root", 0, "u::rw-,g::---,o::---"}, true},  // a planted 0666
      {{"nobody", 1, "u::---,g::---,o::---"}, {"root", 0, "u::rw-,g::r--,o::r--"}, true},  // its owner may chmod
      {{"root", 0, "u::rw-,g::r--,o::r--"}, {"nobody", 1, "u::rw-,g::---,o::r--"}, false},
      {{"root", 0, "u::rw-,g::r--,o::---"}, {"nobody", 1, "u::rw-,g::---,o::---"}, true},
      {{"root", 1, "u::rw-,g::-w-,o::---"}, {"root", 1, "u::rw-,g::r--,o::---"}, true},
      {{"root", 1, "u::rw-,g::---,o::r--"}, {"root", 1, "u::rw-,g::r--,o::---"}, true},
      {{"root", 0, "u::rw-,u:daemon:r--,g::---,m::r--,o::---"}, {"root", 0, "u::rw-,g::---,o::---"}, true},
      {{"root", 0, "u::rw-,u:daemon:r--,g::---,m::r--,o::---"},
       {"root", 0, "u::rw-,u:daemon:rw-,g::---,m::rw-,o::---"},
       false},
      {{"root", 0, "u::rw-,u:daemon:rw-,g::---,m::---,o::---"}, {"root", 0, "u::rw-,g::---,o::---"}, false},
      {{"root", 0, "u::rw-,g:daemon:r--,g::---,m::r--,o::---"}, {"root", 1, "u::rw-,g::r--,o::---"}, false},
      {{"daemon", 0, "u::rw-,g::---,o::---"}, {"root", 0, "u::rw-,u:daemon:rw-,g::---,m::rw-,o::---"}, false},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::string file = MakeFile(("f" + std::to_string(index)).c_str());
    const std::string than = MakeFile(("t" + std::to_string(index++)).c_str());
    for (const auto& [path, side] : {std::pair{file, c.file}, std::pair{than, c.than}}) {
      ASSERT_EQ(chown(path.c_str(), UidOf(side.owner), side.group), 0);
      SetAcl(path, side.acl);
    }
    bool more = !c.more;
    ASSERT_FALSE(platform::GrantsMoreThan(Ref(file), Ref(than), more));
    EXPECT_EQ(more, c.more) << c.file.acl << " against " << c.than.acl << " (case " << index - 1 << ")";
  }
}

// Without privileges a named path's links are followed by the kernel's rule for sticky folders
// everyone may write, which reading them ourselves would bypass: another account's link there is
// followed only when the folder is that account's.
TEST_F(PosixSecurity, WithoutPrivilegesNamedLinksFollowTheKernelsRuleForStickyFolders) {
  const uid_t nobody = UidOf("nobody");
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  const std::string pub = dir_.Native("pub");
  ASSERT_EQ(mkdir(pub.c_str(), 0755), 0);
  ASSERT_EQ(chmod(pub.c_str(), 01777), 0);
  support::WriteFileBytes(pub + "/t.txt", "t");
  const struct {
    const char* name;
    uid_t owner;
    int code;
  } cases[] = {{"daemons", UidOf("daemon"), platform::kErrorUnsafeLink}, {"own", nobody, 0}, {"roots", 0, 0}};
  for (const auto& c : cases) {
    ASSERT_EQ(symlink("t.txt", (pub + "/" + c.name).c_str()), 0);
    ASSERT_EQ(lchown((pub + "/" + c.name).c_str(), c.owner, c.owner), 0);
  }
  for (const auto& c : cases) {
    const pid_t child = fork();
    if (child == 0) {
      if (setgid(nobody) != 0 || setuid(nobody) != 0) _exit(99);
      platform::CDirectory directory;
      std::u16string name;
      const platform::SysError error =
          platform::Files().OpenNamedParent(platform::FromNative(pub + "/" + c.name), true, directory, name);
      _exit(error.code == c.code && (error || name == u"t.txt") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name << " " << status;
  }
}

TEST_F(PosixSecurity, ClosedFilesReportErrors) {
  const platform::FileRef closed{platform::CHandle::kInvalid, u"closed"};
  std::unique_ptr<platform::FileSecurity> security;
  EXPECT_EQ(platform::ReadFileSecurity(closed, security).code, EBADF);
  EXPECT_EQ(security, nullptr);
  ASSERT_FALSE(platform::ReadFileSecurity(Ref(MakeFile("f")), security));
  EXPECT_EQ(platform::ApplyFileAccessList(closed, *security).code, EBADF);
  EXPECT_EQ(platform::ApplyFileOwner(closed, *security).code, EBADF);
}

TEST_F(PosixSecurity, AccessListReadsAsAllowedEntriesWithEffectiveRights) {
  const std::string file = MakeFile("f");
  ASSERT_EQ(chown(file.c_str(), UidOf("nobody"), 1), 0);
  SetAcl(file.c_str(), "u::rwx,u:daemon:rw-,g::r-x,m::r--,o::--x");
  platform::AccessList list;
  ASSERT_FALSE(platform::Security().ReadAccessList(Ref(file), list));
  ASSERT_EQ(list.entries.size(), 4u) << "the mask is folded into the entries it limits";
  const std::pair<Sid, std::uint32_t> expected[] = {
      {platform::UserSid(UidOf("nobody")), 0x1F01FF},
      {platform::UserSid(UidOf("daemon")), 0x120089},  // rw- under mask r--
      {platform::GroupSid(1), 0x120089},               // r-x under mask r--
      {platform::EveryoneSid(), 0x1200A0},
  };
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    EXPECT_EQ(list.entries[i].type, 0) << i;
    EXPECT_EQ(list.entries[i].flags, 0) << i;
    EXPECT_EQ(Text(list.entries[i].sid), Text(expected[i].first)) << i;
    EXPECT_EQ(list.entries[i].mask, expected[i].second) << i;
  }
  EXPECT_EQ(list.SizeInBytes(), 8u + 3 * 24 + 20);
}

TEST_F(PosixSecurity, SingleEntryListForAUserMakesItOwnerAlone) {
  const std::string file = MakeFile("f");
  ASSERT_EQ(chmod(file.c_str(), 04755), 0);
  SetAcl(file.c_str(), "u::rwx,u:daemon:rw-,g::r-x,m::rwx,o::r-x");
  auto& security = platform::Security();
  platform::SingleEntryAccessList list;
  ASSERT_FALSE(security.BuildSingleEntryAccessList(platform::UserSid(UidOf("nobody")), list));
  ASSERT_FALSE(security.WriteAccessList(Ref(file), list));
  EXPECT_EQ(StatOf(file).st_uid, UidOf("nobody"));
  EXPECT_EQ(StatOf(file).st_gid, 0u);
  EXPECT_EQ(StatOf(file).st_mode & 0777, 0700u);
  EXPECT_EQ(acl_extended_file(file.c_str()), 0) << "the named entry is gone";
}

TEST_F(PosixSecurity, SingleEntryListForAGroupGrantsThatGroupAlone) {
  TemporaryGroup group;
  if (!group.created()) GTEST_SKIP() << "groupadd is not available";
  const std::string file = MakeFile("f");
  auto& security = platform::Security();
  Sid sid;
  std::u16string domain;
  platform::SidKind kind{};
  ASSERT_FALSE(security.LookupAccountName(platform::FromNative(group.name()), sid, domain, kind));
  EXPECT_EQ(kind, platform::SidKind::Group);
  platform::SingleEntryAccessList list;
  ASSERT_FALSE(security.BuildSingleEntryAccessList(sid, list));
  ASSERT_FALSE(security.WriteAccessList(Ref(file), list));
  EXPECT_EQ(StatOf(file).st_uid, 0u);
  EXPECT_EQ(StatOf(file).st_gid, group.gid());
  EXPECT_EQ(StatOf(file).st_mode & 0777, 0070u);
}

TEST_F(PosixSecurity, OwnerOfAUserOrAGroupSidAndRefusedSids) {
  const std::string file = MakeFile("f");
  auto& security = platform::Security();
  ASSERT_FALSE(security.SetOwner(Ref(file), platform::GroupSid(1)));
  EXPECT_EQ(StatOf(file).st_uid, 0u);
  EXPECT_EQ(StatOf(file).st_gid, 1u);
  ASSERT_FALSE(security.SetOwner(Ref(file), platform::UserSid(UidOf("nobody"))));
  EXPECT_EQ(StatOf(file).st_uid, UidOf("nobody"));
  EXPECT_EQ(StatOf(file).st_gid, 1u);

  platform::SingleEntryAccessList list;
  EXPECT_EQ(security.BuildSingleEntryAccessList(platform::EveryoneSid(), list).code, EINVAL);
  EXPECT_EQ(security.SetOwner(Ref(file), platform::EveryoneSid()).code, EINVAL);
  EXPECT_EQ(security.SetOwner({platform::CHandle::kInvalid, u"closed"}, platform::UserSid(0)).code, EBADF);
}

}  // namespace
}  // namespace glyphshift
