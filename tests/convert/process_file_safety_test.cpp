// ProcessFile when things go wrong or files are shared: moves, in-place conversion, missing
// files, full disks, huge sources, allocation failures and security carry-over, with what each
// failure reports.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "convert/process_file_fixture.h"
#include "convert/working_text.h"
#include "engine/allocation.h"
#include "platform/native_text.h"
#include "platform/sys_error.h"
#include "support/faulty_files.h"

namespace glyphshift::testing_support {
namespace {

using support::FaultyFiles;
using support::PathExists;
using support::ReadFileText;
using support::ToBytes;
using support::WriteFileBytes;
using Problem = ConversionReport::Problem;

// The system's text for the error a conversion reported.
std::string Reason(const Outcome& o) { return platform::ToNative(platform::ErrorText(o.report.error.code)); }

// Latin-1 "é" in, UTF-8 out: a converted file is told apart from its source by its bytes.
constexpr char kSourceText[] = "caf\xE9\n";
constexpr char kConvertedText[] = "caf\xC3\xA9\n";

struct AllocationFailureGuard {
  explicit AllocationFailureGuard(int successes) { engine::SetAllocationFailureForTesting(successes); }
  ~AllocationFailureGuard() { engine::SetAllocationFailureForTesting(-1); }
};

class ProcessFileSafetyTest : public ProcessFileTest {
 protected:
  void SetUp() override {
    ProcessFileTest::SetUp();
    settings_.writeBom = false;
    WriteFileBytes(dir_.Native("a.txt"), kSourceText);
  }
  Outcome ConvertTo(const std::u16string& destination) {
    return Convert(dir_.Path("a.txt"), destination, kWindows1252, kCharsetUtf8);
  }
  mode_t ModeOf(const std::string& native) {
    struct stat st {};
    EXPECT_EQ(::stat(native.c_str(), &st), 0) << native;
    return st.st_mode & 07777;
  }
};

// --- In place and moves ----------------------------------------------------------------------

TEST_F(ProcessFileSafetyTest, InPlaceRewritesTheSourceAndAMoveNeverDeletesIt) {
  settings_.moveSource = true;
  const std::u16string spellings[] = {
      dir_.Path("a.txt"), dir_.Path("./a.txt"),
      dir_.Path("../") + std::filesystem::path(dir_.path()).filename().u16string() + u"/a.txt"};
  for (const std::u16string& destination : spellings) {
    WriteFileBytes(dir_.Native("a.txt"), kSourceText);
    EXPECT_EQ(ConvertTo(destination).result, Result::Converted);
    EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), kConvertedText);
  }
}

TEST_F(ProcessFileSafetyTest, MoveThroughASymbolicLinkKeepsTheTargetAndTheLink) {
  settings_.moveSource = true;
  ASSERT_EQ(::symlink("a.txt", dir_.Native("link").c_str()), 0);
  EXPECT_EQ(ConvertTo(dir_.Path("link")).result, Result::Converted);
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), kConvertedText);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.Native("link")));

  // And the other way round: the source named through the link, the target as destination.
  WriteFileBytes(dir_.Native("a.txt"), kSourceText);
  EXPECT_EQ(Convert(dir_.Path("link"), dir_.Path("a.txt"), kWindows1252, kCharsetUtf8).result, Result::Converted);
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), kConvertedText);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.Native("link")));
}

TEST_F(ProcessFileSafetyTest, MoveToAnotherFileDeletesTheSourceEvenWhenOnlyCaseDiffers) {
  settings_.moveSource = true;
  const Outcome o = ConvertTo(dir_.Path("A.txt"));
  EXPECT_EQ(o.result, Result::Converted);
  EXPECT_EQ(ReadFileText(dir_.Native("A.txt")), kConvertedText);
  EXPECT_FALSE(PathExists(dir_.Native("a.txt")));
  EXPECT_EQ(o.sourceSize, 5u);
  EXPECT_EQ(o.destinationSize, 6u);
}

TEST_F(ProcessFileSafetyTest, ExistingDestinationIsReplacedWhole) {
  WriteFileBytes(dir_.Native("out"), std::string(100, 'x'));
  EXPECT_EQ(ConvertTo(dir_.Path("out")).result, Result::Converted);
  EXPECT_EQ(ReadFileText(dir_.Native("out")), kConvertedText);
}

