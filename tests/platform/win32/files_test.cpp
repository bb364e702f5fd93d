// The Win32 side of the file interface against real files (under Wine in CI): handles opened
// relative to directories, identities that match between a listing and an open handle, staged
// files that take their names by handle, and renames and deletions that check the file first.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using ::testing::UnorderedElementsAre;

std::uint8_t const* Bytes(std::string_view text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

class Win32Files : public support::TempDirTest {
 protected:
  void SetUp() override {
    support::WriteFileBytes(dir_.Native("a.txt"), "alpha");
    ASSERT_TRUE(CreateDirectoryW(Wide(dir_.Path("sub")), nullptr));
    ASSERT_FALSE(Files().OpenDirectory(FromPath(dir_.path()), root_));
  }
  static const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
  static std::u16string FromPath(const std::string& native) { return std::u16string(native.begin(), native.end()); }

  // Writes `text` to a staged file and gives it `name`.
  SysError Stage(const std::u16string& name, std::string_view text, Replace replace) {
    CStagedFile staged;
    if (auto error = Files().CreateStaged(root_, staged)) return error;
    if (auto error = Files().WriteStaged(staged, {Bytes(text), text.size()})) return error;
    if (auto error = Files().FlushStaged(staged)) return error;
    return Files().Commit(staged, name, replace);
  }

  CDirectory root_;
};

// A staged file shares nothing but deletion while its run holds it: then it is not reclaimed;
// one no handle holds (its run killed) is. The lock of an in-place conversion excludes a second
// handle's, not its readers.
TEST_F(Win32Files, LeftoversAreReclaimedOnlyOnceTheirRunIsGoneAndLocksExcludeEachOther) {
  CStagedFile inProgress;
  ASSERT_FALSE(Files().CreateStaged(root_, inProgress));
  support::WriteFileBytes(dir_.Native(".morfex-Left01"), "left by a kill");
  for (const auto& [name, expected] :
       {std::pair{inProgress.temporaryName, false}, std::pair{std::u16string(u".morfex-Left01"), true}}) {
    bool removed = !expected;
    EXPECT_FALSE(Files().ReclaimTemporary(root_, name, removed));
    EXPECT_EQ(removed, expected);
  }
  EXPECT_FALSE(support::PathExists(dir_.Native(".morfex-Left01")));
  bool removed = true;
  EXPECT_TRUE(Files().ReclaimTemporary(root_, u"a.txt", removed)) << "only temporary names";

  CFile first, second;
  ASSERT_FALSE(Files().OpenFile(root_, u"a.txt", first));
  ASSERT_FALSE(Files().OpenFile(root_, u"a.txt", second));
  EXPECT_FALSE(Files().LockFile(first));
  EXPECT_EQ(Files().LockFile(second).code, kErrorLocked);
  EXPECT_EQ(support::ReadFileText(dir_.Native("a.txt")), "alpha") << "readers read on";
  first = {};
  EXPECT_FALSE(Files().LockFile(second));
}

TEST_F(Win32Files, ListingIdentitiesMatchTheOpenedFiles) {
  std::vector<DirectoryEntry> entries;
  ASSERT_FALSE(Files().ListDirectory(root_, entries));
  ASSERT_EQ(entries.size(), 2u);
  for (const DirectoryEntry& entry : entries) {
    if (entry.name == u"a.txt") {
      EXPECT_EQ(entry.type, EntryType::Regular);
      CFile file;
      ASSERT_FALSE(Files().OpenFile(root_, u"A.TXT", file)) << "names compare without case";
      EXPECT_EQ(file.status.id, entry.id);
      EXPECT_EQ(file.status.size, 5u);
    } else {
      EXPECT_EQ(entry.name, u"sub");
      EXPECT_EQ(entry.type, EntryType::Directory);
      CDirectory sub;
      ASSERT_FALSE(Files().OpenSubdirectory(root_, u"sub", &entry.id, sub));
      EXPECT_EQ(sub.id, entry.id);
      EXPECT_EQ(sub.path, root_.path + u"\\sub");
      const FileId other{entry.id.device, entry.id.inode + 1};
      EXPECT_EQ(Files().OpenSubdirectory(root_, u"sub", &other, sub).code, kErrorReplaced)
          << "a directory swapped in after the listing is noticed";
    }
  }
}

TEST_F(Win32Files, RefusesWhatIsNoRegularFileOrNoSingleName) {
  CFile file;
  EXPECT_EQ(Files().OpenFile(root_, u"sub", file).code, kErrorIsDirectory);
  EXPECT_EQ(Files().OpenNamedFile(dir_.Path("sub"), file).code, kErrorIsDirectory);
  EXPECT_EQ(Files().OpenFile(root_, u"missing.txt", file).code, ERROR_FILE_NOT_FOUND);
  for (const std::u16string name : {u"sub\\a.txt", u"sub/a.txt", u"..", u"a.txt:stream", u""}) {
    EXPECT_EQ(Files().OpenFile(root_, name, file).code, ERROR_INVALID_NAME) << "a name reaching elsewhere";
  }
  FileStatus status;
  EXPECT_FALSE(Files().Status(root_, u"missing.txt", status));
  EXPECT_EQ(status.type, EntryType::Missing);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("sub")), EntryType::Directory);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("a.txt")), EntryType::Regular);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("nothing")), EntryType::Missing);
  EXPECT_EQ(Files().GetEntryType(u"NUL"), EntryType::Other) << "a device";
}

