// Reading: whole files the person named, files opened relative to a directory, entry types.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/files_test_support.h"
#include "platform/native_text.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using support::Bytes;
using support::ReadFileText;
using support::WriteFileBytes;

using WholeFiles = support::TempDirTest;

TEST_F(WholeFiles, ReadsEveryByteOfSmallAndLargeFiles) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65536}, std::size_t{1000003}}) {
    Bytes content(size);
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    WriteFileBytes(dir_.Native("f"), content);
    Bytes read{1, 2, 3};  // stale content must not survive
    ASSERT_FALSE(platform::ReadWholeFile(dir_.Path("f"), read)) << size;
    EXPECT_EQ(read, content) << size;
  }
}

TEST_F(WholeFiles, ReadsFilesThatReportNoSize) {
  // Files in /proc claim size 0 yet have content.
  Bytes bytes;
  ASSERT_FALSE(platform::ReadWholeFile(u"/proc/self/status", bytes));
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Pid:"), std::string::npos);
}

TEST_F(WholeFiles, HeldFilesReadAsTheFileWhenHeld) {
  // Everything ReadAt gives, in pieces as a detector takes them.
  const auto readAll = [](const CFile& file) {
    Bytes all;
    std::uint8_t piece[7];
    for (std::size_t got = 1; got != 0;) {
      EXPECT_FALSE(platform::ReadAt(file, all.size(), piece, sizeof piece, got));
      all.insert(all.end(), piece, piece + got);
    }
    return all;
  };
  struct Case {
    std::size_t size;
    std::size_t grownBy;  // after the open, before HoldWhole
    bool held;
  };
  for (const Case c :
       {Case{100, 0, true}, Case{0, 0, true}, Case{1000, 0, true}, Case{1001, 0, false}, Case{100, 50, false}}) {
    Bytes content(c.size + c.grownBy);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7 + 1);
    WriteFileBytes(dir_.Native("f"), Bytes(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(c.size)));
    CFile file;
    ASSERT_FALSE(Files().OpenNamedFile(dir_.Path("f"), file));
    WriteFileBytes(dir_.Native("f"), content);
    platform::HoldWhole(file, 1000);
    EXPECT_EQ(file.heldWhole, c.held) << c.size << " + " << c.grownBy;
    // A held file is read once: what it held stays, whatever is written over it.
    WriteFileBytes(dir_.Native("f"), Bytes(content.size(), 0xEE));
    EXPECT_EQ(readAll(file), c.held ? content : Bytes(content.size(), 0xEE)) << c.size << " + " << c.grownBy;
    platform::DropHeld(file);
    EXPECT_EQ(readAll(file), Bytes(content.size(), 0xEE)) << "dropped: read from the file again";
  }
  CFile proc;
  ASSERT_FALSE(Files().OpenNamedFile(u"/proc/self/status", proc));
  platform::HoldWhole(proc, 1000);
  EXPECT_FALSE(proc.heldWhole) << "its size says nothing of its content";
  EXPECT_FALSE(readAll(proc).empty());
}

TEST_F(WholeFiles, RefusesWhatIsNotARegularFile) {
  ASSERT_EQ(::mkdir(dir_.Native("d").c_str(), 0755), 0);
  // No writer ever opens this FIFO: a blocking open would hang the test.
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("d", dir_.Native("link-to-d").c_str()), 0);
  Bytes bytes;
  EXPECT_EQ(platform::ReadWholeFile(dir_.Path("d"), bytes).code, EISDIR);
  EXPECT_EQ(platform::ReadWholeFile(dir_.Path("link-to-d"), bytes).code, EISDIR);
  EXPECT_EQ(platform::ReadWholeFile(dir_.Path("fifo"), bytes).code, EINVAL);
  EXPECT_EQ(platform::ReadWholeFile(u"/dev/null", bytes).code, EINVAL);
  const SysError missing = platform::ReadWholeFile(dir_.Path("missing"), bytes);
  EXPECT_EQ(missing.code, ENOENT);
  EXPECT_STREQ(missing.op, "open");
}