// --- Sources that cannot be read -------------------------------------------------------------

TEST_F(ProcessFileSafetyTest, MissingDirectoryOrFifoSourceIsAReadErrorWithoutSizes) {
  ASSERT_EQ(::mkdir(dir_.Native("sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);  // must be refused, not block
  const struct {
    const char* name;
    const char* text;
  } cases[] = {{"missing", "No such file or directory\n"}, {"sub", "Is a directory\n"}, {"fifo", "Invalid argument\n"}};
  for (const auto& c : cases) {
    const Outcome o = Convert(dir_.Path(c.name), dir_.Path("out"), kWindows1252, kCharsetUtf8);
    EXPECT_EQ(o.result, Result::ReadError) << c.name;
    EXPECT_EQ(o.report.problem, Problem::SourceUnreadable);
    EXPECT_EQ(Reason(o), c.text);
    EXPECT_EQ(o.sourceSize, kUntouched);
    EXPECT_EQ(o.destinationSize, kUntouched);
  }
  EXPECT_FALSE(PathExists(dir_.Native("out")));
}

// A source cut short while it is read (another account truncates it) is left as it is, also
// when it would have been replaced or moved, and nothing is written for it.
TEST_F(ProcessFileSafetyTest, SourceCutShortWhileReadIsLeftAsItIs) {
  const std::string text(100000, 'x');
  for (const char* destination : {"out", "a.txt"}) {
    for (bool move : {false, true}) {
      settings_.moveSource = move;
      WriteFileBytes(dir_.Native("a.txt"), text);
      FaultyFiles files;
      files.CutReadsAt(70000);
      const Outcome o = ConvertTo(dir_.Path(destination));
      EXPECT_EQ(o.result, Result::LeftUnchanged) << destination << move;
      EXPECT_EQ(o.report.problem, Problem::SourceChanged);
      EXPECT_EQ(platform::ToNative(o.report.where), dir_.Native("a.txt"));
      EXPECT_EQ(o.destinationSize, kUntouched);
      EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), text);
      EXPECT_EQ(support::ListNames(dir_.path()), std::vector<std::string>{"a.txt"}) << destination << move;
    }
  }
}

// --- Destinations that cannot be written -----------------------------------------------------

TEST_F(ProcessFileSafetyTest, MissingDestinationDirectoryKeepsTheSourceWhenMoving) {
  settings_.moveSource = true;
  const Outcome o = ConvertTo(dir_.Path("no/such/dir/out"));
  EXPECT_EQ(o.result, Result::WriteError);
  EXPECT_EQ(o.report.problem, Problem::DestinationUnwritable);
  EXPECT_EQ(Reason(o), "No such file or directory\n");
  EXPECT_EQ(o.sourceSize, 5u);
  EXPECT_EQ(o.destinationSize, kUntouched);
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), kSourceText);
}

TEST_F(ProcessFileSafetyTest, FullDiskIsAWriteErrorAndLosesNothing) {
  FaultyFiles files;
  settings_.moveSource = true;
  files.FailWrite(ENOSPC, /*afterBytes=*/2);
  Outcome o = ConvertTo(dir_.Path("out"));
  EXPECT_EQ(o.result, Result::WriteError);
  EXPECT_EQ(Reason(o), "No space left on device\n");
  EXPECT_EQ(o.destinationSize, kUntouched);
  EXPECT_FALSE(PathExists(dir_.Native("out")));
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), kSourceText);

  // In place, and failing at the final rename: the old file is intact.
  files.Heal();
  files.Fail(support::FileOp::Commit, EIO);
  o = ConvertTo(dir_.Path("a.txt"));
  EXPECT_EQ(o.result, Result::WriteError);
  EXPECT_EQ(o.report.problem, Problem::DestinationUnwritable);
  EXPECT_EQ(Reason(o), "Input/output error\n");
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), kSourceText);
  EXPECT_EQ(files.Calls(support::FileOp::Delete), 0);
}

