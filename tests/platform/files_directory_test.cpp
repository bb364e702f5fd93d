// ListDirectory: a complete snapshot with the types the run needs.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

#include "platform/files.h"
#include "platform/native_text.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using ListDirectory = support::TempDirTest;

std::map<std::u16string, DirectoryEntry> ByName(const std::vector<DirectoryEntry>& entries) {
  std::map<std::u16string, DirectoryEntry> map;
  for (const auto& entry : entries) EXPECT_TRUE(map.emplace(entry.name, entry).second) << "duplicate entry";
  return map;
}

TEST_F(ListDirectory, GivesEveryEntryWithTypeOfLinkTargetAndLinkFlag) {
  support::WriteFileBytes(dir_.Native("file"), "x");
  ASSERT_EQ(::mkdir(dir_.Native("dir").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("dir", dir_.Native("link-dir").c_str()), 0);
  ASSERT_EQ(::symlink("file", dir_.Native("link-file").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", dir_.Native("dangling").c_str()), 0);
  std::vector<DirectoryEntry> entries;
  ASSERT_FALSE(Files().ListDirectory(FromNative(dir_.path()), entries));
  const auto map = ByName(entries);
  ASSERT_EQ(map.size(), 6u) << "\".\" and \"..\" are not entries";
  const struct {
    const char16_t* name;
    EntryType type;
    bool link;
  } expected[] = {
      {u"file", EntryType::Regular, false},     {u"dir", EntryType::Directory, false},
      {u"fifo", EntryType::Other, false},       {u"link-dir", EntryType::Directory, true},
      {u"link-file", EntryType::Regular, true}, {u"dangling", EntryType::Other, true},
  };
  for (const auto& e : expected) {
    ASSERT_TRUE(map.contains(e.name)) << ToNative(e.name);
    EXPECT_EQ(map.at(e.name).type, e.type) << ToNative(e.name);
    EXPECT_EQ(map.at(e.name).isSymbolicLink, e.link) << ToNative(e.name);
  }
}

TEST_F(ListDirectory, LargeDirectoryIsComplete) {
  // More names than one getdents buffer holds, some of them long.
  constexpr std::size_t kCount = 1500;
  for (std::size_t i = 0; i < kCount; ++i) support::WriteFileBytes(dir_.Native(std::to_string(i) + std::string(i % 200, 'n')), "");
  std::vector<DirectoryEntry> entries;
  ASSERT_FALSE(Files().ListDirectory(FromNative(dir_.path()), entries));
  EXPECT_EQ(ByName(entries).size(), kCount);
}

TEST_F(ListDirectory, ErrorsNameTheFailedCallAndLeaveNoEntries) {
  support::WriteFileBytes(dir_.Native("file"), "x");
  std::vector<DirectoryEntry> entries{{u"stale", EntryType::Regular, false}};
  SysError error = Files().ListDirectory(dir_.Path("missing"), entries);
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_STREQ(error.op, "opendir");
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(Files().ListDirectory(dir_.Path("file"), entries).code, ENOTDIR);
}

}  // namespace
}  // namespace glyphshift::platform
