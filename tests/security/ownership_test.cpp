// The ownership features on the real system, as root: the rights listing against libcap's own
// view, TakeOwnerShip and owner-from-prefix handing files to real accounts.
#include <acl/libacl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/capability.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/native_text.h"
#include "security/helper.h"
#include "security/privileges.h"
#include "security/security_fixtures.h"
#include "security/user_translation_table.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::CapturedDiagnostics;
using testing::UidOf;

// The capabilities as this process started, read before main() and before any test changes them.
const cap_t kStartCaps = cap_get_proc();

bool Flag(cap_t caps, cap_value_t value, cap_flag_t set) {
  cap_flag_value_t flag = CAP_CLEAR;
  return cap_get_flag(caps, value, set, &flag) == 0 && flag == CAP_SET;
}

void SetEffective(std::initializer_list<cap_value_t> values, cap_flag_value_t state) {
  cap_t caps = cap_get_proc();
  ASSERT_NE(caps, nullptr);
  for (cap_value_t value : values) ASSERT_EQ(cap_set_flag(caps, CAP_EFFECTIVE, 1, &value, state), 0);
  ASSERT_EQ(cap_set_proc(caps), 0);
  cap_free(caps);
}

// The lines the listing must print, computed from libcap's view of the process now.
std::string ExpectedPrivilegeLines() {
  std::string lines;
  cap_t now = cap_get_proc();
  for (cap_value_t value = 0; value < cap_max_bits(); ++value) {
    if (!Flag(now, value, CAP_PERMITTED)) continue;
    char* name = cap_to_name(value);
    const bool byDefault = Flag(kStartCaps, value, CAP_EFFECTIVE);
    const bool enabled = Flag(now, value, CAP_EFFECTIVE);
    lines += std::string("Privileges: ") + name + " = " + (enabled ? "ENABLED" : "DISABLED") +
             (byDefault ? " (DEFAULT ENABLED)" : "") + "\n";
    cap_free(name);
  }
  cap_free(now);
  return lines;
}

class Ownership : public support::TempDirTest {
 protected:
  void SetUp() override { GLYPHSHIFT_REQUIRE_ROOT(); }
  void TearDown() override {
    // Leave every permitted capability effective again, as the process started.
    if (geteuid() == 0) cap_set_proc(kStartCaps);
  }
  std::string MakeFile(std::string_view name) {
    const std::string path = dir_.Native(name);
    support::WriteFileBytes(path, "x");
    EXPECT_EQ(chmod(path.c_str(), 0644), 0);
    return path;
  }
  static struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
  }
};

TEST_F(Ownership, PrivilegesRaiseTheFourAndListThePermittedSetAsLibcapSeesIt) {
  ASSERT_TRUE(Flag(kStartCaps, CAP_CHOWN, CAP_PERMITTED)) << "root without cap_chown";
  SetEffective({CAP_CHOWN, CAP_DAC_READ_SEARCH, CAP_KILL}, CAP_CLEAR);
  CapturedDiagnostics diagnostics;
  EnableSecurityPrivileges();
  const std::string text = diagnostics.Text();
  EXPECT_EQ(text, ExpectedPrivilegeLines());
  EXPECT_THAT(text, HasSubstr("Privileges: cap_chown = ENABLED (DEFAULT ENABLED)\n"));
  EXPECT_THAT(text, HasSubstr("Privileges: cap_dac_read_search = ENABLED (DEFAULT ENABLED)\n"));
  EXPECT_THAT(text, HasSubstr("Privileges: cap_kill = DISABLED (DEFAULT ENABLED)\n")) << "not one of the four";
}

TEST_F(Ownership, CapabilitiesNotPermittedAreNeitherRaisedNorListed) {
  // Dropping a permitted capability is for good, so a child process does it.
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    cap_t caps = cap_get_proc();
    const cap_value_t fowner = CAP_FOWNER;
    cap_set_flag(caps, CAP_EFFECTIVE, 1, &fowner, CAP_CLEAR);
    cap_set_flag(caps, CAP_PERMITTED, 1, &fowner, CAP_CLEAR);
    if (cap_set_proc(caps) != 0) _exit(2);
    std::string text;
    {
      CapturedDiagnostics diagnostics;
      EnableSecurityPrivileges();
      text = diagnostics.Text();
    }
    cap_t now = cap_get_proc();
    const bool ok = text == ExpectedPrivilegeLines() && text.find("cap_fowner") == std::string::npos &&
                    !text.empty() && !Flag(now, CAP_FOWNER, CAP_EFFECTIVE);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the listing showed cap_fowner, raised it, or differed from libcap";
}

