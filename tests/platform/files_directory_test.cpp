// Directories through descriptors: listings, opening below a directory without following
// links, identity checks, the named paths a person gives, renames and removals.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "platform/files.h"
#include "platform/files_test_support.h"
#include "platform/native_text.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using Directories = support::TempDirTest;

std::map<std::u16string, DirectoryEntry> ByName(const std::vector<DirectoryEntry>& entries) {
  std::map<std::u16string, DirectoryEntry> map;
  for (const auto& entry : entries) EXPECT_TRUE(map.emplace(entry.name, entry).second) << "duplicate entry";
  return map;
}

TEST_F(Directories, ListingGivesEachEntryItsOwnTypeIdentityAndWhatALinkPointsTo) {
  support::WriteFileBytes(dir_.Native("file"), "x");
  ASSERT_EQ(::mkdir(dir_.Native("dir").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("dir", dir_.Native("link-dir").c_str()), 0);
  ASSERT_EQ(::symlink("file", dir_.Native("link-file").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", dir_.Native("dangling").c_str()), 0);
  std::vector<DirectoryEntry> entries;
  ASSERT_FALSE(Files().ListDirectory(OpenDir(FromNative(dir_.path())), entries));
  const auto map = ByName(entries);
  ASSERT_EQ(map.size(), 6u) << "\".\" and \"..\" are not entries";
  const struct {
    const char16_t* name;
    EntryType type;
    EntryType target;
  } expected[] = {
      {u"file", EntryType::Regular, EntryType::Regular},
      {u"dir", EntryType::Directory, EntryType::Directory},
      {u"fifo", EntryType::Other, EntryType::Other},
      {u"link-dir", EntryType::SymbolicLink, EntryType::Directory},
      {u"link-file", EntryType::SymbolicLink, EntryType::Regular},
      {u"dangling", EntryType::SymbolicLink, EntryType::Missing},
  };
  for (const auto& e : expected) {
    ASSERT_TRUE(map.contains(e.name)) << ToNative(e.name);
    EXPECT_EQ(map.at(e.name).type, e.type) << ToNative(e.name);
    EXPECT_EQ(map.at(e.name).targetType, e.target) << ToNative(e.name);
    EXPECT_EQ(map.at(e.name).id, IdOf(dir_.Native(ToNative(e.name)))) << "the entry's own identity";
  }
}

TEST_F(Directories, LargeListingIsComplete) {
  // More names than one getdents buffer holds, some of them long.
  constexpr std::size_t kCount = 1500;
  for (std::size_t i = 0; i < kCount; ++i)
    support::WriteFileBytes(dir_.Native(std::to_string(i) + std::string(i % 200, 'n')), "");
  std::vector<DirectoryEntry> entries;
  ASSERT_FALSE(Files().ListDirectory(OpenDir(FromNative(dir_.path())), entries));
  EXPECT_EQ(ByName(entries).size(), kCount);
}

// The walk of a tree another user writes: a directory swapped for a link or for another
// directory after the listing is refused, not entered.
TEST_F(Directories, SubdirectoriesOpenOnlyAsListed) {
  ASSERT_EQ(::mkdir(dir_.Native("a").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir_.Native("b").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("a", dir_.Native("link").c_str()), 0);
  const CDirectory parent = OpenDir(FromNative(dir_.path()));
  const FileId a = IdOf(dir_.Native("a"));
  CDirectory opened;
  ASSERT_FALSE(Files().OpenSubdirectory(parent, u"a", &a, opened));
  EXPECT_EQ(opened.id, a);
  EXPECT_EQ(opened.path, FromNative(dir_.path()) + u"/a");
  EXPECT_FALSE(Files().OpenSubdirectory(parent, u"b", nullptr, opened));
  EXPECT_EQ(opened.permissions, 0700u);
  EXPECT_EQ(Files().OpenSubdirectory(parent, u"b", &a, opened).code, kErrorReplaced);
  EXPECT_EQ(Files().OpenSubdirectory(parent, u"link", &a, opened).code, kErrorIsLink);
  EXPECT_EQ(Files().OpenSubdirectory(parent, u"link", nullptr, opened).code, kErrorIsLink);
  EXPECT_EQ(Files().OpenSubdirectory(parent, u"..", nullptr, opened).code, EINVAL);
  EXPECT_EQ(Files().OpenSubdirectory(parent, u"a/../b", nullptr, opened).code, EINVAL);
  ASSERT_FALSE(Files().CreateSubdirectory(parent, u"new", 0750));
  EXPECT_EQ(Files().CreateSubdirectory(parent, u"new", 0750).code, EEXIST);
  EXPECT_EQ(Files().OpenDirectory(dir_.Path("missing"), opened).code, ENOENT);
  support::WriteFileBytes(dir_.Native("file"), "x");
  EXPECT_EQ(Files().OpenDirectory(dir_.Path("file"), opened).code, ENOTDIR);
}

TEST_F(Directories, IsBelowWalksUpByIdentity) {
  ASSERT_EQ(::mkdir(dir_.Native("tree").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir_.Native("tree/sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir_.Native("tree/sub/deep").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir_.Native("other").c_str(), 0755), 0);
  // Named through a link from outside, still inside the tree.
  ASSERT_EQ(::symlink("tree/sub/deep", dir_.Native("shortcut").c_str()), 0);
  const FileId tree = IdOf(dir_.Native("tree"));
  const struct {
    const char* path;
    bool below;
  } cases[] = {{"tree/sub", true}, {"tree/sub/deep", true}, {"shortcut", true}, {"tree", false}, {"other", false}};
  for (const auto& c : cases) {
    bool below = !c.below;
    ASSERT_FALSE(Files().IsBelow(OpenDir(dir_.Path(c.path)), tree, below)) << c.path;
    EXPECT_EQ(below, c.below) << c.path;
  }
}

TEST_F(Directories, NamedPathsFollowLinkChainsOnlyWhenAsked) {
  ASSERT_EQ(::mkdir(dir_.Native("sub").c_str(), 0755), 0);
  support::WriteFileBytes(dir_.Native("sub/target.txt"), "x");
  // A relative link in another directory, reached through a second, absolute link.
  ASSERT_EQ(::symlink("sub/target.txt", dir_.Native("rel").c_str()), 0);
  ASSERT_EQ(::symlink(dir_.Native("rel").c_str(), dir_.Native("abs").c_str()), 0);
  ASSERT_EQ(::symlink("made.txt", dir_.Native("dangling").c_str()), 0);
  ASSERT_EQ(::symlink("loop-b", dir_.Native("loop-a").c_str()), 0);
  ASSERT_EQ(::symlink("loop-a", dir_.Native("loop-b").c_str()), 0);
  CDirectory directory;
  std::u16string name;
  ASSERT_FALSE(Files().OpenNamedParent(dir_.Path("abs"), true, directory, name));
  EXPECT_EQ(name, u"target.txt");
  EXPECT_EQ(directory.id, IdOf(dir_.Native("sub")));
  ASSERT_FALSE(Files().OpenNamedParent(dir_.Path("abs"), false, directory, name));
  EXPECT_EQ(name, u"abs");
  ASSERT_FALSE(Files().OpenNamedParent(dir_.Path("dangling"), true, directory, name));
  EXPECT_EQ(name, u"made.txt") << "a dangling link leads to where its target is to be made";
  EXPECT_EQ(Files().OpenNamedParent(dir_.Path("loop-a"), true, directory, name).code, ELOOP);
  EXPECT_EQ(Files().OpenNamedParent(dir_.Path("sub/"), true, directory, name).code, EISDIR);
  EXPECT_EQ(Files().OpenNamedParent(dir_.Path("missing/f"), true, directory, name).code, ENOENT);
  // The OS would stop at the NUL and name another file.
  EXPECT_EQ(Files().OpenNamedParent(dir_.Path("cut") + std::u16string(1, u'\0') + u"rest", true, directory, name).code,
            EINVAL);
}

TEST_F(Directories, RenamesNeverReplaceAndBothCheckTheFileIsStillThere) {
  support::WriteFileBytes(dir_.Native("a"), "A");
  support::WriteFileBytes(dir_.Native("b"), "B");
  const CDirectory directory = OpenDir(FromNative(dir_.path()));
  const FileId a = IdOf(dir_.Native("a"));
  const FileId b = IdOf(dir_.Native("b"));
  EXPECT_EQ(Files().RenameEntry(directory, u"a", u"b", &a).code, EEXIST);
  EXPECT_EQ(Files().RenameEntry(directory, u"a", u"c", &b).code, kErrorReplaced);
  ASSERT_FALSE(Files().RenameEntry(directory, u"a", u"c", &a));
  EXPECT_EQ(support::ReadFileText(dir_.Native("c")), "A");
  EXPECT_EQ(support::ReadFileText(dir_.Native("b")), "B");
  EXPECT_EQ(Files().RemoveEntry(directory, u"c", &b).code, kErrorReplaced);
  EXPECT_TRUE(support::PathExists(dir_.Native("c")));
  ASSERT_FALSE(Files().RemoveEntry(directory, u"c", &a));
  EXPECT_EQ(Files().RemoveEntry(directory, u"c", nullptr).code, ENOENT);
  EXPECT_EQ(support::ListNames(dir_.path()), std::vector<std::string>{"b"});
}

}  // namespace
}  // namespace glyphshift::platform
