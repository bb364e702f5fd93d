// Owner-from-prefix without root: matching, renaming and the diagnostics, over real temporary
// files and a double of the security services.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/native_text.h"
#include "platform/streams.h"
#include "security/helper.h"
#include "security/privileges.h"
#include "security/security_fixtures.h"
#include "security/user_translation_table.h"
#include "support/faulty_files.h"

namespace glyphshift {
namespace {

using testing::CapturedDiagnostics;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FakeSecurity;
using ::testing::HasSubstr;

bool Matches(std::u16string_view base, std::u16string_view prefix) {
  return CUserTranslationTable::PrefixMatches(base, prefix);
}

TEST(PrefixMatches, NeedsSeparatorOrEndAfterThePrefix) {
  for (char16_t separator : std::u16string_view(u"-_.#,;")) {
    EXPECT_TRUE(Matches(std::u16string(u"jdoe") + separator + u"report", u"jdoe")) << char(separator);
  }
  EXPECT_TRUE(Matches(u"jdoe", u"jdoe")) << "name ends right after the prefix";
  EXPECT_FALSE(Matches(u"jdoex-report", u"jdoe"));
  EXPECT_FALSE(Matches(u"jdoe report", u"jdoe")) << "a blank is no separator";
  EXPECT_FALSE(Matches(u"jdoe+report", u"jdoe"));
  EXPECT_FALSE(Matches(u"jdo", u"jdoe")) << "name shorter than the prefix";
  EXPECT_FALSE(Matches(u"xjdoe-report", u"jdoe")) << "only at the start";
}

TEST(PrefixMatches, FoldsCaseOfAsciiLettersOnly) {
  EXPECT_TRUE(Matches(u"JDOE_report", u"jdoe"));
  EXPECT_TRUE(Matches(u"jdoe_report", u"JdOe"));
  EXPECT_TRUE(Matches(u"\u00E4doe-x", u"\u00E4doe"));
  EXPECT_FALSE(Matches(u"\u00C4doe-x", u"\u00E4doe")) << "A-umlaut is outside A to Z";
  EXPECT_FALSE(Matches(u"@doe-x", u"`doe")) << "0x40 and 0x60 are no letters";
  EXPECT_FALSE(Matches(u"[doe-x", u"{doe")) << "0x5B and 0x7B are no letters";
}

class OwnerFromPrefix : public support::TempDirTest {
 protected:
  void SetUp() override {
    security_.AddAccount(u"EXAMPLE\\jdoe", {platform::UserSid(1000), u"jdoe", u"host", platform::SidKind::User});
    security_.AddAccount(u"staff", {platform::GroupSid(50), u"staff", u"host", platform::SidKind::Group});
  }
  void WriteTable(std::string_view text) { support::WriteFileBytes(dir_.Native("table.csv"), text); }
  // Converts nothing: creates the "converted" file and runs the operation on it, as the run
  // does on the file it wrote: through its open handle and its directory.
  std::u16string Apply(std::string_view fileName, bool rename = true) {
    support::WriteFileBytes(dir_.Native(fileName), "converted");
    std::u16string path = dir_.Path(fileName);
    platform::CDirectory directory;
    platform::CFile file;
    const std::u16string name = platform::FromNative(fileName);
    EXPECT_FALSE(platform::Files().OpenDirectory(platform::FromNative(dir_.path()), directory));
    EXPECT_FALSE(platform::Files().OpenFile(directory, name, file));
    COwnerTarget target{&directory, name, file.handle.Get(), file.status.id};
    CUserTranslationTable table(dir_.Path("table.csv"), &path);
    table.target = &target;
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(table.ApplyOwnerFromPrefix(rename));
    platform::FlushStreams();
    printed_ = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(target.name, path.substr(path.rfind(u'/') + 1));
    return path;
  }
  std::string Native(std::string_view name) const { return dir_.Native(name); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names = support::ListNames(dir_.path());
    std::erase(names, "table.csv");
    return names;
  }

