// A full disk and a move across file systems, for real, on a tiny tmpfs. Needs root and a
// kernel that lets us mount; skipped otherwise (the FaultyFiles double covers the callers).
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/native_text.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using support::ReadFileText;
using support::WriteFileBytes;

class TinyFileSystem : public support::TempDirTest {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    mount_ = dir_.Native("tiny");
    ASSERT_EQ(::mkdir(mount_.c_str(), 0755), 0);
    if (::mount("tmpfs", mount_.c_str(), "tmpfs", 0, "size=64k") != 0) {
      mount_.clear();
      GTEST_SKIP() << "cannot mount a tmpfs here";
    }
  }
  void TearDown() override {
    if (!mount_.empty()) ::umount2(mount_.c_str(), MNT_DETACH);
  }
  std::u16string Tiny(std::string_view name) const { return FromNative(mount_ + "/" + std::string(name)); }

  std::string mount_;
};

SysError Write(const std::u16string& path, const std::string& text, std::uint64_t& written) {
  const std::span<const std::uint8_t> piece(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return Files().WriteWholeFile(path, std::span(&piece, 1), true, written);
}

TEST_F(TinyFileSystem, FullDiskLeavesOldFileAndNoTemporary) {
  WriteFileBytes(mount_ + "/f.txt", "old");
  std::uint64_t written = 0;
  const SysError error = Write(Tiny("f.txt"), std::string(1 << 20, 'x'), written);
  EXPECT_EQ(error.code, ENOSPC);
  EXPECT_STREQ(error.op, "write");
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, 1u << 20);
  EXPECT_EQ(ReadFileText(mount_ + "/f.txt"), "old");
  EXPECT_EQ(support::ListNames(mount_), std::vector<std::string>{"f.txt"});
}

TEST_F(TinyFileSystem, FullDiskLeavesNoPartialNewFile) {
  std::uint64_t written = 0;
  EXPECT_EQ(Write(Tiny("new.txt"), std::string(1 << 20, 'x'), written).code, ENOSPC);
  EXPECT_TRUE(support::ListNames(mount_).empty());
}

TEST_F(TinyFileSystem, MoveAcrossFileSystemsCopiesThenDeletes) {
  WriteFileBytes(mount_ + "/src.txt", "moved content");
  WriteFileBytes(dir_.Native("dst.txt"), "replaced");
  ASSERT_FALSE(Files().MoveFile(Tiny("src.txt"), dir_.Path("dst.txt")));
  EXPECT_EQ(ReadFileText(dir_.Native("dst.txt")), "moved content");
  EXPECT_FALSE(support::PathExists(mount_ + "/src.txt"));
}

TEST_F(TinyFileSystem, FailedMoveAcrossFileSystemsKeepsTheSource) {
  WriteFileBytes(dir_.Native("big.txt"), std::string(1 << 20, 'x'));
  const SysError error = Files().MoveFile(dir_.Path("big.txt"), Tiny("big.txt"));
  EXPECT_EQ(error.code, ENOSPC);
  EXPECT_EQ(ReadFileText(dir_.Native("big.txt")).size(), 1u << 20);
  EXPECT_TRUE(support::ListNames(mount_).empty());
}

}  // namespace
}  // namespace glyphshift::platform