TEST_F(Ownership, TakeOwnerShipLeavesTheAccountAloneWithFullAccess) {
  const std::string file = MakeFile("f");
  acl_t acl = acl_from_text("u::rw-,u:daemon:rw-,g::r--,m::rw-,o::r--");
  ASSERT_EQ(acl_set_file(file.c_str(), ACL_TYPE_ACCESS, acl), 0);
  acl_free(acl);
  CapturedDiagnostics diagnostics;
  EXPECT_TRUE(TakeOwnerShip(platform::FromNative(file), platform::UserSid(UidOf("nobody"))));
  EXPECT_EQ(StatOf(file).st_uid, UidOf("nobody"));
  EXPECT_EQ(StatOf(file).st_mode & 0777, 0700u);
  EXPECT_EQ(acl_extended_file(file.c_str()), 0);
  EXPECT_EQ(diagnostics.Text(), "");
}

TEST_F(Ownership, OwnerFromPrefixRenamesAndHandsOverToRealAccounts) {
  support::WriteFileBytes(dir_.Native("table.csv"), "jdoe;EXAMPLE\\nobody\nmm;no-such-account-x\nMM;daemon\n");
  CUserTranslationTable table(dir_.Path("table.csv"), nullptr);
  ASSERT_EQ(table.count, 3u);
  CapturedDiagnostics diagnostics;

  std::u16string path = platform::FromNative(MakeFile("JDOE_report.txt"));
  table.path = &path;
  table.ApplyOwnerFromPrefix(true);
  EXPECT_EQ(path, dir_.Path("report.txt"));
  EXPECT_EQ(StatOf(dir_.Native("report.txt")).st_uid, UidOf("nobody"));
  EXPECT_EQ(StatOf(dir_.Native("report.txt")).st_mode & 0777, 0700u);

  path = platform::FromNative(MakeFile("mm-mm-notes.txt"));
  table.ApplyOwnerFromPrefix(true);
  EXPECT_EQ(path, dir_.Path("notes.txt"));
  EXPECT_EQ(StatOf(dir_.Native("notes.txt")).st_uid, UidOf("daemon"));
  EXPECT_EQ(support::ListNames(dir_.path()), (std::vector<std::string>{"notes.txt", "report.txt", "table.csv"}));

  const std::string text = diagnostics.Text();
  EXPECT_THAT(text, HasSubstr("SID for user \"EXAMPLE\\nobody\" is \"S-1-22-1-" + std::to_string(UidOf("nobody")) +
                              "\"\nEntries in ACL: 3, Size of ACL: 76 Bytes\nACE Entry 0\n\tFlags: \n\tType: 0\n"
                              "Access Allowed for \"root@"));
  EXPECT_THAT(text, HasSubstr("\" (Benutzer)\n\tREAD CONTROL, SYNCHRONIZE, 019f\n"));  // rw-
  EXPECT_THAT(text, HasSubstr("LookupAccountName for user \"no-such-account-x\" failed with error code 2\n"));
  EXPECT_THAT(text, HasSubstr("Access Allowed for \"other@\" (WellKnown)\n"));
}

TEST_F(Ownership, OwnerFromPrefixToAGroupGivesTheFileToThatGroup) {
  const char* kGroup = "nogroup";
  support::WriteFileBytes(dir_.Native("table.csv"), std::string("team;") + kGroup + "\n");
  std::u16string path = platform::FromNative(MakeFile("team#plan.txt"));
  CUserTranslationTable table(dir_.Path("table.csv"), &path);
  table.ApplyOwnerFromPrefix(true);
  EXPECT_EQ(path, dir_.Path("plan.txt"));
  const struct stat st = StatOf(dir_.Native("plan.txt"));
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_gid, getgrnam(kGroup)->gr_gid);
  EXPECT_EQ(st.st_mode & 0777, 0070u);
}

}  // namespace
}  // namespace glyphshift