// A large file is written on a thread of its own: a full disk met there, early, midway or in
// the last bytes, is the same write error, and leaves neither a temporary nor a changed file.
TEST_F(ProcessFileSafetyTest, FullDiskWhileWritingBehindIsAWriteErrorAndLeavesNothing) {
  std::string big;
  while (big.size() < CStreamConversion::kWriteBehindFrom + 1000) big += kSourceText;
  WriteFileBytes(dir_.Native("big"), big);
  WriteFileBytes(dir_.Native("old"), "old");
  const std::uint64_t converted = big.size() / 5 * 6;
  for (const std::uint64_t afterBytes : {std::uint64_t{0}, converted / 2, converted - 1}) {
    for (const char* destination : {"new", "old"}) {
      FaultyFiles files;
      files.FailWrite(ENOSPC, afterBytes);
      const Outcome o = Convert(dir_.Path("big"), dir_.Path(destination), kWindows1252, kCharsetUtf8);
      EXPECT_EQ(o.result, Result::WriteError) << afterBytes << " " << destination;
      EXPECT_EQ(Reason(o), "No space left on device\n");
      EXPECT_EQ(support::ListNames(dir_.Native(".")), (std::vector<std::string>{"a.txt", "big", "old"}));
      EXPECT_EQ(ReadFileText(dir_.Native("old")), "old");
    }
  }
}

// A new destination is flushed only when the source is deleted after it, a replaced one always;
// the fused and the stepwise path (a line-break step) alike.
TEST_F(ProcessFileSafetyTest, NewDestinationIsFlushedOnlyBeforeAMoveAReplacedOneAlways) {
  FaultyFiles files;
  for (bool lineBreaks : {false, true}) {
    if (lineBreaks) settings_.lineBreakType = 2;
    for (bool move : {false, true}) {
      for (bool replace : {false, true}) {
        settings_.moveSource = move;
        WriteFileBytes(dir_.Native("a.txt"), kSourceText);
        if (!replace) ::unlink(dir_.Native("out").c_str());
        const int before = files.Calls(support::FileOp::Flush);
        ASSERT_EQ(ConvertTo(dir_.Path("out")).result, Result::Converted);
        EXPECT_EQ(files.Calls(support::FileOp::Flush) - before, move || replace ? 1 : 0) << lineBreaks << move;
        EXPECT_EQ(PathExists(dir_.Native("a.txt")), !move);
      }
    }
  }
}

// The outputs are as private as the source; a replaced file keeps its own mode.
TEST_F(ProcessFileSafetyTest, NewDestinationTakesTheSourcePermissionBits) {
  const mode_t mask = ::umask(022);
  for (bool move : {false, true}) {
    settings_.moveSource = move;
    WriteFileBytes(dir_.Native("a.txt"), kSourceText);
    ASSERT_EQ(::chmod(dir_.Native("a.txt").c_str(), 0640), 0);
    ::unlink(dir_.Native("out").c_str());
    ASSERT_EQ(ConvertTo(dir_.Path("out")).result, Result::Converted);
    EXPECT_EQ(ModeOf(dir_.Native("out")), 0640u) << move;
  }
  ::umask(mask);
}

// Failures around the write name what failed; a source that cannot be removed after the move
// stays and fails the move, its destination kept.
TEST_F(ProcessFileSafetyTest, FailuresAroundTheWriteSayWhatFailed) {
  FaultyFiles files;
  files.Fail(support::FileOp::CreateStaged, EACCES);
  Outcome o = ConvertTo(dir_.Path("out"));
  EXPECT_EQ(o.result, Result::WriteError);
  EXPECT_EQ(o.report.problem, Problem::NoTemporaryFile);
  EXPECT_EQ(platform::ToNative(o.report.where), dir_.path());
  EXPECT_EQ(Reason(o), "Permission denied\n");
  files.Heal();
  files.Fail(support::FileOp::Delete, EBUSY);
  settings_.moveSource = true;
  o = ConvertTo(dir_.Path("out"));
  EXPECT_EQ(o.result, Result::WriteError);
  EXPECT_EQ(o.report.problem, Problem::SourceNotDeleted);
  EXPECT_EQ(platform::ToNative(o.report.where), dir_.Native("a.txt"));
  EXPECT_EQ(Reason(o), "Device or resource busy\n");
  EXPECT_EQ(ReadFileText(dir_.Native("out")), kConvertedText);
  EXPECT_EQ(ReadFileText(dir_.Native("a.txt")), kSourceText);
}

