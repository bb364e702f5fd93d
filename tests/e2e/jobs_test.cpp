// Several workers: a run says and does exactly what a run with one worker says and does.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

namespace fs = std::filesystem;

// Every file below `root`, by its path, with its bytes (a directory as "<dir>").
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().string().substr(root.parent_path().string().size());
    if (entry.is_symlink()) {
      files[name] = "<link>";
    } else if (entry.is_directory()) {
      files[name] = "<dir>";
    } else if (entry.is_regular_file()) {
      files[name] = support::ReadFileText(entry.path().string());
    }
  }
  return files;
}

// A tree with what a walk meets: plain texts, a destination blocked by a folder (fails with 1),
// binary data (left unchanged, 7) between the texts, a Windows-1252 euro sign that ISO-8859-1
// cannot hold, a file whose destination is another source of the listing, a link, a FIFO, a
// leftover temporary name, and folders below.
class Jobs : public MorfexTest {
 protected:
  void Lay(const std::string& root) const;
};

void Jobs::Lay(const std::string& root) const {
  const Jobs& t = *this;
  t.MakeDir(root);
  for (const std::string& d : {root, root + "/a", root + "/a/deep", root + "/b"}) {
    t.MakeDir(d);
    for (int i = 0; i < 12; ++i) {
      t.Write(d + "/t" + std::to_string(i) + ".txt", "caf\xE9 " + std::to_string(i) + "\r\n");
      // Between the texts in the listing: files that are done without a flush.
      t.Write(d + "/t" + std::to_string(i) + "b.txt", std::string("\x01\x00", 2));
    }
    t.Write(d + "/euro.txt", "price 5\x80\n");
    t.Write(d + "/binary.txt", std::string("\x01\x02\x00\x00\xff\xfe\x00", 7));
  }
  t.MakeDir(root + "/a/t3.utf-8.txt");  // blocks t3's destination
  t.Write(root + "/b/x.txt", "x\n");
  t.Write(root + "/b/x.utf-8.txt", "old\n");  // a source too, and x's destination
  ::symlink("t1.txt", t.P(root + "/link.txt").c_str());
  ::mkfifo(t.P(root + "/b/fifo.txt").c_str(), 0644);
  t.Write(root + "/.morfex-AAAAAA", "left over");
}

TEST_F(Jobs, OneWorkerAndFourSayAndDoTheSame) {
  struct Case {
    std::vector<std::string> options;
    unsigned long handles = 0;  // the limit of open files of the second run, where it is lowered
    const char* second = "/jobs=4";
  };
  const std::vector<Case> cases = {
      {{"/r", "/scs=windows-1252"}},
      {{"/r", "/scs=windows-1252", "/dcs=iso-8859-1"}},
      {{"/r", "/scs=windows-1252", "/replace"}},
      // Few handles make batches of 16, one flushed while the next fills, against one batch.
      {{"/r", "/scs=windows-1252", "/replace"}, 128, "/jobs=1"},
      {{"/r", "/move", "/output=../out"}, 128},
      {{"/r", "/scs=windows-1252", "/error-stop"}},
      {{"/r", "/scs=windows-1252", "/loglevel=1", "/log=../run.log"}},
      {{"/r", "/info=json"}},
  };
  for (const auto& [options, handles, second] : cases) {
    RunResult results[2];
    std::map<std::string, std::string> trees[2];
    std::string logs[2];
    for (int which = 0; which < 2; ++which) {
      for (const char* made : {"tree", "out", "run.log"}) fs::remove_all(P(made));
      Lay("tree");
      MakeDir("out");
      std::vector<std::string> arguments = {"*.txt"};
      arguments.insert(arguments.end(), options.begin(), options.end());
      arguments.push_back(which == 0 ? "/jobs=1" : second);
      RunFeed feed;
      if (which == 1) feed.openFiles = handles;
      results[which] = RunMorfex(arguments, P("tree"), feed);
      trees[which] = Snapshot(P("tree"));
      trees[which].merge(Snapshot(P("out")));
      if (Exists("run.log")) logs[which] = Read("run.log");
    }
    const std::string shown = options.back() + (handles != 0 ? " with few handles" : "");
    EXPECT_EQ(results[0].status, results[1].status) << shown;
    EXPECT_EQ(results[0].out, results[1].out) << shown;
    EXPECT_EQ(results[0].err, results[1].err) << shown;
    EXPECT_EQ(trees[0], trees[1]) << shown;
    // Timestamps aside, the log holds the same lines.
    for (std::string& log : logs) log.erase(0, log.find(" - Start"));
    EXPECT_EQ(logs[0], logs[1]) << shown;
    EXPECT_NE((results[0].out + logs[0]).find("binary.txt"), std::string::npos) << shown << results[0].out;
  }
}

TEST_F(Jobs, TheNumberOfJobsIsOneTo256) {
  Write("a.txt", "a");
  for (const char* value : {"0", "257", "-1", "2x", "", " 4", "1000"}) {
    const RunResult r = Run({"a.txt", std::string("/jobs=") + value});
    EXPECT_EQ(r.status, 8) << value;
    EXPECT_NE((r.out + r.err).find("the number of jobs is 1 to 256"), std::string::npos) << value;
  }
  EXPECT_EQ(Run({"a.txt", "/jobs=256", "/scs=ansi"}).status, 0);
}

}  // namespace
}  // namespace glyphshift::e2e
