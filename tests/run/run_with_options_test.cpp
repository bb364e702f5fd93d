// The run in-process, over the real file system and the FaultyFiles double: faults a process
// test cannot provoke on every machine, and the steps of the run that have no visible output.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/streams.h"
#include "run/enumeration.h"
#include "run/file_conversion.h"
#include "run/run.h"
#include "support/faulty_files.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

using support::ReadFileText;
using support::WriteFileBytes;

class RunInProcess : public support::TempDirTest {
 protected:
  // A run from a Windows-1252 source, its messages appended to run.log.
  ConversionOptions Options(std::string_view source) const {
    ConversionOptions o;
    o.sourceSpec = dir_.Path(source);
    o.autoDetectSource = false;
    o.sourceCharsetName = u"ansi";
    o.noConsole = true;
    o.logFilePath = dir_.Path("run.log");
    return o;
  }
  int Run(ConversionOptions options) {
    const int result = RunWithOptions(options);
    // The run moved descriptors 1 and 2; give them back to the test runner.
    platform::FlushStreams();
    platform::SetUnbuffered(platform::StdStream::Output, false);
    platform::SetUnbuffered(platform::StdStream::Error, false);
    platform::RouteStream(platform::StdStream::Output, platform::StreamTarget::Console);
    platform::RouteStream(platform::StdStream::Error, platform::StreamTarget::Console);
    return result;
  }
  std::string Log() const { return ReadFileText(dir_.Native("run.log")); }
  bool Contains(const std::string& part) const { return Log().find(part) != std::string::npos; }
};

TEST_F(RunInProcess, FullDiskIsResultOneAndTheMoveKeepsItsSource) {
  WriteFileBytes(dir_.Native("a.txt"), std::string(1000, 'a'));
  support::FaultyFiles files;
  files.FailWrite(ENOSPC, /*afterBytes=*/10);
  ConversionOptions o = Options("a.txt");
  o.moveSource = true;
  EXPECT_EQ(Run(o), 1);
  EXPECT_TRUE(Contains("No space left on device\nError 1: Conversion of \"a.txt\" failed.\n")) << Log();
  EXPECT_TRUE(Contains("0 file(s) successfully converted with total size of 0 Bytes\n1 file(s) failed to convert\n"));
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), std::string(1000, 'a'));
  EXPECT_FALSE(support::PathExists(dir_.Native("a.utf-8.txt")));
}

TEST_F(RunInProcess, FailedRenameInPlaceKeepsTheOldContent) {
  WriteFileBytes(dir_.Native("a.txt"), "caf\xE9");
  support::FaultyFiles files;
  files.Fail(support::FileOp::Commit, EIO);
  ConversionOptions o = Options("*.txt");
  o.replaceSource = true;
  EXPECT_EQ(Run(o), 1);
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), "caf\xE9");
  EXPECT_EQ(support::ListNames(dir_.path()), (std::vector<std::string>{"a.txt", "run.log"}));
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
    EXPECT_TRUE(Contains("Error 2: The directory \"" + dir_.path() + "\" cannot be read: Permission denied\n")) << Log();
    EXPECT_TRUE(Contains("\n0 file(s) successfully converted with total size of 0 Bytes\n1 file(s) failed to convert\n"));
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
  ConversionOptions o = Options("src/*.txt");
  o.recursive = true;
  o.outputPath = dir_.Path("out");
  EXPECT_EQ(Run(o), 1) << "the last file, in the subfolder, failed";
  EXPECT_TRUE(Contains("Error 1: Conversion of \"b.txt\" failed.\n")) << Log();
  EXPECT_TRUE(Contains("1 file(s) successfully converted with total size of 1 Bytes\n1 file(s) failed to convert\n"));
  EXPECT_EQ(ReadFileText(dir_.Native("out/a.txt")), "\xEF\xBB\xBF" "a");
}

TEST_F(RunInProcess, DialogModeReportsADirectorySourceOnlyByItsCode) {
  ConversionOptions o = Options(".");
  o.uiMode = true;
  EXPECT_EQ(Run(o), 3);
  EXPECT_EQ(Log().find("is a directory"), std::string::npos);
}

TEST_F(RunInProcess, SourceSetIsDetectedBeforeEachFile) {
  WriteFileBytes(dir_.Native("a.txt"), std::string("\xFE\xFF\0h", 4));  // UTF-16BE
  WriteFileBytes(dir_.Native("b.txt"), "\xEF\xBB\xBFx");                // UTF-8
  ConversionOptions o = Options("*.txt");
  o.autoDetectSource = true;
  o.logLevel = 2;
  o.writeBom = false;
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
  constexpr std::uint64_t kSource = (5ull << 30) + 1024;     // 5 GiB and 1 KiB
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
