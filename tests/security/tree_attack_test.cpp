// Root runs ordinary command lines over a tree that an unprivileged account ("nobody") owns and
// changes while the run works. Whatever that account plants or swaps in, no file outside what
// was asked may be read out, written, created, handed over or have its rights changed.
#include <acl/libacl.h>
#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string>

#include "e2e/morfex_runner.h"
#include "security/security_fixtures.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

using e2e::RunMorfex;

const std::string kSecret = "root's secret \xE9\n";

// What an attack could change about a file.
struct FileState {
  std::string bytes;
  uid_t uid = 0;
  gid_t gid = 0;
  mode_t mode = 0;
  std::string acl;
  bool operator==(const FileState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const FileState& s) {
  return out << "uid " << s.uid << " gid " << s.gid << " mode " << std::oct << s.mode << std::dec << " acl " << s.acl
             << " bytes " << s.bytes.size();
}

FileState StateOf(const std::string& path) {
  FileState state;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return state;
  state = {support::ReadFileText(path), st.st_uid, st.st_gid, st.st_mode, ""};
  if (acl_t acl = acl_get_file(path.c_str(), ACL_TYPE_ACCESS)) {
    char* text = acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE);
    state.acl = text ? text : "";
    acl_free(text);
    acl_free(acl);
  }
  return state;
}

class TreeAttack : public support::TempDirTest {
 protected:
  void SetUp() override {
    GLYPHSHIFT_REQUIRE_ROOT();
    attacker_ = testing::UidOf("nobody");
    if (attacker_ == static_cast<uid_t>(-1)) GTEST_SKIP() << "no account \"nobody\" to attack with";
    // The attacker must reach its tree; everything of root's stays private.
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
    MakeDir("tree", attacker_);
    ASSERT_EQ(::mkdir(P("vault").c_str(), 0700), 0);
    for (const char* name : {"victim.txt", "vault/a.txt", "vault/b.txt"}) {
      support::WriteFileBytes(P(name), kSecret);
      ASSERT_EQ(::chmod(P(name).c_str(), 0600), 0);
      victims_.emplace_back(name, StateOf(P(name)));
    }
  }
  void TearDown() override { ExpectVictimsUntouched(); }

  std::string P(const std::string& name) const { return dir_.Native(name); }
  void MakeDir(const std::string& name, uid_t owner) {
    ASSERT_EQ(::mkdir(P(name).c_str(), 0755), 0);
    ASSERT_EQ(::chown(P(name).c_str(), owner, owner), 0);
  }
  // A file or link of the attacker's, as if the attacker had made it.
  void Plant(const std::string& name, const std::string& content) {
    support::WriteFileBytes(P(name), content);
    ASSERT_EQ(::chown(P(name).c_str(), attacker_, attacker_), 0);
  }
  void PlantLink(const std::string& target, const std::string& name) {
    ASSERT_EQ(::symlink(target.c_str(), P(name).c_str()), 0);
    ASSERT_EQ(::lchown(P(name).c_str(), attacker_, attacker_), 0);
  }
  int Run(const std::vector<std::string>& arguments) { return RunMorfex(arguments, dir_.path(), 60).status; }

  // Runs `step` over and over as the attacker until the object ends.
  class CAttacker {
   public:
    CAttacker(uid_t uid, std::function<void()> step) {
      pid_ = ::fork();
      if (pid_ == 0) {
        if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(99);
        for (;;) step();
      }
    }
    ~CAttacker() {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    CAttacker(const CAttacker&) = delete;
    CAttacker& operator=(const CAttacker&) = delete;

   private:
    pid_t pid_;
  };

  // Repeats a run for a bounded time while the attacker works; the number of runs.
  int RaceFor(std::chrono::milliseconds duration, const std::vector<std::string>& arguments) {
    int runs = 0;
    for (const auto end = std::chrono::steady_clock::now() + duration; std::chrono::steady_clock::now() < end; ++runs) {
      Run(arguments);
    }
    return runs;
  }

  void ExpectVictimsUntouched() {
    for (const auto& [name, state] : victims_) EXPECT_EQ(StateOf(P(name)), state) << name;
    EXPECT_FALSE(support::PathExists(P("created-by-root.txt")));
  }

