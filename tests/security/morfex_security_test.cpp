// The ownership options end to end through the built morfex, as root: /keep-owner and
// /keep-dacl, owner-from-prefix with a translation table, and where the diagnostics appear.
#include <acl/libacl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "security/security_fixtures.h"
#include "support/temp_dir.h"

#ifndef MORFEX_PATH
#error "MORFEX_PATH names the built program"
#endif

namespace glyphshift {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::UidOf;

std::string AclText(const std::string& path) {
  acl_t acl = acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
  if (!acl) return "<no acl>";
  char* text = acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE);
  std::string result = text ? text : "<no text>";
  acl_free(text);
  acl_free(acl);
  return result;
}

std::size_t CountOf(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

class MorfexSecurity : public support::TempDirTest {
 protected:
  void SetUp() override { GLYPHSHIFT_REQUIRE_ROOT(); }

  // Runs morfex with the arguments (each passed as one argument); returns its exit status.
  int Run(std::initializer_list<std::string> arguments) {
    std::string command = std::string("'") + MORFEX_PATH + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    command += " </dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string MakeFile(std::string_view name, const char* acl = nullptr) {
    const std::string path = dir_.Native(name);
    support::WriteFileBytes(path, "caf\xE9\n");
    EXPECT_EQ(chmod(path.c_str(), 0644), 0);
    if (acl) {
      EXPECT_EQ(std::system(("setfacl --set '" + std::string(acl) + "' '" + path + "'").c_str()), 0);
    }
    return path;
  }
  void WriteTable(std::string_view text) { support::WriteFileBytes(dir_.Native("table.csv"), text); }
  std::string Log() const { return support::ReadFileText(log_); }
  static struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
  }

  const std::string log_ = dir_.Native("run.log");
};

TEST_F(MorfexSecurity, KeepOwnerAndDaclCarryBothOver) {
  const std::string source = MakeFile("src.txt", "u::rw-,u:daemon:rw-,g::r--,m::rw-,o::---");
  ASSERT_EQ(chown(source.c_str(), UidOf("nobody"), 1), 0);
  ASSERT_EQ(Run({source, "/output=" + dir_.Native("both.txt"), "/keep-owner", "/keep-dacl", "/silent"}), 0);
  EXPECT_EQ(support::ReadFileText(dir_.Native("both.txt")),
            "\xEF\xBB\xBF"
            "caf\xC3\xA9\n");
  EXPECT_EQ(AclText(dir_.Native("both.txt")), "u::rw-,u:daemon:rw-,g::r--,m::rw-,o::---");
  EXPECT_EQ(StatOf(dir_.Native("both.txt")).st_uid, UidOf("nobody"));
  EXPECT_EQ(StatOf(dir_.Native("both.txt")).st_gid, 1u);
}

TEST_F(MorfexSecurity, EachFlagCarriesOnlyItsPart) {
  const std::string source = MakeFile("src.txt", "u::rw-,u:daemon:rw-,g::r--,m::rw-,o::---");
  ASSERT_EQ(chown(source.c_str(), UidOf("nobody"), 1), 0);
  ASSERT_EQ(Run({source, "/output=" + dir_.Native("owner.txt"), "/keep-owner", "/silent"}), 0);
  ASSERT_EQ(Run({source, "/output=" + dir_.Native("dacl.txt"), "/keep-dacl", "/silent"}), 0);
  EXPECT_EQ(StatOf(dir_.Native("owner.txt")).st_uid, UidOf("nobody"));
  EXPECT_EQ(acl_extended_file(dir_.Native("owner.txt").c_str()), 0);
  EXPECT_EQ(StatOf(dir_.Native("dacl.txt")).st_uid, 0u);
  EXPECT_EQ(AclText(dir_.Native("dacl.txt")), "u::rw-,u:daemon:rw-,g::r--,m::rw-,o::---");
}

