// The run in-process, over the real file system and the FaultyFiles double: faults a process
// test cannot provoke on every machine, and the steps of the run that have no visible output.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "app/startup.h"
#include "platform/streams.h"
#include "run/file_steps.h"
#include "run/run_conversion.h"
#include "support/faulty_files.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

using support::ReadFileText;
using support::WriteFileBytes;

class RunInProcess : public support::TempDirTest {
 protected:
  // A run from a Windows-1252 source, its messages appended to run.log.
  RunSettings Options(std::string_view source) const {
    RunSettings o;
    o.sources = {dir_.Path(source)};
    o.autoDetectSource = false;
    o.sourceCharsetName = u"ansi";
    o.output.noConsole = true;
    o.output.logFilePath = dir_.Path("run.log");
    return o;
  }
  int Run(const RunSettings& options) {
    const int result = Code(RunWithOptions(options));
    // The run moved descriptors 1 and 2; give them back to the test runner.
    platform::FlushStreams();
    platform::SetUnbuffered(platform::StdStream::Output, false);
    platform::SetUnbuffered(platform::StdStream::Error, false);
    EXPECT_FALSE(platform::RouteStream(platform::StdStream::Output, platform::StreamTarget::Console));
    EXPECT_FALSE(platform::RouteStream(platform::StdStream::Error, platform::StreamTarget::Console));
    return result;
  }
  std::string Log() const { return ReadFileText(dir_.Native("run.log")); }
  bool Contains(const std::string& part) const { return Log().find(part) != std::string::npos; }
};

TEST_F(RunInProcess, FailedRenameInPlaceKeepsTheOldContent) {
  WriteFileBytes(dir_.Native("a.txt"), "caf\xE9");
  support::FaultyFiles files;
  files.Fail(support::FileOp::Commit, EIO);
  RunSettings o = Options("*.txt");
  o.replaceSource = true;
  EXPECT_EQ(Run(o), 1);
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), "caf\xE9");
  EXPECT_EQ(support::ListNames(dir_.path()), (std::vector<std::string>{"a.txt", "run.log"}));
}

// A low soft limit of open files is raised for the batch, which a limit of 64 would cut to 8.
TEST_F(RunInProcess, ALowSoftLimitOfOpenFilesIsRaisedForTheBatch) {
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < 1024) GTEST_SKIP() << "the hard limit is low";
  for (int i = 0; i < 20; ++i) WriteFileBytes(dir_.Native("f" + std::to_string(i) + ".txt"), "caf\xE9");
  rlimit lowered = saved;
  lowered.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  support::FaultyFiles files;
  RunSettings o = Options("f*.txt");
  o.replaceSource = true;
  EXPECT_EQ(Run(o), 0);
  rlimit after{};
  ::getrlimit(RLIMIT_NOFILE, &after);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(files.Calls(support::FileOp::FlushFileSystem), 1) << "one batch for the 20 files";
  EXPECT_GT(after.rlim_cur, 64u);
}

// Replacements are flushed a batch at a time; a flush that fails fails its file alone, which
// keeps its old content, and every line still comes in the order of the files.
TEST_F(RunInProcess, FailedFlushInABatchFailsOnlyItsFiles) {
  constexpr int kFiles = 6;
  for (int i = 0; i < kFiles; ++i) WriteFileBytes(dir_.Native("f" + std::to_string(i) + ".txt"), "caf\xE9");
  support::FaultyFiles files;
  files.Fail(support::FileOp::Flush, EIO, /*afterCalls=*/2);
  RunSettings o = Options("f*.txt");
  o.replaceSource = true;
  o.conversion.writeBom = false;
  EXPECT_EQ(Run(o), 1);
  EXPECT_EQ(files.Calls(support::FileOp::Flush), kFiles) << "one flush per replaced file, all before any rename";
  // The files in the order the run met them, which is the order of their lines.
  std::vector<std::string> order;
  const std::string log = Log();
  for (std::size_t at = log.find("] f"); at != std::string::npos; at = log.find("] f", at + 1)) {
    order.push_back(log.substr(at + 2, log.find('\n', at) - at - 2));
  }
  for (std::size_t at = log.find("Conversion of \""); at != std::string::npos;
       at = log.find("Conversion of \"", at + 1)) {
    order.push_back(log.substr(at + 15, log.find('"', at + 15) - at - 15));
  }
  ASSERT_EQ(order.size(), static_cast<std::size_t>(kFiles)) << log;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const bool converted = i < 2;
    EXPECT_EQ(ReadFileText(dir_.Native(order[i])), converted ? "caf\xC3\xA9" : "caf\xE9") << order[i];
  }
  std::string expected;
  for (std::size_t i = 2; i < order.size(); ++i) {
    expected += "Input/output error\nError 1: Conversion of \"" + order[i] + "\" failed.\n";
  }
  EXPECT_TRUE(Contains(expected)) << log;
  EXPECT_LT(log.find("] " + order[1]), log.find("Input/output error")) << "the lines keep the files' order";
  EXPECT_EQ(support::ListNames(dir_.path()).size(), static_cast<std::size_t>(kFiles + 1)) << "no temporary left";
  EXPECT_EQ(files.Calls(support::FileOp::FlushFileSystem), 1) << "the disk is flushed once for the batch";

  // A flush of the file system that fails cannot be pinned on one file: all keep their content.
  files.Heal();
  files.Fail(support::FileOp::FlushFileSystem, EIO);
  EXPECT_EQ(Run(o), 1);
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(ReadFileText(dir_.Native(order[i])), i < 2 ? "caf\xC3\xA9" : "caf\xE9") << order[i];
  }
  EXPECT_TRUE(Contains("\n0 file(s) successfully converted with total size of 0 Bytes\n6 file(s) failed to convert\n"));
}

