// Wildcard runs: matching, naming, recursion, output folders, /error-stop and exit codes.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using Wildcards = MorfexTest;

const std::string kBom = "\xEF\xBB\xBF";

// The names of a directory in the order the file system returns them, which is the order a run
// converts them in.
std::vector<std::string> ListingOrder(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
  }
  return names;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(Wildcards, ConvertsEveryMatchOnceIntoSiblings) {
  Write("a.txt", "a");
  Write("B.TXT", "b");
  Write("c.xml", "c");
  const RunResult r = Run({"*.txt", "/scs=ansi"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.out, "Success: [1 bytes + 3 Bytes] a.txt\n"));
  EXPECT_TRUE(Has(r.out, "Success: [1 bytes + 3 Bytes] B.TXT\n"));
  EXPECT_TRUE(r.out.ends_with(Summary(2, 2, 0))) << r.out;
  EXPECT_EQ(Names(), (std::vector<std::string>{"B.TXT", "B.utf-8.TXT", "a.txt", "a.utf-8.txt", "c.xml"}));
  EXPECT_EQ(Read("B.utf-8.TXT"), kBom + "b");
}

TEST_F(Wildcards, TheListingIsASnapshotSoOutputsAreNotConvertedAgain) {
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) Write(name, name);
  const RunResult r = Run({"*", "/scs=ansi"});
  EXPECT_TRUE(r.out.ends_with(Summary(4, 20, 0))) << r.out;
  EXPECT_EQ(Names().size(), 8u);
}

TEST_F(Wildcards, PatternListsAndEmptyMatches) {
  Write("a.txt", "a");
  Write("b.xml", "b");
  Write("c.htm", "c");
  EXPECT_TRUE(Run({"*.txt;*.xml", "/scs=ansi"}).out.ends_with(Summary(2, 2, 0)));
  const RunResult none = Run({"*.none"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, kHeaderAutoDetect + Summary(0, 0, 0));
}

TEST_F(Wildcards, OutputMustBeAnExistingDirectory) {
  Write("a.txt", "a");
  Write("f", "file");
  RunResult r = Run({"*.txt", "/output=missing"});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out,
            kHeaderAutoDetect + "Invalid argument: File as destination for multiple source files are not allowed!");
  EXPECT_EQ(Run({"*.txt", "/output=f"}).status, 5);
  r = Run({"*.txt", "/output=o?t"});
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kHeaderAutoDetect + "Invalid argument: Wildcard in destination file is not allowed!");

  MakeDir("out");
  EXPECT_EQ(Run({"*.txt", "/scs=ansi", "/output=out"}).status, 0);
  EXPECT_EQ(Names("out"), std::vector<std::string>{"a.txt"}) << "another directory: no name inserted";
  EXPECT_EQ(Run({"*.txt", "/scs=ansi", "/output=" + P(".")}).status, 0);
  EXPECT_TRUE(Exists("a.utf-8.txt")) << "the working directory spelled absolutely is the same directory";
}

TEST_F(Wildcards, RecursionRebuildsTheTreeOnlyWhereFilesMatched) {
  MakeDir("src");
  MakeDir("src/sub");
  MakeDir("src/sub/deeper");
  MakeDir("src/empty");
  MakeDir("out");
  Write("src/a.txt", "a");
  Write("src/sub/b.txt", "b");
  Write("src/sub/deeper/c.txt", "c");
  Write("src/empty/skip.xml", "x");
  const RunResult r = Run({"src/*.txt", "/scs=ansi", "/r", "/output=out"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read("out/a.txt"), kBom + "a");
  EXPECT_EQ(Read("out/sub/b.txt"), kBom + "b");
  EXPECT_EQ(Read("out/sub/deeper/c.txt"), kBom + "c");
  EXPECT_FALSE(Exists("out/empty"));
  // A directory's own files come before its subdirectories.
  EXPECT_LT(r.out.find("] a.txt"), r.out.find("] b.txt"));
  EXPECT_LT(r.out.find("] b.txt"), r.out.find("] c.txt"));
}

TEST_F(Wildcards, RecursionWithoutOutputAndInPlace) {
  MakeDir("sub");
  Write("a.txt", "a");
  Write("sub/b.txt", "b");
  EXPECT_EQ(Run({"*.txt", "/scs=ansi", "/recursive"}).status, 0);
  EXPECT_EQ(Read("sub/b.utf-8.txt"), kBom + "b");
  EXPECT_EQ(Run({"*.txt", "/scs=ansi", "/recursive", "/replace", "/nobom", "/dcs=utf-16"}).status, 0);
  EXPECT_EQ(Read("sub/b.txt"), std::string("b\0", 2));
  EXPECT_EQ(Names("sub"), (std::vector<std::string>{"b.txt", "b.utf-8.txt"}));
}

// Converting into its own tree would meet the outputs as sources, or overwrite sources not yet
// converted where the copy's names meet the tree's own: refused before anything is converted.
TEST_F(Wildcards, OutputFolderInsideTheTreeIsRefusedWhenRecursive) {
  MakeDir("out");
  MakeDir("out/deeper");
  Write("a.txt", "a");
  for (const char* output : {"/output=out", "/output=out/deeper"}) {
    const RunResult r = Run({"*.txt", "/scs=cp1252", "/r", output});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, kHeaderFrom1252 + "Invalid argument: Output directory inside the source tree is not allowed!");
  }
  EXPECT_EQ(Names("out"), std::vector<std::string>{"deeper"});
  EXPECT_EQ(Run({"*.txt", "/scs=ansi", "/output=out"}).status, 0) << "without recursion the folder is not walked";
  EXPECT_EQ(Run({"*.txt", "/scs=ansi", "/r", "/output=."}).status, 0) << "the pattern's own folder is no copy";
  EXPECT_EQ(Names("out"), (std::vector<std::string>{"a.txt", "a.utf-8.txt", "deeper"}));
}