TEST_F(MorfexSecurity, OwnerFromPrefixInWildcardModeWithDiagnosticsInTheLog) {
  WriteTable("jdoe;EXAMPLE\\nobody\nmm;no-such-account-x\nMM;daemon\n");
  ASSERT_EQ(mkdir(dir_.Native("in").c_str(), 0755), 0);
  MakeFile("in/JDOE_report.txt");
  MakeFile("in/mm-mm-notes.txt");
  MakeFile("in/jdoex-other.txt");
  ASSERT_EQ(Run({dir_.Native("in") + "/*.txt", "/replace", "/private.ofp", "/private.utt=" + dir_.Native("table.csv"),
                 "/log=" + log_, "/loglevel=1"}),
            0);
  EXPECT_EQ(support::ListNames(dir_.Native("in")),
            (std::vector<std::string>{"jdoex-other.txt", "notes.txt", "report.txt"}));
  EXPECT_EQ(StatOf(dir_.Native("in/report.txt")).st_uid, UidOf("nobody"));
  EXPECT_EQ(StatOf(dir_.Native("in/report.txt")).st_mode & 0777, 0700u);
  EXPECT_EQ(StatOf(dir_.Native("in/notes.txt")).st_uid, UidOf("daemon"));
  EXPECT_EQ(StatOf(dir_.Native("in/jdoex-other.txt")).st_uid, 0u);

  const std::string log = Log();
  EXPECT_EQ(CountOf(log, "Privileges: cap_chown = ENABLED (DEFAULT ENABLED)\n"), 1u) << "once before the enumeration";
  EXPECT_THAT(log, HasSubstr("] JDOE_report.txt\n"
                             "SID for user \"EXAMPLE\\nobody\" is \"S-1-22-1-" +
                             std::to_string(UidOf("nobody")) + "\"\nEntries in ACL: 3, Size of ACL: 76 Bytes\n"));
  EXPECT_THAT(log, HasSubstr("LookupAccountName for user \"no-such-account-x\" failed with error code 2\n"
                             "SID for user \"daemon\" is \"S-1-22-1-1\"\n"));
  EXPECT_THAT(log, HasSubstr("Access Allowed for \"other@\" (WellKnown)\n\tREAD CONTROL, SYNCHRONIZE, 0089\n"));
}

TEST_F(MorfexSecurity, SingleFileHandsOverItsDestinationAndKeepingListsRightsTwice) {
  WriteTable("jdoe;nobody\n");
  const std::string source = MakeFile("source.txt");
  ASSERT_EQ(mkdir(dir_.Native("out").c_str(), 0755), 0);
  ASSERT_EQ(Run({source, "/output=" + dir_.Native("out/jdoe-copy.txt"), "/keep-owner", "/private.ofp",
                 "/private.utt=" + dir_.Native("table.csv"), "/log=" + log_, "/loglevel=1"}),
            0);
  EXPECT_EQ(support::ListNames(dir_.Native("out")), std::vector<std::string>{"copy.txt"});
  EXPECT_EQ(StatOf(dir_.Native("out/copy.txt")).st_uid, UidOf("nobody"));
  EXPECT_EQ(StatOf(source).st_uid, 0u);
  EXPECT_EQ(CountOf(Log(), "Privileges: cap_chown = "), 2u);
}

TEST_F(MorfexSecurity, WithoutALogLevelTheDiagnosticsAreDiscardedButOwnershipChanges) {
  WriteTable("jdoe;nobody\n");
  MakeFile("jdoe-a.txt");
  ASSERT_EQ(Run({dir_.Native("jdoe-a.txt"), "/replace", "/private.ofp", "/private.utt=" + dir_.Native("table.csv"),
                 "/log=" + log_}),
            0);
  EXPECT_EQ(StatOf(dir_.Native("a.txt")).st_uid, UidOf("nobody"));
  EXPECT_THAT(Log(), HasSubstr("Success:"));
  EXPECT_THAT(Log(), Not(HasSubstr("Privileges:")));
  EXPECT_THAT(Log(), Not(HasSubstr("SID for user")));
}

TEST_F(MorfexSecurity, FailedConversionHandsNothingOver) {
  WriteTable("jdoe;nobody\n");
  ASSERT_EQ(Run({dir_.Native("jdoe-missing.txt"), "/replace", "/private.ofp",
                 "/private.utt=" + dir_.Native("table.csv"), "/log=" + log_, "/loglevel=1"}),
            2);
  EXPECT_THAT(Log(), Not(HasSubstr("Privileges:")));
  EXPECT_THAT(Log(), Not(HasSubstr("SID for user")));
}

}  // namespace
}  // namespace glyphshift
