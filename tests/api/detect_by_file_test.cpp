// DetectCharacterSetByFile through the real POSIX file layer, in a temporary directory.
#include <gtest/gtest.h>

#include <filesystem>

#include <string>

#include <memory>
#include <random>

#include "engine/detection.h"
#include "engine/engine.h"
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
  ASSERT_TRUE(std::filesystem::create_directory(dir_.Native("folder")));
  EXPECT_EQ(Detect("folder"), 18) << "a directory cannot be opened as a file";
  EXPECT_EQ(DetectCharacterSetByFile(nullptr), 18);
}

// Detection over pieces gives the whole text's answer wherever the text is cut: the first bytes,
// a UTF-8 character cut in two, a malformed place in any piece.
TEST(CharsetDetector, PiecesGiveTheWholeTextsAnswerWhereverTheyAreCut) {
  std::mt19937 random(7);
  const std::string fragments[] = {"a",        "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                   "\xE2\x82", "\x80",     "\xF0\xF0",     std::string(1, '\0'),
                                   "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF", "\xFC\x80"};
  int answers[256] = {};
  for (int sample = 0; sample < 400; ++sample) {
    std::string text;
    const int count = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < count; ++i) text += fragments[std::uniform_int_distribution<std::size_t>(0, 11)(random)];
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const CharsetCode expected = engine::DetectCharset(bytes, static_cast<std::uint32_t>(text.size()));
    ++answers[expected & 0xFF];
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
      for (std::size_t step : {text.size() + 1, std::size_t{1}}) {
        engine::CCharsetDetector detector;
        const std::size_t first = std::min(cut, text.size());
        bool going = detector.Add(bytes, first);
        for (std::size_t at = first; going && at < text.size(); at += std::min(step, text.size() - at)) {
          going = detector.Add(bytes + at, std::min(step, text.size() - at));
        }
        ASSERT_EQ(detector.Finish(), expected) << "sample " << sample << " cut at " << cut << " step " << step;
      }
    }
  }
  EXPECT_GT(answers[CHARSET_UTF8 & 0xFF], 0);

  // A malformed place early in a long piece: the pass stops there and carries nothing (on the
  // heap, so a carry past the detector's end shows).
  std::string late(1000, 'x');
  late[10] = '\x80';
  const auto detector = std::make_unique<engine::CCharsetDetector>();
  detector->Add(reinterpret_cast<const std::uint8_t*>(late.data()), late.size());
  EXPECT_EQ(detector->Finish(), 0);
  EXPECT_GT(answers[0], 0);
  EXPECT_GT(answers[CHARSET_UTF16 & 0xFF], 0);
}

}  // namespace
}  // namespace glyphshift