TEST_F(Win32Files, StagedFilesTakeTheirNameOnlyWhenCommitted) {
  {
    CStagedFile abandoned;
    ASSERT_FALSE(Files().CreateStaged(root_, abandoned));
    EXPECT_TRUE(IsTemporaryName(abandoned.temporaryName));
    ASSERT_FALSE(Files().WriteStaged(abandoned, {Bytes("half"), 4}));
    EXPECT_THAT(support::ListNames(dir_.path()),
                UnorderedElementsAre("a.txt", "sub", ::testing::StartsWith(".morfex-")));
  }
  EXPECT_THAT(support::ListNames(dir_.path()), UnorderedElementsAre("a.txt", "sub")) << "removed when abandoned";

  EXPECT_FALSE(Stage(u"b.txt", "new", Replace::Never));
  EXPECT_EQ(support::ReadFileText(dir_.Native("b.txt")), "new");
  EXPECT_EQ(Stage(u"a.txt", "never", Replace::Never).code, kErrorExists);
  EXPECT_EQ(support::ReadFileText(dir_.Native("a.txt")), "alpha") << "Replace::Never never replaces";
  EXPECT_FALSE(Stage(u"a.txt", "replaced", Replace::Allowed));
  EXPECT_EQ(support::ReadFileText(dir_.Native("a.txt")), "replaced");
  EXPECT_THAT(support::ListNames(dir_.path()), UnorderedElementsAre("a.txt", "b.txt", "sub"));
}