  FakeSecurity security_;
  CapturedDiagnostics diagnostics_;
  std::string printed_;  // what the operation printed on standard output
};

TEST_F(OwnerFromPrefix, CutsPrefixAndSeparatorThenHandsOver) {
  WriteTable("jdoe;EXAMPLE\\jdoe\n");
  EXPECT_EQ(Apply("jdoe-report.txt"), dir_.Path("report.txt"));
  EXPECT_THAT(Files(), ElementsAre("report.txt"));
  EXPECT_EQ(support::ReadFileText(Native("report.txt")), "converted");
  EXPECT_THAT(security_.calls,
              ElementsAre("read " + Native("report.txt"), "acl " + Native("report.txt") + " S-1-22-1-1000",
                          "owner " + Native("report.txt") + " S-1-22-1-1000"));
  EXPECT_EQ(diagnostics_.Text(),
            "SID for user \"EXAMPLE\\jdoe\" is \"S-1-22-1-1000\"\n"
            "Entries in ACL: 0, Size of ACL: 0 Bytes\n");
}

TEST_F(OwnerFromPrefix, NameAndExtensionCases) {
  WriteTable("jdoe;EXAMPLE\\jdoe\n");
  EXPECT_EQ(Apply("JDOE_a.b.txt"), dir_.Path("a.b.txt")) << "ASCII case folded; only the last extension is cut off";
  EXPECT_EQ(Apply("jdoe.txt"), dir_.Path("txt")) << "prefix and the extension's dot are cut";
  EXPECT_EQ(Apply("jdoe"), dir_.Path("jdoe")) << "nothing after the prefix: the name stays";
  EXPECT_EQ(Apply("jdoe-"), dir_.Path("jdoe-")) << "nothing would be left of the name";
  EXPECT_EQ(Apply("jdoe-.x"), dir_.Path(".x"));
  std::vector<std::string> expected = {".x", "a.b.txt", "jdoe", "jdoe-", "txt"};
#ifndef _WIN32  // Windows drops a trailing dot from every name: there "jdoe-." cannot exist
  EXPECT_EQ(Apply("jdoe-."), dir_.Path("jdoe-.")) << "'.' would name the directory";
  expected.insert(expected.begin() + 4, "jdoe-.");
#endif
  EXPECT_THAT(Files(), ElementsAreArray(expected));
  EXPECT_EQ(std::count_if(security_.calls.begin(), security_.calls.end(),
                          [](const std::string& call) { return call.starts_with("owner "); }),
            static_cast<std::ptrdiff_t>(expected.size()));
}

TEST_F(OwnerFromPrefix, RenameFalseKeepsTheName) {
  WriteTable("jdoe;EXAMPLE\\jdoe\n");
  EXPECT_EQ(Apply("jdoe-report.txt", false), dir_.Path("jdoe-report.txt"));
  EXPECT_THAT(security_.calls, ElementsAre(HasSubstr("read "), HasSubstr("acl "), HasSubstr("owner ")));
}

TEST_F(OwnerFromPrefix, NoMatchOrNoTableLeavesTheFileAloneSilently) {
  WriteTable("jdoe;EXAMPLE\\jdoe\njd;staff\n");
  EXPECT_EQ(Apply("jdoex-report.txt"), dir_.Path("jdoex-report.txt"));
  std::remove(Native("table.csv").c_str());
  EXPECT_EQ(Apply("jdoe-report.txt"), dir_.Path("jdoe-report.txt"));
  EXPECT_THAT(Files(), ElementsAre("jdoe-report.txt", "jdoex-report.txt"));
  EXPECT_TRUE(security_.calls.empty());
  EXPECT_EQ(diagnostics_.Text(), "");
}

TEST_F(OwnerFromPrefix, FirstMatchingResolvableEntryWins) {
  WriteTable("jd;nobody-here\njdoe;staff\njdoe;EXAMPLE\\jdoe\n");
  EXPECT_EQ(Apply("jdoe-x.txt"), dir_.Path("x.txt")) << "jd does not match: 'o' follows it";
  EXPECT_THAT(security_.calls,
              ElementsAre(HasSubstr("read "), HasSubstr("acl "), "owner " + Native("x.txt") + " S-1-22-2-50"));
  EXPECT_THAT(diagnostics_.Text(), HasSubstr("SID for user \"staff\" is \"S-1-22-2-50\"\n"));
}

TEST_F(OwnerFromPrefix, UnresolvableAccountThenLaterMatchMovesTheFileAgain) {
  security_.lookupError = ENOENT;
  WriteTable("jdoe;nobody-here\nJDOE;EXAMPLE\\jdoe\n");
  EXPECT_EQ(Apply("jdoe-jdoe-report.txt"), dir_.Path("report.txt"));
  EXPECT_THAT(Files(), ElementsAre("report.txt"));
  EXPECT_EQ(security_.calls.back(), "owner " + Native("report.txt") + " S-1-22-1-1000");
  EXPECT_THAT(diagnostics_.Text(), ::testing::StartsWith("LookupAccountName for user \"nobody-here\" failed with "
                                                         "error code 2\nSID for user \"EXAMPLE\\jdoe\" is"));
}

TEST_F(OwnerFromPrefix, OnlyUnresolvableAccountsMoveButHandNothingOver) {
  WriteTable("jdoe;ghost\n");
  EXPECT_EQ(Apply("jdoe-report.txt"), dir_.Path("report.txt"));
  EXPECT_TRUE(security_.calls.empty());
  EXPECT_EQ(diagnostics_.Text(), "LookupAccountName for user \"ghost\" failed with error code 2\n");
}

TEST_F(OwnerFromPrefix, SecondLookupFailureEndsTheOperationAfterItsMessage) {
  security_.secondLookupError = 13;
  WriteTable("jdoe;EXAMPLE\\jdoe\n");
  EXPECT_EQ(Apply("jdoe-report.txt"), dir_.Path("report.txt"));
  EXPECT_TRUE(security_.calls.empty()) << "no dump, no hand-over with an unknown SID";
  EXPECT_EQ(diagnostics_.Text(), "LookupAccountName for user \"EXAMPLE\\jdoe\" failed with error code 13\n");
}

TEST_F(OwnerFromPrefix, FailedMoveKeepsWorkingOnTheFileWhereItIs) {
  WriteTable("jdoe;EXAMPLE\\jdoe\n");
  support::WriteFileBytes(Native("report.txt"), "someone else's");
  support::FaultyFiles files;
  files.Fail(support::FileOp::Rename, EACCES);
  EXPECT_EQ(Apply("jdoe-report.txt"), dir_.Path("jdoe-report.txt"));
  EXPECT_EQ(support::ReadFileText(Native("report.txt")), "someone else's");
  EXPECT_EQ(security_.calls.back(), "owner " + Native("jdoe-report.txt") + " S-1-22-1-1000")
      << "the file that happens to carry the new name is not handed over";
}

// The file of the new name may be a source still to be converted, or anybody's: it stays, and
// the converted file keeps its prefixed name, saying so, and is still handed over.
TEST_F(OwnerFromPrefix, NeverRenamesOverAnExistingFile) {
  WriteTable("jdoe;EXAMPLE\\jdoe\n");
  support::WriteFileBytes(Native("report.txt"), "old");
  EXPECT_EQ(Apply("jdoe-report.txt"), dir_.Path("jdoe-report.txt"));
  EXPECT_EQ(printed_, "\"jdoe-report.txt\" keeps its name: \"report.txt\" already exists.\n");
  EXPECT_EQ(support::ReadFileText(Native("report.txt")), "old");
  EXPECT_EQ(security_.calls.back(), "owner " + Native("jdoe-report.txt") + " S-1-22-1-1000");
}

TEST_F(OwnerFromPrefix, DumpsEachEntryWithFlagsTypeAccountAndRights) {
  security_.AddAccount(u"dom", {platform::GroupSid(7), u"corp", u"", platform::SidKind::Domain});
  security_.accessList.entries = {
      {0, 0x1F, 0x1F01FF, platform::UserSid(1000)},
      {1, 0x00, 0x120089, platform::GroupSid(7)},
      {0, 0x10, 0xF2000000, platform::UserSid(4242)},  // nobody has this SID
      {5, 0x02, 0x00000003, platform::UserSid(1000)},
      {2, 0x00, 0x00000001, platform::UserSid(1000)},  // audit: heading only
  };
  WriteTable("jdoe;EXAMPLE\\jdoe\n");
  Apply("jdoe-r.txt");
  EXPECT_EQ(diagnostics_.Text(),
            "SID for user \"EXAMPLE\\jdoe\" is \"S-1-22-1-1000\"\n"
            "Entries in ACL: 5, Size of ACL: 128 Bytes\n"
            "ACE Entry 0\n"
            "\tFlags: CONTAINER INHERIT, INHERIT ONLY, INHERITED, NO PROPAGATE INHERIT, OBJECT INHERIT, \n"
            "\tType: 0\n"
            "Access Allowed for \"jdoe@host\" (Benutzer)\n"
            "\tDELETE, READ CONTROL, WRITE DAC, WRITE OWNER, SYNCHRONIZE, 01ff\n"
            "ACE Entry 1\n"
            "\tFlags: \n"
            "\tType: 0x1\n"
            "Access Denied for \"corp@\" (Dom\xC3\xA4ne)\n"
            "\tREAD CONTROL, SYNCHRONIZE, 0089\n"
            "ACE Entry 2\n"
            "\tFlags: INHERITED, \n"
            "\tType: 0\n"
            "Access Allowed for \"@\" (Benutzer)\n"
            "\tGENERIC READ, GENERIC WRITE, GENERIC EXECUTE, GENERIC ALL, MAXIMUM ALLOWED, 0000\n"
            "ACE Entry 3\n"
            "\tFlags: CONTAINER INHERIT, \n"
            "\tType: 0x5\n"
            "0003\n"
            "ACE Entry 4\n"
            "\tFlags: \n"
            "\tType: 0x2\n");
}

class TakeOwnerShipFailures : public ::testing::Test {
 protected:
  // The diagnostics with each source line number shown as N.
  std::string Reported() const {
    const std::string text = diagnostics_.Text();
    std::string shown;
    bool afterLocation = false;  // within the digits after "TakeOwnerShip:"
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool digit = text[i] >= '0' && text[i] <= '9';
      if (afterLocation && digit) continue;
      afterLocation = false;
      shown += text[i];
      if (shown.ends_with("TakeOwnerShip:")) {
        shown += 'N';
        afterLocation = true;
      }
    }
    return shown;
  }

