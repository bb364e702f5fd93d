// FileMemory blocks: where they come from, and sizes no memory can hold.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "platform/file_memory.h"

namespace glyphshift::platform {
namespace {

TEST(FileMemory, SmallBlocksFromTheHeapLargeOnesMappedAtTwoMebibytes) {
  for (const std::uint64_t size :
       {std::uint64_t{0}, std::uint64_t{1}, kMappedBlockBytes - 1, kMappedBlockBytes, kMappedBlockBytes * 3 + 4097}) {
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

}  // namespace
}  // namespace glyphshift::platform
