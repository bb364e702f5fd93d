// The text scans on every path this machine has, against their plain loops: one special value
// at every place of blocks around the vector widths, and none at all.
#include "engine/text_scan.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/codec_path.h"

namespace glyphshift::engine {
namespace {

constexpr std::size_t kSizes[] = {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 200};

class EveryPath : public ::testing::TestWithParam<CodecPath> {
 protected:
  void SetUp() override {
    if (SetCodecPath(GetParam()) != GetParam()) GTEST_SKIP() << "this processor lacks the path";
  }
  void TearDown() override { SetCodecPath(BestCodecPath()); }
};

TEST_P(EveryPath, FindByteInSetAgreesWithThePlainLoop) {
  // A set with members in both halves and on nibble edges; text of everything else.
  ByteSet set;
  for (const unsigned b : {0x00u, 0x0Fu, 0x10u, 0x7Fu, 0x80u, 0x8Fu, 0x9Du, 0xF0u, 0xFFu}) {
    set.Add(static_cast<std::uint8_t>(b));
  }
  for (const std::size_t size : kSizes) {
    std::vector<std::uint8_t> text(size);
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<std::uint8_t>(0x20 + i % 0x5F);
    EXPECT_EQ(FindByteInSet(text.data(), size, set), size) << "none in " << size;
    for (std::size_t at = 0; at < size; ++at) {
      for (const unsigned member : {0x00u, 0x7Fu, 0x9Du, 0xFFu}) {
        std::vector<std::uint8_t> marked = text;
        marked[at] = static_cast<std::uint8_t>(member);
        EXPECT_EQ(FindByteInSet(marked.data(), size, set), at) << "size " << size << ", member " << member;
      }
    }
  }
}

TEST_P(EveryPath, FindSpecialUnitAgreesWithThePlainLoop) {
  constexpr std::uint32_t kControls = 0xF3FFC0FFu;  // those that are no text
  for (const std::size_t size : kSizes) {
    // Text with the controls that are text (TAB, LF, CR) and units above the surrogates.
    std::vector<char16_t> text(size);
    for (std::size_t i = 0; i < size; ++i) text[i] = i % 7 == 0 ? u'\n' : static_cast<char16_t>(0xE000 + i);
    EXPECT_EQ(FindSpecialUnit(text.data(), size, kControls), size) << "none in " << size;
    for (std::size_t at = 0; at < size; ++at) {
      for (const char16_t special : {char16_t{0x00}, char16_t{0x1F}, char16_t{0xD800}, char16_t{0xDFFF}}) {
        std::vector<char16_t> marked = text;
        marked[at] = special;
        EXPECT_EQ(FindSpecialUnit(marked.data(), size, kControls),
                  reference::FindSpecialUnit(marked.data(), size, kControls))
            << "size " << size << ", unit " << int{special};
        EXPECT_EQ(FindSpecialUnit(marked.data(), size, kControls), at);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, EveryPath,
                         ::testing::Values(CodecPath::kReference, CodecPath::kSse2, CodecPath::kSsse3,
                                           CodecPath::kAvx512));

}  // namespace
}  // namespace glyphshift::engine
