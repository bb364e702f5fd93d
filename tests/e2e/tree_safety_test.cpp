// Trees whose content the run cannot trust, as any user: links in listings and at derived
// names, the log, sources that are each other's destinations, trees deeper than any path, and
// runs that are killed. (The same attacks by another account against root: tests/security.)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kSecret = "secret \xE9\n";  // Latin-1: a conversion would change its bytes

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class TreeSafety : public MorfexTest {
 protected:
  mode_t ModeOf(const std::string& name) const {
    struct stat st {};
    EXPECT_EQ(::lstat(P(name).c_str(), &st), 0) << name;
    return st.st_mode;
  }
  bool IsLink(const std::string& name) const { return S_ISLNK(ModeOf(name)); }
  void Link(const std::string& target, const std::string& name) const {
    ASSERT_EQ(::symlink(target.c_str(), P(name).c_str()), 0) << name;
  }
};

// A link is followed only where the person named it; in a listing it is skipped with a line,
// whether the run would have converted it or entered it.
TEST_F(TreeSafety, LinksInAListingAreSkippedNotFollowed) {
  MakeDir("tree");
  MakeDir("outside");
  Write("victim.txt", kSecret);
  Write("outside/x.txt", kSecret);
  Write("tree/a.txt", "a");
  Link("../victim.txt", "tree/link.txt");
  Link("a.txt", "tree/sibling.txt");  // a second name for a file in the same folder
  Link("../outside", "tree/linkdir");
  Link("../nowhere.txt", "tree/dangling.txt");
  MakeDir("out");
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"/replace"}, std::vector<std::string>{"/output=" + P("out")}}) {
    std::vector<std::string> arguments = {"tree/*.txt", "/scs=ansi", "/r"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const RunResult r = Run(arguments);
    EXPECT_EQ(r.status, 0);
    for (const char* name : {"link.txt", "sibling.txt", "linkdir", "dangling.txt"}) {
      EXPECT_TRUE(Has(r.out, "Skipped: \"" + std::string(name) + "\" is a symbolic link.\n")) << name << r.out;
    }
    EXPECT_TRUE(Has(r.out, "\n1 file(s) successfully converted")) << r.out;
    EXPECT_TRUE(Has(r.out, "\n0 file(s) failed to convert\n")) << r.out;
  }
  EXPECT_EQ(Read("victim.txt"), kSecret);
  EXPECT_EQ(Read("outside/x.txt"), kSecret);
  EXPECT_EQ(Names("outside"), std::vector<std::string>{"x.txt"});
  EXPECT_EQ(Read("tree/a.txt"), kBom + "a") << "converted once, not again through the second name";
  EXPECT_EQ(Names("out"), std::vector<std::string>{"a.txt"});
  EXPECT_FALSE(Exists("nowhere.txt"));
}

// A link someone planted at a name the run derived is replaced by the new file, never followed:
// beside the source, and inside an output folder.
TEST_F(TreeSafety, ALinkAtADerivedDestinationIsReplaced) {
  Write("victim.txt", kSecret);
  Write("notes.txt", "n");
  Write("other.txt", "o");
  Link("victim.txt", "notes.utf-8.txt");
  Link("created-by-root.txt", "other.utf-8.txt");
  MakeDir("out");
  Link("../victim.txt", "out/notes.txt");
  EXPECT_EQ(Run({"notes.txt", "/scs=ansi"}).status, 0);
  EXPECT_EQ(Run({"other.txt", "/scs=ansi"}).status, 0);
  EXPECT_EQ(Run({"notes.txt", "/scs=ansi", "/output=out"}).status, 0);
  EXPECT_EQ(Read("victim.txt"), kSecret);
  EXPECT_FALSE(Exists("created-by-root.txt"));
  for (const char* name : {"notes.utf-8.txt", "other.utf-8.txt", "out/notes.txt"}) {
    EXPECT_FALSE(IsLink(name)) << name;
  }
  EXPECT_EQ(Read("out/notes.txt"), kBom + "n");

  // What the person named is followed: an output file given through a link gets its target
  // replaced, and the link stays.
  Link("target.txt", "named.txt");
  EXPECT_EQ(Run({"notes.txt", "/scs=ansi", "/output=named.txt"}).status, 0);
  EXPECT_TRUE(IsLink("named.txt"));
  EXPECT_EQ(Read("target.txt"), kBom + "n");
}