TEST_F(Win32Files, ReplacingKeepsTheReplacedFilesAttributesAndRefusesAnOpenOne) {
  ASSERT_TRUE(SetFileAttributesW(Wide(dir_.Path("a.txt")), FILE_ATTRIBUTE_HIDDEN));
  CFile replaced;
  ASSERT_FALSE(Files().OpenForReplacing(root_, u"a.txt", replaced));
  CStagedFile staged;
  ASSERT_FALSE(Files().CreateStaged(root_, staged));
  ASSERT_FALSE(Files().WriteStaged(staged, {Bytes("converted"), 9}));
  ASSERT_FALSE(Files().CopyAttributes(staged, replaced));
  // Windows replaces no file that is open: the run closes what it read before the rename.
  EXPECT_EQ(Files().Commit(staged, u"a.txt", Replace::Allowed).code, ERROR_ACCESS_DENIED);
  EXPECT_EQ(support::ReadFileText(dir_.Native("a.txt")), "alpha") << "a failed rename changes nothing";
  replaced = {};
  ASSERT_FALSE(Files().Commit(staged, u"a.txt", Replace::Allowed));
  staged.handle.Reset();  // nobody else may open it while the run holds it
  EXPECT_EQ(support::ReadFileText(dir_.Native("a.txt")), "converted");
  EXPECT_TRUE(GetFileAttributesW(Wide(dir_.Path("a.txt"))) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(Win32Files, ReadOnlyFilesAreNeitherReplacedNorGivenAway) {
  ASSERT_TRUE(SetFileAttributesW(Wide(dir_.Path("a.txt")), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  CFile file;
  EXPECT_EQ(Files().OpenForReplacing(root_, u"a.txt", file).code, ERROR_ACCESS_DENIED);
  CFile source;
  ASSERT_FALSE(Files().OpenFile(root_, u"a.txt", source));
  EXPECT_EQ(source.status.permissions, 0444u);
  CStagedFile staged;
  ASSERT_FALSE(Files().CreateStaged(root_, staged));
  ASSERT_FALSE(Files().SetNewFilePermissions(staged, source.status.permissions));
  ASSERT_FALSE(Files().Commit(staged, u"copy.txt", Replace::Never));
  EXPECT_TRUE(GetFileAttributesW(Wide(dir_.Path("copy.txt"))) & FILE_ATTRIBUTE_READONLY)
      << "a copy of read-only text stays read-only";
  SetFileAttributesW(Wide(dir_.Path("a.txt")), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(Wide(dir_.Path("copy.txt")), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32Files, RenamesAndDeletionsCheckTheFileFirst) {
  CFile file;
  ASSERT_FALSE(Files().OpenFile(root_, u"a.txt", file));
  const FileId id = file.status.id;
  file = {};
  const FileId other{id.device, id.inode + 1};
  EXPECT_EQ(Files().RenameEntry(root_, u"a.txt", u"b.txt", &other).code, kErrorReplaced);
  EXPECT_EQ(Files().RemoveEntry(root_, u"a.txt", &other).code, kErrorReplaced);
  support::WriteFileBytes(dir_.Native("c.txt"), "gamma");
  EXPECT_EQ(Files().RenameEntry(root_, u"a.txt", u"c.txt", &id).code, kErrorExists) << "never over a file";
  EXPECT_FALSE(Files().RenameEntry(root_, u"a.txt", u"b.txt", &id));
  EXPECT_FALSE(Files().RemoveEntry(root_, u"c.txt", nullptr));
  EXPECT_THAT(support::ListNames(dir_.path()), UnorderedElementsAre("b.txt", "sub"));
}

TEST_F(Win32Files, DirectoriesBelowTheRootAndPathsBeyond260Characters) {
  ASSERT_FALSE(Files().CreateSubdirectory(root_, u"out", 0755));
  EXPECT_EQ(Files().CreateSubdirectory(root_, u"out", 0755).code, kErrorExists);
  CDirectory out;
  ASSERT_FALSE(Files().OpenSubdirectory(root_, u"out", nullptr, out));
  bool below = false;
  ASSERT_FALSE(Files().IsBelow(out, root_.id, below));
  EXPECT_TRUE(below);
  ASSERT_FALSE(Files().IsBelow(root_, out.id, below));
  EXPECT_FALSE(below);

  // A chain of directories, each opened relative to its parent, far past the old limit.
  const std::u16string component(60, u'd');
  CDirectory current;
  ASSERT_FALSE(Files().OpenDirectory(root_.path, current));
  std::u16string path = root_.path;
  for (int level = 0; level < 6; ++level) {
    ASSERT_FALSE(Files().CreateSubdirectory(current, component, 0755));
    CDirectory next;
    ASSERT_FALSE(Files().OpenSubdirectory(current, component, nullptr, next));
    current = std::move(next);
    path += u"\\" + component;
  }
  ASSERT_GT(path.size(), 300u);
  CDirectory deep;
  ASSERT_FALSE(Files().OpenDirectory(path, deep)) << "the long form lifts the limit";
  EXPECT_EQ(deep.id, current.id);
  CDirectory parent;
  std::u16string name;
  ASSERT_FALSE(Files().OpenNamedParent(path + u"\\file.txt", true, parent, name));
  EXPECT_EQ(parent.id, current.id);
  EXPECT_EQ(name, u"file.txt");
  EXPECT_EQ(Files().OpenNamedParent(path + u"\\", true, parent, name).code, kErrorIsDirectory);

  // The temporary folder's own clean-up cannot reach this deep: the chain goes from the bottom.
  current = {};
  deep = {};
  parent = {};
  for (int level = 0; level < 6; ++level) {
    EXPECT_TRUE(RemoveDirectoryW(Wide(u"\\\\?\\" + path)));
    path.resize(path.rfind(u'\\'));
  }
}

}  // namespace
}  // namespace glyphshift::platform
