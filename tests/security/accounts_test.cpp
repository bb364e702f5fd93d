// SIDs, access masks and account look-ups on the real system; nothing here needs root.
#include <grp.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/security.h"
#include "security/security_fixtures.h"

namespace glyphshift {
namespace {

using platform::Sid;
using testing::Text;
using testing::UidOf;

TEST(Sids, TextFormsAndMalformedBytes) {
  EXPECT_EQ(Text(platform::UserSid(65534)), "S-1-22-1-65534");
  EXPECT_EQ(Text(platform::GroupSid(4294967295u)), "S-1-22-2-4294967295");
  EXPECT_EQ(Text(platform::EveryoneSid()), "S-1-1-0");
  EXPECT_EQ(platform::UserSid(1).bytes.size(), 16u);
  EXPECT_EQ(platform::EveryoneSid().bytes.size(), 12u);
  EXPECT_NE(platform::UserSid(5), platform::GroupSid(5));
  Sid truncated = platform::UserSid(1);
  truncated.bytes.pop_back();
  EXPECT_EQ(Text(truncated), "<bad>");
  EXPECT_EQ(Text(Sid{}), "<bad>");
  Sid revision2 = platform::UserSid(1);
  revision2.bytes[0] = 2;
  EXPECT_EQ(Text(revision2), "<bad>");
}

TEST(AccessMasks, PermissionsCombineAndRwxIsFullControl) {
  EXPECT_EQ(platform::AccessMaskForPermissions(0), 0u);
  EXPECT_EQ(platform::AccessMaskForPermissions(4), 0x120089u);
  EXPECT_EQ(platform::AccessMaskForPermissions(6), 0x120089u | 0x120116u);
  EXPECT_EQ(platform::AccessMaskForPermissions(5), 0x120089u | 0x1200A0u);
  EXPECT_EQ(platform::AccessMaskForPermissions(7), 0x1F01FFu);
}

TEST(Accounts, UsersBeforeGroupsAndTheDomainPartIgnored) {
  auto& security = platform::Security();
  Sid sid;
  std::u16string domain;
  platform::SidKind kind{};
  ASSERT_FALSE(security.LookupAccountName(u"EXAMPLE\\daemon", sid, domain, kind));
  EXPECT_EQ(sid, platform::UserSid(UidOf("daemon"))) << "daemon is a user and a group: the user wins";
  EXPECT_EQ(kind, platform::SidKind::User);

  const group* nogroup = getgrnam("nogroup");
  ASSERT_NE(nogroup, nullptr);
  ASSERT_FALSE(security.LookupAccountName(u"nogroup", sid, domain, kind));
  EXPECT_EQ(sid, platform::GroupSid(nogroup->gr_gid));
  EXPECT_EQ(kind, platform::SidKind::Group);

  platform::AccountSizes sizes;
  ASSERT_FALSE(security.QueryAccountSizes(u"nobody", sizes));
  ASSERT_FALSE(security.LookupAccountName(u"nobody", sid, domain, kind));
  EXPECT_EQ(sizes.sidBytes, sid.bytes.size());
  EXPECT_EQ(sizes.domainChars, domain.size() + 1);

  EXPECT_EQ(security.QueryAccountSizes(u"no-such-account-here", sizes).code, ENOENT);
  EXPECT_EQ(security.QueryAccountSizes(u"", sizes).code, ENOENT);
  EXPECT_EQ(security.QueryAccountSizes(u"EXAMPLE\\", sizes).code, ENOENT);
}

TEST(Accounts, SidsResolveBackToNames) {
  auto& security = platform::Security();
  std::u16string name, domain;
  platform::SidKind kind{};
  ASSERT_FALSE(security.LookupAccountSid(platform::UserSid(UidOf("nobody")), name, domain, kind));
  EXPECT_EQ(name, u"nobody");
  EXPECT_EQ(kind, platform::SidKind::User);
  ASSERT_FALSE(security.LookupAccountSid(platform::GroupSid(0), name, domain, kind));
  EXPECT_EQ(name, u"root");
  EXPECT_EQ(kind, platform::SidKind::Group);
  ASSERT_FALSE(security.LookupAccountSid(platform::EveryoneSid(), name, domain, kind));
  EXPECT_EQ(name, u"other");
  EXPECT_EQ(kind, platform::SidKind::WellKnownGroup);
  EXPECT_TRUE(security.LookupAccountSid(platform::UserSid(3999999999u), name, domain, kind));
  EXPECT_EQ(name, u"");
}

}  // namespace
}  // namespace glyphshift