// Nothing is skipped in silence: a folder the run cannot read is named, with the reason, and
// counts as a file that could not be read.
TEST_F(RunInProcess, UnreadableDirectoryIsNamedAndCounted) {
  WriteFileBytes(dir_.Native("a.txt"), "a");
  support::FaultyFiles files;
  for (const support::FileOp op : {support::FileOp::List, support::FileOp::OpenDirectory}) {
    files.Heal();
    files.Fail(op, EACCES);
    EXPECT_EQ(Run(Options("*.txt")), 2);
    EXPECT_TRUE(Contains("Error 2: The directory \"" + dir_.path() + "\" cannot be read: Permission denied\n"))
        << Log();
    EXPECT_TRUE(
        Contains("\n0 file(s) successfully converted with total size of 0 Bytes\n1 file(s) failed to convert\n"));
  }
}

TEST_F(RunInProcess, MissingDestinationFolderFailsThatFileOnly) {
  ASSERT_EQ(::mkdir(dir_.Native("src").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir_.Native("src/sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir_.Native("out").c_str(), 0755), 0);
  WriteFileBytes(dir_.Native("src/a.txt"), "a");
  WriteFileBytes(dir_.Native("src/sub/b.txt"), "b");
  support::FaultyFiles files;
  files.Fail(support::FileOp::CreateDirectory, EACCES);
  RunSettings o = Options("src/*.txt");
  o.recursive = true;
  o.outputPath = dir_.Path("out");
  EXPECT_EQ(Run(o), 1) << "the last file, in the subfolder, failed";
  EXPECT_TRUE(Contains("Error 1: Conversion of \"b.txt\" failed.\n")) << Log();
  EXPECT_TRUE(Contains("1 file(s) successfully converted with total size of 1 Bytes\n1 file(s) failed to convert\n"));
  EXPECT_EQ(ReadFileText(dir_.Native("out/a.txt")),
            "\xEF\xBB\xBF"
            "a");
}

TEST_F(RunInProcess, DialogModeReportsADirectorySourceOnlyByItsCode) {
  RunSettings o = Options(".");
  o.uiMode = true;
  EXPECT_EQ(Run(o), 3);
  EXPECT_EQ(Log().find("is a directory"), std::string::npos);
}

TEST_F(RunInProcess, SourceSetIsDetectedBeforeEachFile) {
  WriteFileBytes(dir_.Native("a.txt"), std::string("\xFE\xFF\0h", 4));  // UTF-16BE
  WriteFileBytes(dir_.Native("b.txt"), "\xEF\xBB\xBFx");                // UTF-8
  RunSettings o = Options("*.txt");
  o.autoDetectSource = true;
  o.output.logLevel = 2;
  o.conversion.writeBom = false;
  EXPECT_EQ(Run(o), 0);
  EXPECT_TRUE(Contains("a.utf-8.txt, utf-16be, utf-8)\n")) << Log();
  EXPECT_TRUE(Contains("b.utf-8.txt, utf-8, utf-8)\n")) << Log();
  EXPECT_EQ(ReadFileText(dir_.Native("a.utf-8.txt")), "h");
  EXPECT_EQ(ReadFileText(dir_.Native("b.utf-8.txt")), "x");
}

// Sizes are 64-bit through the run: a file of several GiB shows its size and growth whole, and
// the total adds it in full. (No test writes gigabytes to see it.)
TEST(ResultLines, SizesBeyondFourGibibytesAreShownWhole) {
  RunSummary summary;
  summary.totalSourceBytes = 1;
  constexpr std::uint64_t kSource = (5ull << 30) + 1024;   // 5 GiB and 1 KiB
  constexpr std::uint64_t kDestination = 2 * kSource + 3;  // every byte doubled, and a mark
  ::testing::internal::CaptureStdout();
  PrintSuccess(summary, kSource, kDestination, u"big.txt");
  platform::FlushStreams();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Success: [5.00 GB + 5368710147 Bytes] big.txt\n");
  EXPECT_EQ(summary.totalSourceBytes, std::int64_t{1} + static_cast<std::int64_t>(kSource));
  EXPECT_EQ(summary.convertedCount, 1);
}

class PathKinds : public support::TempDirTest {};

TEST_F(PathKinds, WildcardIsDecidedByTextDirectoryByTheFileSystem) {
  ASSERT_EQ(::mkdir(dir_.Native("d").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("d", dir_.Native("link").c_str()), 0);
  WriteFileBytes(dir_.Native("f"), "x");
  EXPECT_EQ(GetPathKind(dir_.Path("d")), PathKind::Directory);
  EXPECT_EQ(GetPathKind(dir_.Path("link")), PathKind::Directory);
  EXPECT_EQ(GetPathKind(dir_.Path("f")), PathKind::File);
  EXPECT_EQ(GetPathKind(dir_.Path("missing")), PathKind::File);
  EXPECT_EQ(GetPathKind(dir_.Path("d?")), PathKind::Wildcard) << "even where a directory of that name exists";
}

}  // namespace
}  // namespace glyphshift