  FakeSecurity security_;
  CapturedDiagnostics diagnostics_;
  const platform::Sid sid_ = platform::UserSid(1000);
};

TEST_F(TakeOwnerShipFailures, EveryStepIsTriedAndReportedWithItsLocation) {
  security_.writeError = 1;
  security_.ownerError = 22;
  EXPECT_FALSE(TakeOwnerShip({platform::CHandle::kInvalid, u"/f"}, sid_));
  EXPECT_THAT(security_.calls, ElementsAre("acl /f S-1-22-1-1000", "owner /f S-1-22-1-1000"));
  EXPECT_EQ(Reported(),
            "helper.TakeOwnerShip:N - SetNamedSecurityInfo(SET ACL): Failed with error 1\n"
            "helper.TakeOwnerShip:N - SetNamedSecurityInfo(TAKE OWNERSHIP): Failed with error 22\n");
}

TEST_F(TakeOwnerShipFailures, UnbuiltListIsNotWrittenButTheOwnerIsStillSet) {
  security_.buildError = 22;
  EXPECT_FALSE(TakeOwnerShip({platform::CHandle::kInvalid, u"/f"}, sid_));
  EXPECT_THAT(security_.calls, ElementsAre("owner /f S-1-22-1-1000"));
  EXPECT_EQ(Reported(), "helper.TakeOwnerShip:N - SetEntriesInAcl: Failed with error 22\n");
}

TEST_F(TakeOwnerShipFailures, SuccessIsSilent) {
  EXPECT_TRUE(TakeOwnerShip({platform::CHandle::kInvalid, u"/f"}, sid_));
  EXPECT_EQ(diagnostics_.Text(), "");
}

TEST(EnableSecurityPrivileges, FirstMatchingRowDecidesEachLine) {
  FakeSecurity security;
  CapturedDiagnostics diagnostics;
  security.rights = {
      {u"a", true, true, false},  {u"b", false, true, false},  {u"c", true, false, false},
      {u"d", false, false, true}, {u"e", false, false, false}, {u"f", false, true, true},  // removed, yet by default
  };
  EnableSecurityPrivileges();
  EXPECT_THAT(security.calls, ElementsAre("enable"));
  EXPECT_EQ(diagnostics.Text(),
            "Privileges: a = ENABLED (DEFAULT ENABLED)\n"
            "Privileges: b = DISABLED (DEFAULT ENABLED)\n"
            "Privileges: c = ENABLED\n"
            "Privileges: d = REMOVED\n"
            "Privileges: e = DISABLED\n"
            "Privileges: f = DISABLED (DEFAULT ENABLED)\n");
}

TEST(EnableSecurityPrivileges, FailuresAreReportedAndTheListingStillTried) {
  FakeSecurity security;
  CapturedDiagnostics diagnostics;
  security.enableError = 1;
  security.rights = {{u"cap_chown", false, false, false}};
  EnableSecurityPrivileges();
  security.listError = 12;
  EnableSecurityPrivileges();
  EXPECT_EQ(diagnostics.Text(),
            "AdjustTokenPrivileges failed with error code 1\n"
            "Privileges: cap_chown = DISABLED\n"
            "AdjustTokenPrivileges failed with error code 1\n"
            "GetTokenInformation: Failed with error code 12\n");
}

}  // namespace
}  // namespace glyphshift
