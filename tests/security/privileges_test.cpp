// EnableSecurityPrivileges on the real process, as root, against libcap's own view of it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/capability.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "security/privileges.h"
#include "security/security_fixtures.h"

namespace glyphshift {
namespace {

using testing::CapturedDiagnostics;
using ::testing::HasSubstr;

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

class Privileges : public ::testing::Test {
 protected:
  void SetUp() override { GLYPHSHIFT_REQUIRE_ROOT(); }
  void TearDown() override {
    // Leave every permitted capability effective again, as the process started.
    if (geteuid() == 0) cap_set_proc(kStartCaps);
  }
};

TEST_F(Privileges, PrivilegesRaiseTheFourAndListThePermittedSetAsLibcapSeesIt) {
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

TEST_F(Privileges, CapabilitiesNotPermittedAreNeitherRaisedNorListed) {
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
    const bool ok = text == ExpectedPrivilegeLines() && text.find("cap_fowner") == std::string::npos && !text.empty() &&
                    !Flag(now, CAP_FOWNER, CAP_EFFECTIVE);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the listing showed cap_fowner, raised it, or differed from libcap";
}

}  // namespace
}  // namespace glyphshift