// The log is appended to only as a regular file of its own name: a link, a FIFO or a missing
// folder there stops the run before it converts anything, with one line on standard error.
TEST_F(TreeSafety, TheLogIsARegularFileOrTheRunDoesNotStart) {
  Write("victim.txt", kSecret);
  Write("a.txt", "a");
  Link("victim.txt", "link.log");
  ASSERT_EQ(::mkfifo(P("fifo.log").c_str(), 0644), 0);
  MakeDir("dir.log");
  const struct {
    const char* log;
    const char* reason;
  } cases[] = {{"link.log", "It is a symbolic link."},
               {"fifo.log", "It is not a regular file."},
               {"dir.log", "Is a directory"},
               {"missing/run.log", "No such file or directory"}};
  for (const auto& c : cases) {
    const RunResult r = Run({"*.txt", "/scs=ansi", std::string("/log=") + c.log}, 20);
    EXPECT_EQ(r.status, 255) << c.log;
    EXPECT_EQ(r.out, "") << c.log;
    EXPECT_EQ(r.err, "morfex: cannot open the log file \"" + std::string(c.log) + "\": " + c.reason + "\n");
  }
  EXPECT_EQ(Read("victim.txt"), kSecret);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "dir.log", "fifo.log", "link.log", "victim.txt"}));

  // A new log names every file of the run: it is private.
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/log=run.log"}).status, 0);
  EXPECT_EQ(ModeOf("run.log") & 0777, 0600u);
  // Never converted into or out of, also when named as the single source or the output.
  EXPECT_EQ(Run({"run.log", "/scs=ansi", "/log=run.log"}).status, 2);
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/log=run.log", "/output=run.log"}).status, 1);
  const std::string log = Read("run.log");
  EXPECT_TRUE(Has(log, "\"run.log\" is the log file of this run; it is not converted.\n")) << log;
  EXPECT_TRUE(Has(log, "\"run.log\" is the log file of this run; nothing is converted into it.\n"));
  EXPECT_TRUE(log.ends_with(Summary(0, 0, 1))) << "the log kept its lines";
}

// New files are as private as their source; a file converted in place keeps its mode and its
// extended attributes.
TEST_F(TreeSafety, OutputsKeepTheSourcesPrivacyAndAttributes) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    Write(name, "x");
    ASSERT_EQ(::chmod(P(name).c_str(), 0600), 0);
  }
  MakeDir("out");
  EXPECT_EQ(Run({"a.txt", "/scs=ansi"}).status, 0);
  EXPECT_EQ(Run({"b.txt", "/scs=ansi", "/move", "/output=out"}).status, 0);
  EXPECT_EQ(ModeOf("a.utf-8.txt") & 0777, 0600u);
  EXPECT_EQ(ModeOf("out/b.txt") & 0777, 0600u);

  const bool hasAttribute = ::setxattr(P("c.txt").c_str(), "user.origin", "scan", 4, 0) == 0;
  ASSERT_EQ(::chmod(P("c.txt").c_str(), 0640), 0);
  EXPECT_EQ(Run({"c.txt", "/scs=ansi", "/replace"}).status, 0);
  EXPECT_EQ(Read("c.txt"), kBom + "x");
  EXPECT_EQ(ModeOf("c.txt") & 0777, 0640u);
  if (!hasAttribute) GTEST_SKIP() << "no user attributes on this file system";
  char value[16] = {};
  EXPECT_EQ(::getxattr(P("c.txt").c_str(), "user.origin", value, sizeof value), 4);
  EXPECT_STREQ(value, "scan");
}

