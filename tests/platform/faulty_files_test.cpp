// The FaultyFiles double: other layers' tests rely on it failing exactly as told.
#include "support/faulty_files.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace glyphshift::support {
namespace {

using platform::Files;

platform::SysError Write(const std::u16string& path, std::string_view text, std::uint64_t& written) {
  const std::span<const std::uint8_t> piece(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return Files().WriteWholeFile(path, std::span(&piece, 1), true, written);
}

using FaultyFilesTest = TempDirTest;

TEST_F(FaultyFilesTest, ForwardsUntilToldAndIsRemovedAtScopeEnd) {
  platform::FileSystem* real = &Files();
  {
    FaultyFiles files;
    EXPECT_EQ(&Files(), &files);
    std::uint64_t written = 0;
    ASSERT_FALSE(Write(dir_.Path("f"), "real", written));
    EXPECT_EQ(ReadFileText(dir_.Native("f")), "real");
    EXPECT_EQ(files.Calls(FileOp::Write), 1);
  }
  EXPECT_EQ(&Files(), real);
}

TEST_F(FaultyFilesTest, WriteFaultLeavesDiskUntouchedAndCountsBytes) {
  WriteFileBytes(dir_.Native("f"), "old");
  FaultyFiles files;
  files.FailWrite(ENOSPC, 2);
  std::uint64_t written = 0;
  const platform::SysError error = Write(dir_.Path("f"), "new content", written);
  EXPECT_EQ(error.code, ENOSPC);
  EXPECT_STREQ(error.op, "write");
  EXPECT_EQ(written, 2u);
  EXPECT_FALSE(Write(dir_.Path("new"), "x", written).code == 0);
  EXPECT_EQ(ListNames(dir_.path()), std::vector<std::string>{"f"});
  EXPECT_EQ(ReadFileText(dir_.Native("f")), "old");

  files.FailRename(EACCES);
  EXPECT_STREQ(Write(dir_.Path("f"), "new content", written).op, "rename");
  EXPECT_EQ(written, 11u);
}

TEST_F(FaultyFilesTest, FaultStartsAfterTheGivenNumberOfCallsAndEndsWhenHealed) {
  WriteFileBytes(dir_.Native("f"), "x");
  FaultyFiles files;
  files.FailRead(EIO, 2);
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(Files().ReadWholeFile(dir_.Path("f"), bytes));
  EXPECT_FALSE(Files().ReadWholeFile(dir_.Path("f"), bytes));
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("f"), bytes).code, EIO);
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("f"), bytes).code, EIO);
  EXPECT_TRUE(bytes.empty());
  files.Heal();
  EXPECT_FALSE(Files().ReadWholeFile(dir_.Path("f"), bytes));
  EXPECT_EQ(files.Calls(FileOp::Read), 5);
}

TEST_F(FaultyFilesTest, OtherOperationsFailWithTheirOwnNames) {
  WriteFileBytes(dir_.Native("f"), "x");
  FaultyFiles files;
  files.Fail(FileOp::Move, EXDEV);
  files.Fail(FileOp::Delete, EBUSY, 0, "DeleteFileW");
  EXPECT_EQ(Files().MoveFile(dir_.Path("f"), dir_.Path("g")).code, EXDEV);
  const platform::SysError error = Files().DeleteFile(dir_.Path("f"));
  EXPECT_EQ(error.code, EBUSY);
  EXPECT_STREQ(error.op, "DeleteFileW");
  EXPECT_EQ(ReadFileText(dir_.Native("f")), "x");
}

}  // namespace
}  // namespace glyphshift::support