TEST_F(ProcessFileSafetyTest, FullTmpfsForReal) {
  const std::string mountPoint = dir_.Native("small");
  ASSERT_EQ(::mkdir(mountPoint.c_str(), 0755), 0);
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=8k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(errno);
  }
  WriteFileBytes(dir_.Native("big"), std::string(64 * 1024, '\xE9'));
  WriteFileBytes(mountPoint + "/old", "old");
  settings_.moveSource = true;
  const Outcome fresh = Convert(dir_.Path("big"), dir_.Path("small/new"), kWindows1252, kCharsetUtf8);
  const Outcome over = Convert(dir_.Path("big"), dir_.Path("small/old"), kWindows1252, kCharsetUtf8);
  const std::vector<std::string> left = support::ListNames(mountPoint);
  const std::string old = ReadFileText(mountPoint + "/old");
  ::umount2(mountPoint.c_str(), MNT_DETACH);
  EXPECT_EQ(fresh.result, Result::WriteError);
  EXPECT_EQ(Reason(fresh), "No space left on device\n");
  EXPECT_EQ(over.result, Result::WriteError);
  EXPECT_EQ(left, std::vector<std::string>{"old"}) << "no partial or temporary file is left";
  EXPECT_EQ(old, "old");
  EXPECT_TRUE(PathExists(dir_.Native("big")));
}

// --- Allocation failures ---------------------------------------------------------------------

TEST_F(ProcessFileSafetyTest, OutOfMemoryNamesItsStepAndCreatesNothing) {
  const struct {
    int successes;  // allocations that succeed first: decoding, line breaks, markup, output
    StreamStep step;
  } steps[] = {
      {0, StreamStep::Decoding}, {1, StreamStep::LineBreaks}, {2, StreamStep::Markup}, {3, StreamStep::Encoding}};
  settings_.lineBreakType = 1;
  settings_.modifyXml = true;
  settings_.moveSource = true;
  WriteFileBytes(dir_.Native("a.txt"), "<?xml encoding=\"x\"?>");
  for (const auto& step : steps) {
    AllocationFailureGuard guard(step.successes);
    const Outcome o = ConvertTo(dir_.Path("out"));
    EXPECT_EQ(o.result, Result::Abandoned) << step.successes;
    EXPECT_EQ(o.report.problem, Problem::OutOfMemory);
    EXPECT_EQ(o.report.step, step.step) << step.successes;
    EXPECT_EQ(o.sourceSize, 20u);
    EXPECT_FALSE(PathExists(dir_.Native("out")));
    EXPECT_TRUE(PathExists(dir_.Native("a.txt")));
  }
}

// --- Security ----------------------------------------------------------------------------

TEST_F(ProcessFileSafetyTest, AccessListIsCarriedOverOnlyOntoAWrittenFile) {
  settings_.keepDacl = true;
  ASSERT_EQ(::chmod(dir_.Native("a.txt").c_str(), 0640), 0);
  ASSERT_EQ(ConvertTo(dir_.Path("out")).result, Result::Converted);
  EXPECT_EQ(ModeOf(dir_.Native("out")), 0640u);

  // A destination the write could not replace keeps its own security.
  WriteFileBytes(dir_.Native("kept"), "old");
  ASSERT_EQ(::chmod(dir_.Native("kept").c_str(), 0600), 0);
  FaultyFiles files;
  files.FailWrite(ENOSPC);
  EXPECT_EQ(ConvertTo(dir_.Path("kept")).result, Result::WriteError);
  EXPECT_EQ(ModeOf(dir_.Native("kept")), 0600u);
}

TEST_F(ProcessFileSafetyTest, OwnerIsCarriedOverWhenAskedFor) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing a file to another owner needs root";
  constexpr uid_t kOther = 65534;  // nobody
  ASSERT_EQ(::chown(dir_.Native("a.txt").c_str(), kOther, kOther), 0);
  struct stat st {};
  settings_.keepDacl = true;  // the access list alone leaves the owner
  ASSERT_EQ(ConvertTo(dir_.Path("out")).result, Result::Converted);
  ASSERT_EQ(::stat(dir_.Native("out").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  settings_.keepOwner = true;
  ASSERT_EQ(ConvertTo(dir_.Path("out2")).result, Result::Converted);
  ASSERT_EQ(::stat(dir_.Native("out2").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kOther);
}

}  // namespace
}  // namespace glyphshift::testing_support