TEST_F(WholeFiles, RefusesFourGibibytesAndMore) {
  // Sparse files: no disk space is used.
  for (const std::uint64_t size : {kMaxFileSize, kMaxFileSize + 1, kMaxFileSize * 2}) {
    const int fd = ::open(dir_.Native("big").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const bool sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    if (!sized) GTEST_SKIP() << "no sparse files of that size here";
    Bytes bytes;
    EXPECT_EQ(platform::ReadWholeFile(dir_.Path("big"), bytes).code, EFBIG) << size;
    EXPECT_TRUE(bytes.empty());
  }
}

TEST_F(WholeFiles, NameWithInvalidUtf8FoundInListingOpensAgain) {
  const std::string name = "caf\xE9-\xFF.txt";  // Latin-1 bytes, as an old archive leaves them
  WriteFileBytes(dir_.Native(name), "content");
  const CDirectory directory = OpenDir(FromNative(dir_.path()));
  std::vector<DirectoryEntry> entries;
  ASSERT_FALSE(Files().ListDirectory(directory, entries));
  ASSERT_EQ(entries.size(), 1u);
  CFile file;
  ASSERT_FALSE(Files().OpenFile(directory, entries[0].name, file));
  Bytes bytes;
  ASSERT_FALSE(platform::ReadWholeFile(file, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "content");
}

using OpenFile = support::TempDirTest;

// What a listing found is opened as it was found: a link or a FIFO swapped in is refused, never
// followed or waited on.
TEST_F(OpenFile, OpensRegularFilesOnlyAndNeverFollowsALink) {
  WriteFileBytes(dir_.Native("f"), "0123456789");
  ASSERT_EQ(::mkdir(dir_.Native("d").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("f", dir_.Native("link").c_str()), 0);
  const CDirectory directory = OpenDir(FromNative(dir_.path()));
  const struct {
    const char16_t* name;
    int code;
  } cases[] = {{u"f", 0},         {u"d", EISDIR},  {u"fifo", EINVAL}, {u"link", kErrorIsLink}, {u"missing", ENOENT},
               {u"../f", EINVAL}, {u"..", EINVAL}, {u"", EINVAL}};
  for (const auto& c : cases) {
    CFile file;
    EXPECT_EQ(Files().OpenFile(directory, c.name, file).code, c.code) << ToNative(c.name);
  }
  CFile file;
  ASSERT_FALSE(Files().OpenFile(directory, u"f", file));
  EXPECT_EQ(file.status.size, 10u);
  EXPECT_EQ(file.status.id, IdOf(dir_.Native("f")));
  std::uint8_t piece[4];
  std::size_t got = 0;
  ASSERT_FALSE(Files().ReadFile(file, 8, piece, sizeof piece, got));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(piece), got), "89");
}

using FileOperations = support::TempDirTest;

TEST_F(FileOperations, EntryTypesFollowLinks) {
  WriteFileBytes(dir_.Native("f"), "x");
  ASSERT_EQ(::mkdir(dir_.Native("d").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("d", dir_.Native("to-d").c_str()), 0);
  ASSERT_EQ(::symlink("f", dir_.Native("to-f").c_str()), 0);
  ASSERT_EQ(::symlink("nothing", dir_.Native("dangling").c_str()), 0);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("f")), EntryType::Regular);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("d")), EntryType::Directory);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("to-d")), EntryType::Directory);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("to-f")), EntryType::Regular);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("fifo")), EntryType::Other);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("dangling")), EntryType::Other);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("nothing")), EntryType::Missing);
  EXPECT_EQ(Files().GetEntryType(dir_.Path("f/below-a-file")), EntryType::Missing);
}

TEST_F(FileOperations, CurrentDirectoryHasNoLengthLimit) {
  // Deeper than PATH_MAX: reached step by step, as no single path may be that long.
  const int home = ::open(".", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(home, 0);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  const std::string component(200, 'c');
  for (int i = 0; i < 25; ++i) ASSERT_TRUE(::mkdir(component.c_str(), 0755) == 0 && ::chdir(component.c_str()) == 0);
  const std::u16string cwd = Files().CurrentDirectory();
  ASSERT_EQ(::fchdir(home), 0);
  ::close(home);
  EXPECT_GT(cwd.size(), 25u * 201u);
  EXPECT_EQ(cwd.substr(0, dir_.path().size()), FromNative(dir_.path()));
  EXPECT_TRUE(cwd.ends_with(u"/" + FromNative(component)));
}

}  // namespace
}  // namespace glyphshift::platform
