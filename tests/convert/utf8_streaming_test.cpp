// UTF-8 decoded while reading against decoding the whole text at once, on well-formed and
// malformed text cut at every kind of place.
#include "convert/utf8_streaming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "convert/process_file_fixture.h"
#include "engine/engine.h"

namespace glyphshift {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::ProcessFileTest;

std::u16string WholeDecoded(const Bytes& raw) {
  const auto size = static_cast<std::uint32_t>(raw.size());
  std::uint32_t needed = 0;
  engine::Utf8ToUtf16(raw.data(), size, nullptr, &needed);
  std::u16string text(needed / 2 + 1, u'\0');
  engine::Utf8ToUtf16(raw.data(), size, text.data(), &needed);
  text.resize(needed / 2);
  return text;
}

// Feeds `raw` in reads of random sizes up to `longestRead`; false when the decoding gave up.
bool Streamed(const Bytes& raw, std::mt19937& random, std::u16string& text,
              std::size_t longestRead = CUtf8Decoding::kPieceBytes) {
  auto decoding = std::make_unique<CUtf8Decoding>();
  EXPECT_EQ(decoding->Begin(raw.size()), FusedResult::Ok);
  for (std::size_t at = 0;;) {
    const std::size_t got = std::min<std::size_t>(raw.size() - at, 1 + random() % longestRead);
    if (got != 0) std::memcpy(decoding->Room(), raw.data() + at, got);
    at += got;
    if (!decoding->Commit(got)) return false;
    if (got == 0) break;
  }
  const WorkingText result = decoding->TakeText();
  EXPECT_EQ(result.Text()[result.UnitCount()], u'\0') << "terminator after the text";
  text.assign(result.Text(), result.UnitCount());
  return true;
}

// Characters, malformed sequences and ASCII in a mix; `asciiEvery` sets how rare ASCII is.
Bytes Mixed(std::size_t size, unsigned asciiEvery, std::mt19937& random) {
  static const Bytes kTokens[] = {
      {0xC3, 0xA9},              {0xE2, 0x82, 0xAC},       {0xF0, 0x9F, 0x98, 0x80},  // é € and an emoji
      {0x80},                    {0xBF, 0xBF},             {0xC3},                    // stray and cut forms
      {0xE2, 0x82},              {0xF0, 0x9F, 0x98},       {0xC0, 0x80},              // overlong NUL
      {0xE0, 0x80, 0x80},        {0xED, 0xA0, 0x80},       {0xF5, 0x80, 0x80, 0x80},  // surrogate, too high
      {0xFF},                    {0xEF, 0xBB, 0xBF},                                  // mark
  };
  Bytes raw;
  while (raw.size() < size) {
    if (random() % asciiEvery == 0) {
      raw.push_back(static_cast<std::uint8_t>(random() % 0x80));
    } else {
      const Bytes& token = kTokens[random() % std::size(kTokens)];
      raw.insert(raw.end(), token.begin(), token.end());
    }
  }
  raw.resize(size);
  return raw;
}

TEST(Utf8Streaming, GivesTheWholeDecodingForWellFormedAndMalformedText) {
  std::mt19937 random(8);
  for (unsigned asciiEvery : {1u, 2u, 8u, 200u}) {
    for (std::size_t size : {std::size_t{1}, std::size_t{5}, std::size_t{65535}, std::size_t{65537},
                             std::size_t{300000}}) {
      SCOPED_TRACE(testing::Message() << size << " bytes, ASCII 1 in " << asciiEvery);
      const Bytes raw = Mixed(size, asciiEvery, random);
      std::u16string text;
      ASSERT_TRUE(Streamed(raw, random, text));
      EXPECT_EQ(text, WholeDecoded(raw));
    }
  }
}

TEST(Utf8Streaming, CutsNoWhereALeadByteLooksPast) {
  // Reads of 1 to 8 bytes put a cut after nearly every ASCII byte; a lead byte of every length
  // just before one ("E1 20") decodes as an error and a space in the whole text, but would end
  // decoding in a piece that stops there.
  std::mt19937 random(11);
  for (std::uint8_t lead : Bytes{0xC3, 0xE1, 0xF0, 0xF8, 0xFC}) {
    for (int distance = 0; distance < 6; ++distance) {
      Bytes raw;
      for (int repeat = 0; repeat < 50; ++repeat) {
        raw.push_back(lead);
        raw.insert(raw.end(), static_cast<std::size_t>(distance), 0x80);
        raw.push_back(' ');
        if (random() % 2) raw.push_back(0xC3);
      }
      std::u16string text;
      ASSERT_TRUE(Streamed(raw, random, text, 8));
      EXPECT_EQ(text, WholeDecoded(raw)) << int{lead} << " " << distance;
    }
  }
  for (unsigned asciiEvery : {1u, 3u}) {
    const Bytes raw = Mixed(20000, asciiEvery, random);
    std::u16string text;
    ASSERT_TRUE(Streamed(raw, random, text, 8));
    EXPECT_EQ(text, WholeDecoded(raw)) << asciiEvery;
  }
}

TEST(Utf8Streaming, RunsWithoutAsciiUpToAlmostAPieceAreCarried) {
  std::mt19937 random(9);
  // Non-ASCII runs just under a piece, each ended by one ASCII byte, with cut sequences at the ends.
  Bytes raw;
  for (int run = 0; run < 3; ++run) {
    Bytes part = Mixed(CUtf8Decoding::kPieceBytes - 1, 1u << 30, random);
    raw.insert(raw.end(), part.begin(), part.end());
    raw.push_back('\n');
  }
  std::u16string text;
  ASSERT_TRUE(Streamed(raw, random, text));
  EXPECT_EQ(text, WholeDecoded(raw));
}

TEST(Utf8Streaming, GivesUpOnAPieceWithoutAsciiAndOnAFileThatGrew) {
  std::mt19937 random(10);
  const Bytes cjk = Mixed(3 * CUtf8Decoding::kPieceBytes, 1u << 30, random);
  std::u16string text;
  EXPECT_FALSE(Streamed(cjk, random, text));

  auto decoding = std::make_unique<CUtf8Decoding>();
  ASSERT_EQ(decoding->Begin(2), FusedResult::Ok);
  std::memcpy(decoding->Room(), "ab", 2);
  EXPECT_TRUE(decoding->Commit(2));
  EXPECT_FALSE(decoding->Commit(1));
}

// Through ProcessFile: big enough for a mapped text block and fifty pieces, and text the pieces
// cannot take (no ASCII for 64 KiB), which starts over on the whole-file path. Either file is the
// whole decoding, less a leading mark, in UTF-16.
TEST_F(ProcessFileTest, LargeUtf8FilesAreDecodedAsAWhole) {
  std::mt19937 random(12);
  options_.writeBom = false;
  for (unsigned asciiEvery : {3u, 1u << 30}) {
    Bytes raw = {0xEF, 0xBB, 0xBF};
    const Bytes text = Mixed(3u << 20, asciiEvery, random);
    raw.insert(raw.end(), text.begin(), text.end());
    const auto o = ConvertBytes(raw, kCharsetUtf8, kCharsetUtf16);
    ASSERT_EQ(o.result, kProcessOk);
    EXPECT_EQ(o.sourceSize, raw.size());
    const std::u16string expected = WholeDecoded(raw).substr(1);
    const Bytes out = Out();
    ASSERT_EQ(out.size(), 2 * expected.size());
    EXPECT_EQ(std::memcmp(out.data(), expected.data(), out.size()), 0) << asciiEvery;
    EXPECT_EQ(o.destinationSize, out.size());
  }
}

TEST(Utf8Streaming, RefusesWhatTheStepwisePathRefuses) {
  auto decoding = std::make_unique<CUtf8Decoding>();
  EXPECT_EQ(decoding->Begin(0x80000000u), FusedResult::TooLarge);
}

}  // namespace
}  // namespace glyphshift