// b.txt's destination is b.utf-8.txt, itself a source of the run: it is converted first, so
// its text lives on in its own destination before b.txt's output replaces it. When it cannot
// be converted, b.txt is refused instead of overwriting it.
TEST_F(TreeSafety, ASourceIsNeverOverwrittenBeforeItIsConverted) {
  Write("b.txt", "b");
  Write("b.utf-8.txt", "\xE9");
  RunResult r = Run({"*.txt", "/scs=ansi", "/move"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.ends_with(Summary(2, 2, 0))) << r.out;
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.utf-8.txt", "b.utf-8.utf-8.txt"}));
  EXPECT_EQ(Read("b.utf-8.txt"), kBom + "b");
  EXPECT_EQ(Read("b.utf-8.utf-8.txt"), kBom + "\xC3\xA9");

  MakeDir("stuck");
  Write("stuck/c.txt", "c");
  Write("stuck/c.utf-8.txt", "kept");
  MakeDir("stuck/c.utf-8.utf-8.txt");  // c.utf-8.txt cannot be converted
  r = Run({"stuck/*.txt", "/scs=ansi"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out,
                  "\"c.txt\" is not converted: its destination \"c.utf-8.txt\" is a source of this run "
                  "that was not converted.\nError 1: Conversion of \"c.txt\" failed.\n"))
      << r.out;
  EXPECT_TRUE(r.out.ends_with(Summary(0, 0, 2))) << r.out;
  EXPECT_EQ(Read("stuck/c.utf-8.txt"), "kept");
}

// Two runs converting one tree in place: a file another run holds locked is its to convert,
// in a walk and named alone; the rest are converted.
TEST_F(TreeSafety, AFileAnotherRunConvertsInPlaceIsSkipped) {
  MakeDir("tree");
  Write("tree/a.txt", "\xE9");
  Write("tree/b.txt", "\xE9");
  const int held = ::open(P("tree/a.txt").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const RunResult walk = Run({"tree/*.txt", "/scs=ansi", "/replace"});
  const RunResult single = Run({"tree/a.txt", "/scs=ansi", "/replace"});
  ::close(held);
  for (const RunResult* r : {&walk, &single}) {
    EXPECT_EQ(r->status, 0);
    EXPECT_TRUE(Has(r->out, "Skipped: \"a.txt\" is being converted in place by another run.\n")) << r->out;
  }
  EXPECT_TRUE(walk.out.ends_with(Summary(1, 1, 0))) << walk.out;
  EXPECT_TRUE(single.out.ends_with(Summary(0, 0, 0))) << single.out;
  EXPECT_EQ(Read("tree/a.txt"), "\xE9");
  EXPECT_EQ(Read("tree/b.txt"), kBom + "\xC3\xA9");
}

// Depth is limited by nothing but memory: a tree of 5,000 levels, whose paths are far beyond
// what any single system call takes, is converted whole.
TEST_F(TreeSafety, TreesDeeperThanAnyPathAreWalkedWhole) {
  constexpr int kLevels = 5000;
  const int home = ::open(".", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(home, 0);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  for (int level = 0; level < kLevels; ++level) {
    if (level % 500 == 499) support::WriteFileBytes("f" + std::to_string(level) + ".txt", "x");
    ASSERT_TRUE(::mkdir("d", 0755) == 0 && ::chdir("d") == 0) << level;
  }
  ASSERT_EQ(::fchdir(home), 0);
  ::close(home);
  const RunResult r = Run({"*.txt", "/scs=ansi", "/r", "/replace"}, 300);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.ends_with(Summary(kLevels / 500, kLevels / 500, 0))) << r.out.substr(r.out.size() - 300);
  // A tree this deep is beyond the test's own clean-up, which works on paths.
  EXPECT_EQ(std::system(("rm -rf '" + P("d") + "'").c_str()), 0);
}

class KilledRun : public TreeSafety, public ::testing::WithParamInterface<int> {
 protected:
  // Files get their names a folder at a time, so the signal is sent once the first folders
  // are done and lands in a later one.
  static constexpr int kFolders = 12;
  static constexpr int kFilesPerFolder = 10;
  static constexpr int kFiles = kFolders * kFilesPerFolder;
  static std::string Name(int i) {
    return "d" + std::to_string(i / kFilesPerFolder) + "/f" + std::to_string(i) + ".txt";
  }
  static std::string Old(int i) { return std::string(50000, static_cast<char>('a' + i % 26)) + "\xE9"; }
  static std::string New(int i) { return kBom + std::string(50000, static_cast<char>('a' + i % 26)) + "\xC3\xA9"; }

  void Populate(const std::string& dir) {
    MakeDir(dir);
    for (int f = 0; f < kFolders; ++f) MakeDir(dir + "/d" + std::to_string(f));
    for (int i = 0; i < kFiles; ++i) {
      Write(dir + "/" + Name(i), Old(i));
      ASSERT_EQ(::chmod(P(dir + "/" + Name(i)).c_str(), 0640), 0);
    }
  }
  // Starts the run with a log of its own, waits until some files are done, then sends the signal.
  int InterruptAfterSomeFiles(std::vector<std::string> arguments, const std::string& log, int signal) {
    arguments.insert(arguments.end(), {"/r", "/log=" + log, "/loglevel=1"});
    CBackgroundMorfex run(arguments, dir_.path());
    for (int waited = 0; waited < 3000; ++waited) {
      const std::string text = Read(log);
      std::size_t done = 0;
      for (auto at = text.find("Success"); at != std::string::npos; at = text.find("Success", at + 1)) ++done;
      if (done >= kFilesPerFolder) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return run.Stop(signal);
  }
  // Temporary files left anywhere below `dir`; each checked to be no more readable than its source.
  std::size_t Leftovers(const std::string& dir) {
    std::size_t count = 0;
    for (int f = 0; f < kFolders; ++f) {
      const std::string folder = dir + "/d" + std::to_string(f);
      if (!Exists(folder)) continue;
      for (const std::string& name : Names(folder)) {
        if (!name.starts_with(".morfex-")) continue;
        ++count;
        // Private until complete, then as private as its source, never more.
        const mode_t mode = ModeOf(folder + "/" + name) & 0777;
        EXPECT_TRUE(mode == 0600 || mode == 0640) << name;
      }
    }
    return count;
  }
};

// Every file is whole, old or new, whenever the run is killed; an interrupt removes the
// temporary files in progress; what a SIGKILL leaves is never taken for a source later.
TEST_P(KilledRun, EveryFileStaysWholeAndNoLeftoverIsConverted) {
  const int signal = GetParam();
  Populate("inplace");
  const int replaced = InterruptAfterSomeFiles({"inplace/*.txt", "/scs=ansi", "/replace"}, "replace.log", signal);
  EXPECT_TRUE(WIFSIGNALED(replaced) && WTERMSIG(replaced) == signal) << replaced;
  int converted = 0;
  for (int i = 0; i < kFiles; ++i) {
    const std::string content = Read("inplace/" + Name(i));
    EXPECT_TRUE(content == Old(i) || content == New(i)) << Name(i) << " is partial";
    converted += content == New(i);
  }
  EXPECT_GT(converted, 0);
  EXPECT_LT(converted, kFiles) << "the signal came too late to test anything";

  Populate("src");
  MakeDir("out");
  const int moved =
      InterruptAfterSomeFiles({"src/*.txt", "/scs=ansi", "/move", "/output=" + P("out")}, "move.log", signal);
  EXPECT_TRUE(WIFSIGNALED(moved) && WTERMSIG(moved) == signal) << moved;
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_TRUE(Exists("src/" + Name(i)) || Exists("out/" + Name(i))) << Name(i) << " is lost";
    if (Exists("src/" + Name(i))) {
      EXPECT_EQ(Read("src/" + Name(i)), Old(i));
    }
    if (Exists("out/" + Name(i))) {
      EXPECT_EQ(Read("out/" + Name(i)), New(i)) << Name(i) << " is partial";
    }
  }
  const std::size_t leftovers = Leftovers("inplace") + Leftovers("out");
  if (signal != SIGKILL) {
    EXPECT_EQ(leftovers, 0u) << "an interrupt removes its temporary files";
  }

  // A later run over the same folders removes what the kill left, a line for each, and never
  // takes a temporary for a source; one that another run still holds stays. The in-place
  // folders are only walked; the move is made again and finishes.
  const int held = ::open(P("inplace/d0/.morfex-InUse7").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const std::size_t left = Leftovers("inplace") + Leftovers("out") - 1;
  const RunResult walked = Run({"inplace/.morfex-*", "/r"});
  const RunResult again = Run({"src/*.txt", "/scs=ansi", "/move", "/output=" + P("out"), "/r"});
  ::close(held);
  EXPECT_EQ(walked.status, 0);
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(walked.out.ends_with(Summary(0, 0, 0))) << walked.out;
  std::size_t removed = 0;
  for (const std::string& text : {walked.out, again.out}) {
    for (auto at = text.find("Removed: \""); at != std::string::npos; at = text.find("Removed: \"", at + 1)) ++removed;
  }
  EXPECT_EQ(removed, left) << walked.out << again.out;
  EXPECT_TRUE(Has(walked.out, "Skipped: \".morfex-InUse7\" is a temporary file of an unfinished conversion.\n"))
      << walked.out;
  EXPECT_EQ(Leftovers("inplace") + Leftovers("out"), 1u);
  for (int i = 0; i < kFiles; ++i) EXPECT_EQ(Read("out/" + Name(i)), New(i)) << Name(i);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, KilledRun, ::testing::Values(SIGKILL, SIGTERM, SIGINT), [](const ::testing::TestParamInfo<int>& signal) {
      return std::string(signal.param == SIGKILL ? "Kill" : signal.param == SIGTERM ? "Term" : "Int");
    });

}  // namespace
}  // namespace glyphshift::e2e