TEST_F(Wildcards, LinksToDirectoriesAreNotFollowed) {
  MakeDir("d");
  MakeDir("d/sub");
  Write("d/a.txt", "a");
  Write("d/sub/b.txt", "b");
  ASSERT_EQ(::symlink("..", P("d/sub/up").c_str()), 0);
  ASSERT_EQ(::symlink("sub", P("d/again").c_str()), 0);
  const RunResult r = Run({"d/*.txt", "/scs=ansi", "/r"}, 30);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.ends_with(Summary(2, 2, 0))) << r.out;
}

TEST_F(Wildcards, NonRegularFilesAreSkipped) {
  Write("a.txt", "a");
  ASSERT_EQ(::mkfifo(P("pipe.txt").c_str(), 0644), 0);
  const RunResult r = Run({"*.txt", "/scs=ansi"}, 20);
  EXPECT_EQ(r.status, 0) << "a FIFO must not block the run";
  EXPECT_TRUE(Has(r.out, "Skipped: \"pipe.txt\" is not a regular file.\n"));
  EXPECT_TRUE(r.out.ends_with(Summary(1, 1, 0))) << r.out;
  EXPECT_FALSE(Exists("pipe.utf-8.txt"));
}

class FailingFile : public Wildcards {
 protected:
  // Blocks the destination of `name` with a directory, so its conversion fails with result 1.
  void Block(const std::string& dir, const std::string& name) {
    MakeDir(dir + "/" + name.substr(0, name.size() - 4) + ".utf-8.txt");
  }
  std::vector<std::string> TextFilesInOrder(const std::string& dir) {
    std::vector<std::string> files;
    for (const std::string& n : ListingOrder(P(dir))) {
      if (n.ends_with(".txt") && n.find(".utf-8") == std::string::npos) files.push_back(n);
    }
    return files;
  }
};

TEST_F(FailingFile, TheLastFileDecidesTheExitCode) {
  for (const std::string d : {"first", "last"}) {
    MakeDir(d);
    for (const char* n : {"f1.txt", "f2.txt", "f3.txt"}) Write(d + "/" + n, "x");
  }
  const std::vector<std::string> first = TextFilesInOrder("first");
  const std::vector<std::string> last = TextFilesInOrder("last");
  ASSERT_EQ(first.size(), 3u);
  ASSERT_EQ(last.size(), 3u);
  Block("first", first.front());
  Block("last", last.back());

  RunResult r = Run({"first/*.txt", "/scs=ansi"});
  EXPECT_EQ(r.status, 0) << "a later success resets the result";
  EXPECT_TRUE(Has(r.out, "Error 1: Conversion of \"" + first.front() + "\" failed.\n")) << r.out;
  EXPECT_TRUE(r.out.ends_with(Summary(2, 2, 1))) << r.out;

  r = Run({"last/*.txt", "/scs=ansi"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with(Summary(2, 2, 1))) << r.out;
}

TEST_F(FailingFile, ErrorStopEndsOnlyTheCurrentDirectory) {
  MakeDir("d");
  for (const char* n : {"f1.txt", "f2.txt", "f3.txt", "f4.txt"}) Write(std::string("d/") + n, "x");
  MakeDir("d/sub");
  Write("d/sub/s.txt", "s");
  const std::vector<std::string> files = TextFilesInOrder("d");
  const std::string failing = files[1];
  Block("d", failing);

  // What the run must do follows from the order of the listing.
  const std::vector<std::string> listing = ListingOrder(P("d"));
  const auto failAt = std::find(listing.begin(), listing.end(), failing);
  int expectConverted = 0;
  bool expectSub = false;
  for (auto it = listing.begin(); it != failAt; ++it) {
    if (*it == "sub") expectSub = true;
    if (it->ends_with(".txt") && it->find(".utf-8") == std::string::npos) ++expectConverted;
  }
  if (expectSub) ++expectConverted;

  const RunResult r = Run({"d/*.txt", "/scs=ansi", "/r", "/error-stop"});
  EXPECT_EQ(r.status, expectSub ? 0 : 1);
  EXPECT_TRUE(r.out.ends_with(Summary(expectConverted, expectConverted, 1))) << r.out;
  EXPECT_EQ(Exists("d/sub/s.utf-8.txt"), expectSub);
  for (auto it = failAt + 1; it != listing.end(); ++it) {
    if (it->ends_with(".txt") && it->find(".utf-8") == std::string::npos) {
      EXPECT_FALSE(Exists("d/" + it->substr(0, 2) + ".utf-8.txt")) << *it << " comes after the failure";
    }
  }
}

}  // namespace
}  // namespace glyphshift::e2e
