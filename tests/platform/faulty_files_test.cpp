// The FaultyFiles double: other layers' tests rely on it failing exactly as told.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/files_test_support.h"
#include "platform/native_text.h"
#include "support/faulty_files.h"
#include "support/temp_dir.h"

namespace glyphshift::support {
namespace {

using platform::Files;

using FaultyFilesTest = TempDirTest;

TEST_F(FaultyFilesTest, FailsAsToldForwardsOtherwiseAndIsRemovedAtScopeEnd) {
  platform::FileSystem* real = &Files();
  WriteFileBytes(dir_.Native("f"), "x");
  {
    FaultyFiles files;
    EXPECT_EQ(&Files(), &files);
    const platform::CDirectory directory = platform::OpenDir(platform::FromNative(dir_.path()));

    // A write fault lets the given bytes through, as a full disk does.
    files.FailWrite(ENOSPC, 2);
    platform::CStagedFile staged;
    ASSERT_FALSE(Files().CreateStaged(directory, staged));
    const platform::SysError error = Files().WriteStaged(staged, {reinterpret_cast<const std::uint8_t*>("new"), 3});
    EXPECT_EQ(error.code, ENOSPC);
    EXPECT_STREQ(error.op, "write");
    EXPECT_EQ(staged.written, 2u);
    Files().Discard(staged);

    // A fault after two successful calls, until healed; the op name can be chosen.
    files.Fail(FileOp::Read, EIO, 2, "ReadFile");
    platform::CFile file;
    EXPECT_FALSE(Files().OpenFile(directory, u"f", file));
    EXPECT_FALSE(Files().OpenFile(directory, u"f", file));
    const platform::SysError read = Files().OpenFile(directory, u"f", file);
    EXPECT_EQ(read.code, EIO);
    EXPECT_STREQ(read.op, "ReadFile");
    files.Heal();
    EXPECT_FALSE(Files().OpenFile(directory, u"f", file));
    EXPECT_EQ(files.Calls(FileOp::Read), 4);
  }
  EXPECT_EQ(&Files(), real);
  EXPECT_EQ(ListNames(dir_.path()), std::vector<std::string>{"f"});
}

}  // namespace
}  // namespace glyphshift::support
