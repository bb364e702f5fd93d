// FileMemory blocks and ReadWholeFile into them, on real temporary directories.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "platform/files.h"
#include "support/faulty_files.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using support::Bytes;
using support::WriteFileBytes;

TEST(FileMemory, SmallBlocksFromTheHeapLargeOnesMappedAtTwoMebibytes) {
  for (const std::uint64_t size : {std::uint64_t{0}, std::uint64_t{1}, kMappedBlockBytes - 1, kMappedBlockBytes,
                                   kMappedBlockBytes * 3 + 4097}) {
    SCOPED_TRACE(size);
    FileMemory<std::uint8_t> block = AllocateFileMemory(size);
    ASSERT_TRUE(block);
    const bool mapped = size >= kMappedBlockBytes;
    EXPECT_EQ(block.get_deleter().mappedBytes != 0, mapped);
    if (!mapped) continue;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % (2u << 20), 0u);
    EXPECT_GE(block.get_deleter().mappedBytes, size);
    // Every byte is usable, the last one included (ASan does not watch mapped memory).
    for (std::uint64_t i = 0; i < size; i += 4096) block[i] = 1;
    block[size - 1] = 2;
    EXPECT_EQ(block[size - 1], 2);
  }
}

TEST(FileMemory, SizesNoMemoryCanHoldAreAResult) {
  EXPECT_FALSE(AllocateFileMemory(std::numeric_limits<std::uint64_t>::max()));
  EXPECT_FALSE(AllocateFileMemory(std::numeric_limits<std::uint64_t>::max() - (1u << 20)));
  EXPECT_FALSE(AllocateFileMemory(std::uint64_t{1} << 62));
}

TEST(FileMemory, ReinterpretedBlocksKeepHowTheyAreReleased) {
  FileMemory<char16_t> units = ReinterpretFileMemory<char16_t>(AllocateFileMemory(kMappedBlockBytes));
  ASSERT_TRUE(units);
  EXPECT_GE(units.get_deleter().mappedBytes, kMappedBlockBytes);
  units[kMappedBlockBytes / 2 - 1] = u'x';
}

using ReadIntoFileMemory = support::TempDirTest;

TEST_F(ReadIntoFileMemory, ReadsEveryByteOnBothSidesOfTheMappedSize) {
  for (const std::uint64_t size : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{65537}, kMappedBlockBytes - 1,
                                   kMappedBlockBytes + 3}) {
    Bytes content(size);
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    WriteFileBytes(dir_.Native("f"), content);
    FileContent read;
    ASSERT_FALSE(Files().ReadWholeFile(dir_.Path("f"), read)) << size;
    ASSERT_TRUE(read.bytes) << size;
    ASSERT_EQ(read.size, size);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), read.bytes.get())) << size;
  }
}

TEST_F(ReadIntoFileMemory, ReadsFilesThatReportNoSizeBeyondOneChunk) {
  // /proc files claim size 0; this one is long enough in an instrumented test to need growing.
  FileContent read;
  ASSERT_FALSE(Files().ReadWholeFile(u"/proc/self/smaps", read));
  const std::string text(reinterpret_cast<const char*>(read.bytes.get()), read.size);
  EXPECT_NE(text.find("Rss:"), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\0'), std::string::npos) << "room was counted as content";
}

TEST_F(ReadIntoFileMemory, RefusesAsTheVectorReadDoes) {
  ASSERT_EQ(::mkdir(dir_.Native("d").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir_.Native("fifo").c_str(), 0644), 0);
  FileContent read;
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("d"), read).code, EISDIR);
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("fifo"), read).code, EINVAL);
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("missing"), read).code, ENOENT);
  const int fd = ::open(dir_.Native("big").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const bool sized = ::ftruncate(fd, static_cast<off_t>(kMaxFileSize)) == 0;
  ::close(fd);
  if (sized) {
    EXPECT_EQ(Files().ReadWholeFile(dir_.Path("big"), read).code, EFBIG);
    EXPECT_FALSE(read.bytes);
  }
}

TEST_F(ReadIntoFileMemory, FaultyFilesFailsAndForwardsIt) {
  WriteFileBytes(dir_.Native("f"), "abc");
  support::FaultyFiles files;
  files.FailRead(ENOMEM, 1);
  FileContent read;
  ASSERT_FALSE(Files().ReadWholeFile(dir_.Path("f"), read));
  EXPECT_EQ(read.size, 3u);
  EXPECT_EQ(Files().ReadWholeFile(dir_.Path("f"), read).code, ENOMEM);
  EXPECT_FALSE(read.bytes);
  EXPECT_EQ(files.Calls(support::FileOp::Read), 2);
}

}  // namespace
}  // namespace glyphshift::platform