  uid_t attacker_ = 0;
  std::vector<std::pair<std::string, FileState>> victims_;
};

// Links planted where root's run looks: at derived destination names, in listings, at the log
// and at a name owner-from-prefix hands over. None is followed.
TEST_F(TreeAttack, PlantedLinksLeadNowhere) {
  Plant("tree/notes.txt", "chosen text");
  PlantLink(P("victim.txt"), "tree/notes.utf-8.txt");
  Plant("tree/other.txt", "chosen text");
  PlantLink(P("created-by-root.txt"), "tree/other.utf-8.txt");
  EXPECT_EQ(Run({"tree/notes.txt", "/scs=ansi"}), 0);
  EXPECT_EQ(Run({"tree/other.txt", "/scs=ansi"}), 0);

  PlantLink(P("victim.txt"), "tree/grab.txt");
  PlantLink(P("vault/a.txt"), "tree/nobody-give.txt");
  support::WriteFileBytes(P("table.csv"), "nobody;nobody\n");
  MakeDir("out", 0);
  EXPECT_EQ(Run({"tree/*.txt", "/scs=ansi", "/replace", "/private.ofp", "/private.utt=" + P("table.csv")}), 0);
  EXPECT_EQ(Run({"tree/*.txt", "/scs=ansi", "/output=" + P("out"), "/keep-owner", "/keep-dacl"}), 0);
  for (const std::string& name : support::ListNames(P("out"))) {
    EXPECT_EQ(support::ReadFileText(P("out/" + name)).find("secret"), std::string::npos) << name << " copies a secret";
  }

  PlantLink(P("victim.txt"), "tree/run.log");
  EXPECT_EQ(Run({"tree/notes.txt", "/scs=ansi", "/log=" + P("tree/run.log")}), 255);
}

// A file the attacker planted at a destination's name, beside the source or in an output
// folder, does not decide who may read root's copy: that gets a new file's owner and mode.
TEST_F(TreeAttack, APlantedDestinationDoesNotDecideWhoReadsTheCopy) {
  MakeDir("tree/out", attacker_);
  support::WriteFileBytes(P("s.txt"), kSecret);
  support::WriteFileBytes(P("tree/t.txt"), kSecret);
  for (const char* name : {"s.txt", "tree/t.txt"}) ASSERT_EQ(::chmod(P(name).c_str(), 0600), 0);
  for (const char* name : {"tree/out/s.txt", "tree/t.utf-8.txt"}) {
    Plant(name, "planted");
    ASSERT_EQ(::chmod(P(name).c_str(), 0666), 0);
  }
  const struct {
    std::vector<std::string> arguments;
    const char* output;
  } cases[] = {{{P("s.txt"), "/output=" + P("tree/out")}, "tree/out/s.txt"}, {{P("tree/t.txt")}, "tree/t.utf-8.txt"}};
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/scs=ansi");
    const e2e::RunResult r = RunMorfex(arguments, dir_.path(), 60);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"" + P(c.output) +
                         "\" replaced a file that let other accounts read or write more than its "
                         "source did: it has the owner and mode of a new file.\n"),
              std::string::npos)
        << r.out;
    const FileState state = StateOf(P(c.output));
    EXPECT_EQ(state.uid, 0u) << c.output;
    EXPECT_EQ(state.mode & 07777, 0600u) << c.output;
    EXPECT_EQ(state.acl, "u::rw-,g::---,o::---") << c.output;
  }
}

// The owner-from-prefix table names who gets each file: one the attacker owns or may change,
// or one named through the attacker's link, is refused before anything is converted.
TEST_F(TreeAttack, ATableOthersMayChangeHandsNothingOver) {
  Plant("tree/nobody-a.txt", "a");
  support::WriteFileBytes(P("mode.csv"), "nobody;root\n");
  ASSERT_EQ(::chmod(P("mode.csv").c_str(), 0666), 0);
  support::WriteFileBytes(P("roots.csv"), "nobody;root\n");
  Plant("tree/owned.csv", "nobody;root\n");
  PlantLink(P("roots.csv"), "tree/link.csv");
  const FileState before = StateOf(P("tree/nobody-a.txt"));
  for (const char* table : {"tree/owned.csv", "mode.csv", "tree/link.csv"}) {
    for (const char* source : {"tree/nobody-a.txt", "tree/*.txt"}) {
      const e2e::RunResult r =
          RunMorfex({source, "/scs=ansi", "/replace", "/private.ofp", "/private.utt=" + P(table)}, dir_.path(), 60);
      EXPECT_EQ(r.status, 255) << table << " " << source;
      EXPECT_NE(r.out.find("The user translation table \"" + P(table) + "\" is not used: "), std::string::npos)
          << r.out;
      EXPECT_EQ(r.out.find("Success"), std::string::npos) << r.out;
    }
  }
  EXPECT_EQ(StateOf(P("tree/nobody-a.txt")), before);

  // root's own table, that nobody else may change, is used.
  EXPECT_EQ(Run({"tree/nobody-a.txt", "/scs=ansi", "/replace", "/private.ofp", "/private.utt=" + P("roots.csv")}), 0);
  EXPECT_EQ(StateOf(P("tree/a.txt")).uid, 0u);
}

