// DetectCharacterSetByFile through the real POSIX file layer, in a temporary directory.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "glyphshift/glyphshift.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

class DetectByFile : public support::TempDirTest {
 protected:
  std::int32_t Detect(std::string_view name) {
    const std::u16string path = dir_.Path(name);
    return DetectCharacterSetByFile(reinterpret_cast<const std::uint16_t*>(path.c_str()));
  }
};

TEST_F(DetectByFile, ReadsTheWholeFileAndDetectsItsBytes) {
  std::string text(100000, 'a');
  text += "\xC3\xA9";  // the only multi-byte sequence, at the very end
  support::WriteFileBytes(dir_.Native("late.txt"), text);
  EXPECT_EQ(Detect("late.txt"), CHARSET_UTF8);
  support::WriteFileBytes(dir_.Native("le.txt"), support::Bytes{0xFF, 0xFE, 0x41, 0x00});
  EXPECT_EQ(Detect("le.txt"), CHARSET_UTF16);
  support::WriteFileBytes(dir_.Native("\xC3\xA9t\xC3\xA9.txt"), "caf\xE9 au lait");
  EXPECT_EQ(Detect("\xC3\xA9t\xC3\xA9.txt"), 0) << "a name beyond ASCII";
}

TEST_F(DetectByFile, EmptyFileIsZeroAndUnreadableOnesAreWindows1252) {
  support::WriteFileBytes(dir_.Native("empty.txt"), "");
  EXPECT_EQ(Detect("empty.txt"), 0);
  EXPECT_EQ(Detect("missing.txt"), 18);
  ASSERT_EQ(mkdir(dir_.Native("folder").c_str(), 0755), 0);
  EXPECT_EQ(Detect("folder"), 18) << "a directory cannot be opened as a file";
  EXPECT_EQ(DetectCharacterSetByFile(nullptr), 18);
}

}  // namespace
}  // namespace glyphshift
