// The Win32 security services under Wine: account look-ups both ways, SID texts, the one-entry
// access list SetEntriesInAclW builds, reading a file's list, and the process's rights. What Wine
// does not carry out (a new owner, a written access list that the next read shows) is tested on
// the security layer through a double of these services (owner_from_prefix_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/security.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

std::u16string CurrentUser() {
  wchar_t name[256] = {};
  DWORD size = 256;
  return GetUserNameW(name, &size) ? std::u16string(reinterpret_cast<const char16_t*>(name)) : std::u16string();
}

TEST(Win32Security, AccountsAndSidsBothWays) {
  SecurityServices& security = Security();
  const std::u16string user = CurrentUser();
  ASSERT_FALSE(user.empty());
  AccountSizes sizes;
  ASSERT_FALSE(security.QueryAccountSizes(user, sizes));
  Sid sid;
  std::u16string domain;
  SidKind kind{};
  ASSERT_FALSE(security.LookupAccountName(user, sid, domain, kind));
  EXPECT_EQ(sid.bytes.size(), sizes.sidBytes);
  EXPECT_EQ(domain.size() + 1, sizes.domainChars) << "the size query counts the terminator";
  EXPECT_EQ(kind, SidKind::User);
  std::u16string text;
  ASSERT_FALSE(SidToText(sid, text));
  EXPECT_EQ(text.substr(0, 6), u"S-1-5-");

  std::u16string name, nameDomain;
  ASSERT_FALSE(security.LookupAccountSid(sid, name, nameDomain, kind));
  EXPECT_EQ(name, user);
  EXPECT_EQ(nameDomain, domain);

  EXPECT_EQ(security.QueryAccountSizes(u"no-such-account-here", sizes).code, ERROR_NONE_MAPPED);
  EXPECT_TRUE(SidToText(Sid{{1, 2, 3}}, text)) << "bytes that are no SID";
  ASSERT_FALSE(SidToText(EveryoneSid(), text));
  EXPECT_EQ(text, u"S-1-1-0");
}

TEST(Win32Security, TheOneEntryListGrantsTheAccountFullControl) {
  Sid sid;
  std::u16string domain;
  SidKind kind{};
  ASSERT_FALSE(Security().LookupAccountName(CurrentUser(), sid, domain, kind));
  SingleEntryAccessList list;
  ASSERT_FALSE(Security().BuildSingleEntryAccessList(sid, list));
  auto* acl = reinterpret_cast<PACL>(list.nativeList.data());
  ASSERT_TRUE(IsValidAcl(acl));
  ASSERT_EQ(acl->AceCount, 1);
  void* ace = nullptr;
  ASSERT_TRUE(GetAce(acl, 0, &ace));
  const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
  EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(allowed->Header.AceFlags, 0) << "no inheritance";
  EXPECT_EQ(allowed->Mask, 0x100C0000u);
  EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid.bytes.data()));
  EXPECT_EQ(Security().BuildSingleEntryAccessList(Sid{{1}}, list).code, ERROR_INVALID_SID);
}

TEST(Win32Security, ReadsAFilesListAndItsSecurityThroughTheHandle) {
  support::TempDir dir;
  support::WriteFileBytes(dir.Native("f.txt"), "x");
  CDirectory directory;
  ASSERT_FALSE(Files().OpenDirectory(std::u16string(dir.path().begin(), dir.path().end()), directory));
  CFile file;
  ASSERT_FALSE(Files().OpenFile(directory, u"f.txt", file));
  AccessList list;
  ASSERT_FALSE(Security().ReadAccessList({file.handle.Get(), file.path}, list));
  EXPECT_FALSE(list.entries.empty());
  EXPECT_GE(list.SizeInBytes(), 8u + 8u * list.entries.size()) << "the header's size";
  std::unique_ptr<FileSecurity> security;
  ASSERT_FALSE(ReadFileSecurity({file.handle.Get(), file.path}, security));
  ASSERT_NE(security, nullptr);
  CStagedFile staged;
  ASSERT_FALSE(Files().CreateStaged(directory, staged));
  EXPECT_FALSE(ApplyFileAccessList({staged.handle.Get(), u"staged"}, *security));
}

TEST(Win32Security, RightsAreRaisedAndListedWithTheirNames) {
  ASSERT_FALSE(Security().EnableOwnershipRights()) << "rights the account lacks are no failure";
  std::vector<ProcessRight> rights;
  ASSERT_FALSE(Security().ListProcessRights(rights));
  ASSERT_FALSE(rights.empty());
  for (const ProcessRight& right : rights) {
    EXPECT_EQ(right.name.substr(0, 2), u"Se");
    EXPECT_EQ(right.name.substr(right.name.size() - 9), u"Privilege");
  }
}

}  // namespace
}  // namespace glyphshift::platform
