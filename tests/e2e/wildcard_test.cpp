// Wildcard runs: matching, naming, recursion, output folders, /error-stop and exit codes.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using Wildcards = MorfexTest;

const std::string kBom = "\xEF\xBB\xBF";

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
  void Block(const std::string& name) { MakeDir(name.substr(0, name.size() - 4) + ".utf-8.txt"); }
};

// The exit code is the result of the last file that failed, wherever it came in the run: a
// script's `morfex ... || echo failed` is never told 0 after a failure.
TEST_F(FailingFile, TheLastFailureDecidesTheExitCode) {
  for (const std::string d : {"first", "last"}) {
    MakeDir(d);
    for (const char* n : {"f1.txt", "f2.txt", "f3.txt"}) Write(d + "/" + n, "x");
  }
  Block("first/f1.txt");
  Block("last/f3.txt");
  Write("ok.txt", "o");
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string summary;
  } cases[] = {
      {{"first/*.txt"}, 1, Summary(2, 2, 1)},
      {{"last/*.txt"}, 1, Summary(2, 2, 1)},
      {{"missing.txt", "ok.txt"}, 2, Summary(1, 1, 1)},
      {{"missing.txt", "first/*.txt"}, 1, Summary(2, 2, 2)},
      {{"first/*.txt", "missing.txt", "ok.txt"}, 2, Summary(3, 3, 2)},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/scs=ansi");
    const RunResult r = Run(arguments);
    EXPECT_EQ(r.status, c.status) << arguments.front() << "\n" << r.out;
    EXPECT_TRUE(r.out.ends_with(c.summary)) << r.out;
    // The outputs go, so the next run meets the sources alone (the blocking folders stay).
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
      if (entry.is_regular_file() && entry.path().string().find(".utf-8.") != std::string::npos) {
        std::filesystem::remove(entry.path());
      }
    }
  }
  EXPECT_TRUE(Has(Run({"first/*.txt", "/scs=ansi"}).out, "Error 1: Conversion of \"f1.txt\" failed.\n"));
}

// Listings are converted in name order, whatever order the file system keeps, and the tree in
// name order too, depth first: runs repeat.
TEST_F(FailingFile, ErrorStopEndsOnlyTheCurrentDirectoryInNameOrder) {
  MakeDir("d");
  for (const char* n : {"f4.txt", "f2.txt", "f1.txt", "f3.txt"}) Write(std::string("d/") + n, "x");
  for (const char* sub : {"d/z-sub", "d/a-sub", "d/a-sub/deeper"}) {
    MakeDir(sub);
    Write(std::string(sub) + "/s.txt", "s");
  }
  Block("d/f2.txt");
  const RunResult r = Run({"d/*.txt", "/scs=ansi", "/r", "/error-stop"});
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> lines = Lines(r.out);
  std::vector<std::string> results;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(results),
               [](const std::string& l) { return l.starts_with("Success") || l.starts_with("Error"); });
  // f1 before the failure, f2 fails and ends the listing of d; a-sub was found before it, and its
  // own subdirectory is searched after it; z-sub comes after the failure and is never found.
  EXPECT_EQ(results, (std::vector<std::string>{
                         "Success: [1 bytes + 3 Bytes] f1.txt", "Error 1: Conversion of \"f2.txt\" failed.",
                         "Success: [1 bytes + 3 Bytes] s.txt", "Success: [1 bytes + 3 Bytes] s.txt"}))
      << r.out;
  EXPECT_TRUE(Exists("d/a-sub/deeper/s.utf-8.txt"));
  EXPECT_FALSE(Exists("d/f3.utf-8.txt"));
  EXPECT_FALSE(Exists("d/z-sub/s.utf-8.txt"));
}

// The files of a listing come in name order: the order of their lines.
TEST_F(Wildcards, ListingsAreConvertedInNameOrder) {
  for (const char* n : {"m.txt", "b.txt", "Z.txt", "a.txt", "y.txt"}) Write(n, "x");
  const RunResult r = Run({"*.txt", "/scs=ansi", "/replace"});
  std::vector<std::string> names;
  for (const std::string& line : Lines(r.out)) {
    if (line.starts_with("Success")) names.push_back(line.substr(line.rfind(' ') + 1));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Z.txt", "a.txt", "b.txt", "m.txt", "y.txt"}));
}

}  // namespace
}  // namespace glyphshift::e2e