// Links on the paths root names (source, /output=, /log=, a pattern's folder) are followed only
// when they belong to root or to the owner of what they lead to, through folders no other
// account may write (a sticky folder of root's aside); otherwise the run stops before it reads
// or writes anything.
TEST_F(TreeAttack, NamedLinksAreFollowedOnlyByTheRuleForSharedFolders) {
  ASSERT_EQ(::mkdir(P("pub").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(P("pub").c_str(), 01777), 0);
  support::WriteFileBytes(P("notes.txt"), "root's notes");
  Plant("tree/own.txt", "nobody's text");
  PlantLink(P("victim.txt"), "tree/grab.txt");
  PlantLink(P("vault"), "tree/logs");
  PlantLink(P("victim.txt"), "pub/grab.txt");
  PlantLink(P("tree/own.txt"), "pub/own.txt");
  ASSERT_EQ(::symlink(P("victim.txt").c_str(), P("tree/roots.txt").c_str()), 0);  // root's, in nobody's folder
  const std::string refusedSource = "Error 2: The source \"";
  const std::string refusedDestination = "Error 1: The destination \"";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string out;  // the start of the refusal
  } cases[] = {
      {{"tree/grab.txt", "/replace"}, 2, refusedSource},
      {{"tree/roots.txt", "/replace"}, 2, refusedSource},
      {{"pub/grab.txt", "/replace"}, 2, refusedSource},
      {{"tree/logs/*.txt", "/replace"}, 2, refusedSource},
      {{"notes.txt", "/output=" + P("tree/grab.txt")}, 1, refusedDestination},
      {{"notes.txt", "/output=" + P("pub/grab.txt")}, 1, refusedDestination},
      {{"notes.txt", "/output=" + P("tree/logs")}, 1, refusedDestination},
      {{"tree/*.txt", "/output=" + P("tree/logs")}, 1, refusedDestination},
      {{"notes.txt", "/log=" + P("tree/logs/run.log")}, 1, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/scs=ansi");
    const e2e::RunResult r = RunMorfex(arguments, dir_.path(), 60);
    EXPECT_EQ(r.status, c.status) << arguments[0] << " " << arguments[1] << r.out;
    const std::string& shown = c.out.empty() ? r.err : r.out;
    EXPECT_NE(shown.find("A symbolic link on its way belongs to another account"), std::string::npos) << shown;
    EXPECT_EQ(r.out.find("Success"), std::string::npos) << r.out;
  }
  EXPECT_EQ(support::ListNames(P("vault")), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(support::ReadFileText(P("notes.txt")), "root's notes");

  // nobody's link to nobody's own file in a sticky folder of root's is followed.
  EXPECT_EQ(Run({"pub/own.txt", "/scs=ansi", "/replace"}), 0);
  EXPECT_EQ(support::ReadFileText(P("tree/own.txt")), "\xEF\xBB\xBFnobody's text");
}

// Names the attacker chose reach root's console and log escaped: no line feed forges a
// summary line, no escape sequence drives the reader's terminal, no invalid UTF-8 goes out;
// a name in another script prints as it is.
TEST_F(TreeAttack, NamesArePrintedEscaped) {
  const struct {
    std::string name;
    std::string printed;
  } cases[] = {
      {"a\n0 file(s) failed to convert\n.txt", "a\\n0 file(s) failed to convert\\n.txt"},
      {"\x1b]0;owned\x07\x1b[2J.txt", "\\x1b]0;owned\\x07\\x1b[2J.txt"},
      {"caf\xE9.txt", "caf\\xe9.txt"},
      {"\xC3\xA9t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt"},
  };
  for (const auto& c : cases) Plant("tree/" + c.name, "x");
  const e2e::RunResult r = RunMorfex({"tree/*.txt", "/scs=ansi", "/log=" + P("run.log")}, dir_.path(), 60);
  EXPECT_EQ(r.status, 0);
  const std::string log = support::ReadFileText(P("run.log"));
  for (const auto& c : cases) EXPECT_NE(log.find("Bytes] " + c.printed + "\n"), std::string::npos) << c.printed << log;
  int summaries = 0;
  for (const std::string& line : e2e::Lines(log)) {
    EXPECT_EQ(line.find_first_of(std::string("\x1b\x07\r\xE9", 4)), std::string::npos) << line;
    summaries += line.starts_with("0 file(s) failed") ? 1 : 0;
  }
  EXPECT_EQ(summaries, 1) << "no name forges a summary line";
  EXPECT_TRUE(log.ends_with(e2e::Lines(log).back() + "\n") && e2e::Lines(log).back() == "0 file(s) failed to convert");
}

// A source another account may write is never mapped: the attacker cutting it short again and
// again while root reads it ends no run; each one leaves it as it is or converts it whole, and
// goes on to the next file.
TEST_F(TreeAttack, CuttingASourceShortEndsNoRun) {
  constexpr off_t kSize = 8 << 20;
  support::WriteFileBytes(P("tree/big.txt"), std::string(kSize, 'a'));
  ASSERT_EQ(::chmod(P("tree/big.txt").c_str(), 0666), 0);
  for (int i = 0; i < 5; ++i) Plant("tree/f" + std::to_string(i) + ".txt", "f");
  MakeDir("out", 0);
  const std::string big = P("tree/big.txt");
  const CAttacker attacker(attacker_, [&] {
    ::truncate(big.c_str(), 4096);
    ::usleep(500);
    ::truncate(big.c_str(), kSize);
    ::usleep(500);
  });
  for (int run = 0; run < 8; ++run) {
    const e2e::RunResult r = RunMorfex({"tree/*.txt", "/scs=ansi", "/output=" + P("out")}, dir_.path(), 60);
    EXPECT_TRUE(r.status == 0 || r.status == 7) << r.status << r.out.substr(0, 2000);
    EXPECT_NE(r.out.find("file(s) failed to convert"), std::string::npos) << "the run's summary";
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(support::PathExists(P("out/f" + std::to_string(i) + ".txt"))) << i;
  }
}

// The attacker swaps a subdirectory for a link to root's vault, and back, while root converts
// the tree in place, again and again.
TEST_F(TreeAttack, DirectorySwappedForALinkIsNeverWalked) {
  MakeDir("tree/sub", attacker_);
  // Files before the subdirectory's turn: the time between its listing and its walk.
  for (int i = 0; i < 30; ++i) Plant("tree/f" + std::to_string(i) + ".txt", "x");
  for (int i = 0; i < 5; ++i) Plant("tree/sub/f" + std::to_string(i) + ".txt", "x");
  const std::string sub = P("tree/sub"), aside = P("tree/aside"), vault = P("vault");
  const CAttacker attacker(attacker_, [&] {
    ::usleep(300);
    ::rename(sub.c_str(), aside.c_str());
    ::symlink(vault.c_str(), sub.c_str());
    ::usleep(2000);
    ::unlink(sub.c_str());
    ::rename(aside.c_str(), sub.c_str());
  });
  EXPECT_GT(RaceFor(std::chrono::milliseconds(2500), {"tree/*.txt", "/scs=ansi", "/r", "/replace", "/silent"}), 3);
}

// /keep-owner and /keep-dacl give the output the source's owner and access list; owner-from-
// prefix hands its output over. The attacker keeps replacing those outputs' names with links
// to root's file, so that a change by name would land there.
TEST_F(TreeAttack, OwnerAndAccessListChangesNeverReachASwappedName) {
  Plant("tree/a.txt", "a");
  Plant("tree/nobody-b.txt", "b");
  ASSERT_EQ(std::system(("setfacl -m u:daemon:rw '" + P("tree/a.txt") + "'").c_str()), 0);
  MakeDir("tree/out", attacker_);
  support::WriteFileBytes(P("table.csv"), "nobody;nobody\n");
  const std::string victim = P("victim.txt");
  const std::vector<std::string> names = {P("tree/out/a.txt"), P("tree/out/nobody-b.txt"), P("tree/out/b.txt")};
  const CAttacker attacker(attacker_, [&] {
    for (const std::string& name : names) {
      const std::string aside = name + ".aside";
      ::rename(name.c_str(), aside.c_str());
      ::symlink(victim.c_str(), name.c_str());
    }
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  int runs = 0;
  for (; std::chrono::steady_clock::now() < deadline; ++runs) {
    Run({P("tree/a.txt"), "/scs=ansi", "/output=" + P("tree/out"), "/keep-owner", "/keep-dacl", "/silent"});
    Run({P("tree/nobody-b.txt"), "/scs=ansi", "/output=" + P("tree/out"), "/private.ofp",
         "/private.utt=" + P("table.csv"), "/silent"});
  }
  EXPECT_GT(runs, 3);
}

}  // namespace
}  // namespace glyphshift
