// ReadWholeFile and the small file operations, on real temporary directories.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/native_text.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using support::Bytes;
using support::ReadFileText;
using support::WriteFileBytes;

using ReadWholeFile = support::TempDirTest;

TEST_F(ReadWholeFile, ReadsEveryByteOfSmallAndLargeFiles) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65536}, std::size_t{1000003}}) {
    Bytes content(size);
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    WriteFileBytes(dir_.Native("f"), content);
    Bytes read{1, 2, 3};  // stale content must not survive
    ASSERT_FALSE(Files().ReadWholeFile(dir_.Path("f"), read)) << size;
    EXPECT_EQ(read, content) << size;
  }
}

TEST_F(ReadWholeFile, ReadsFilesThatReportNoSize) {
  // Files in /proc claim size 0 yet have content.
  Bytes bytes;
  ASSERT_FALSE(Files().ReadWholeFile(u"/proc/self/status", bytes));
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Pid:"), std::string::npos);
}

TEST_F(ReadWholeFile, RefusesWhatIsNotARegularFile) {
  ASSERT_EQ(::mkdir(dir_.Native("d").c_str(), 0755), 0);
  // No writer ever opens this FIFO: a blocking open would hang the test.
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("d", dir_.Native("link-to-d").c_str()), 0);
  Bytes bytes;
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("d"), bytes).code, EISDIR);
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("link-to-d"), bytes).code, EISDIR);
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("fifo"), bytes).code, EINVAL);
  EXPECT_EQ(Files().ReadWholeFile(u"/dev/null", bytes).code, EINVAL);
  const SysError missing = Files().ReadWholeFile(dir_.Path("missing"), bytes);
  EXPECT_EQ(missing.code, ENOENT);
  EXPECT_STREQ(missing.op, "open");
}

TEST_F(ReadWholeFile, RefusesFourGibibytesAndMore) {
  // Sparse files: no disk space is used.
  for (const std::uint64_t size : {kMaxFileSize, kMaxFileSize + 1, kMaxFileSize * 2}) {
    const int fd = ::open(dir_.Native("big").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const bool sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    if (!sized) GTEST_SKIP() << "no sparse files of that size here";
    Bytes bytes;
    EXPECT_EQ(Files().ReadWholeFile(dir_.Path("big"), bytes).code, EFBIG) << size;
    EXPECT_TRUE(bytes.empty());
  }
}

TEST_F(ReadWholeFile, NameWithInvalidUtf8FoundInListingOpensAgain) {
  const std::string name = "caf\xE9-\xFF.txt";  // Latin-1 bytes, as an old archive leaves them
  WriteFileBytes(dir_.Native(name), "content");
  std::vector<DirectoryEntry> entries;
  ASSERT_FALSE(Files().ListDirectory(FromNative(dir_.path()), entries));
  ASSERT_EQ(entries.size(), 1u);
  Bytes bytes;
  ASSERT_FALSE(Files().ReadWholeFile(FromNative(dir_.path()) + u"/" + entries[0].name, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "content");
}

using FileOperations = support::TempDirTest;

TEST_F(FileOperations, MoveReplacesDestinationAndFailureKeepsBoth) {
  WriteFileBytes(dir_.Native("a"), "A");
  WriteFileBytes(dir_.Native("b"), "B");
  ASSERT_FALSE(Files().MoveFile(dir_.Path("a"), dir_.Path("b")));
  EXPECT_EQ(ReadFileText(dir_.Native("b")), "A");
  EXPECT_FALSE(support::PathExists(dir_.Native("a")));

  const SysError error = Files().MoveFile(dir_.Path("missing"), dir_.Path("b"));
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_STREQ(error.op, "rename");
  EXPECT_EQ(ReadFileText(dir_.Native("b")), "A");
}

TEST_F(FileOperations, DeleteAndCreateDirectoryReportTheirErrors) {
  ASSERT_FALSE(Files().CreateDirectory(dir_.Path("d")));
  EXPECT_EQ(Files().GetEntryType(dir_.Path("d")), EntryType::Directory);
  EXPECT_EQ(Files().CreateDirectory(dir_.Path("d")).code, EEXIST);
  EXPECT_EQ(Files().DeleteFile(dir_.Path("d")).code, EISDIR);  // a file operation only
  WriteFileBytes(dir_.Native("f"), "x");
  ASSERT_FALSE(Files().DeleteFile(dir_.Path("f")));
  EXPECT_FALSE(support::PathExists(dir_.Native("f")));
  EXPECT_EQ(Files().DeleteFile(dir_.Path("f")).code, ENOENT);
}

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

TEST_F(FileOperations, FileIdentityIsTheInodeNotThePathText) {
  WriteFileBytes(dir_.Native("f"), "x");
  WriteFileBytes(dir_.Native("g"), "x");
  ASSERT_EQ(::link(dir_.Native("f").c_str(), dir_.Native("hard").c_str()), 0);
  ASSERT_EQ(::symlink("f", dir_.Native("soft").c_str()), 0);
  FileId f, g, hard, soft, dotted;
  ASSERT_FALSE(Files().GetFileId(dir_.Path("f"), f));
  ASSERT_FALSE(Files().GetFileId(dir_.Path("g"), g));
  ASSERT_FALSE(Files().GetFileId(dir_.Path("hard"), hard));
  ASSERT_FALSE(Files().GetFileId(dir_.Path("soft"), soft));
  ASSERT_FALSE(Files().GetFileId(dir_.Path("./f"), dotted));
  EXPECT_NE(f, g);
  EXPECT_EQ(f, hard);
  EXPECT_EQ(f, soft);
  EXPECT_EQ(f, dotted);
  EXPECT_EQ(Files().GetFileId(dir_.Path("missing"), f).code, ENOENT);
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
