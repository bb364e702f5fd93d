// The fused single-byte encoding against the stepwise one: whole-text decoding, mark drop and
// whole-text encoding through the engine, and ProcessFile with a markup step that forces the
// stepwise path. Sizes straddle the 16 Ki-unit chunks.
#include "convert/fused_conversion.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "convert/process_file_fixture.h"
#include "convert/working_text.h"
#include "engine/engine.h"

namespace glyphshift::testing_support {
namespace {

constexpr std::size_t kSizes[] = {1, 2, 63, 16383, 16384, 16385, 32768, 49153};

Bytes RandomBytes(std::size_t size, std::mt19937& random) {
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

// What decoding the whole text, dropping a leading mark and encoding it give.
Bytes Stepwise(CharsetCode from, const Bytes& raw, CharsetCode to) {
  const auto size = static_cast<std::uint32_t>(raw.size());
  std::vector<char16_t> units(raw.size() + 1);
  std::uint32_t capacity = 2 * size;
  if (size != 0) engine::SingleByteToUtf16(from, raw.data(), size, units.data(), &capacity);
  const std::uint32_t skip = (size != 0 && units[0] == 0xFEFF) ? 1 : 0;
  const std::uint32_t length = 2 * (size - skip);
  Bytes out(3 * raw.size() + 1);
  std::uint32_t made = static_cast<std::uint32_t>(out.size());
  if (to == kCharsetUtf8) {
    engine::Utf16ToUtf8(units.data() + skip, length, out.data(), &made);
  } else {
    engine::Utf16ToSingleByte(to, units.data() + skip, length, out.data(), &made);
    made = length / 2;
  }
  out.resize(made);
  return out;
}

// Fed in pieces of random sizes, so chunk and piece edges fall everywhere.
Bytes Fused(CharsetCode from, const Bytes& raw, CharsetCode to, std::mt19937& random) {
  CFusedEncoding encoding;
  EXPECT_EQ(encoding.Begin(from, raw.size(), to), FusedResult::Ok);
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t piece = std::min<std::size_t>(raw.size() - at, 1 + random() % 40000);
    EXPECT_TRUE(encoding.Add(std::span(raw).subspan(at, piece)));
    at += piece;
  }
  encoding.Finish();
  const auto body = encoding.Encoded();
  return Bytes(body.begin(), body.end());
}

TEST(FusedEncoding, MatchesStepwiseForEverySingleByteSetAcrossChunkBoundaries) {
  std::mt19937 random(1252);
  for (CharsetCode from = 0; from < kSingleByteTableCount; ++from) {
    // UTF-8 and a few single-byte destinations: Latin, Cyrillic, an EBCDIC set and the source.
    for (CharsetCode to : {kCharsetUtf8, kWindows1252, CharsetCode{0}, CharsetCode{37}, from}) {
      for (std::size_t size : kSizes) {
        SCOPED_TRACE(testing::Message() << from << " -> " << to << ", " << size << " bytes");
        const Bytes raw = RandomBytes(size, random);
        EXPECT_EQ(Fused(from, raw, to, random), Stepwise(from, raw, to));
      }
    }
  }
}

TEST(FusedEncoding, ThreeByteCharactersAtEveryChunkEdge) {
  // The euro sign (3 UTF-8 bytes) fills the text, so the output block's bound is met exactly and
  // every chunk's output ends at a 3-byte character.
  std::mt19937 random(3);
  for (std::size_t size : kSizes) {
    const Bytes raw(size, 0x80);
    const Bytes out = Fused(kWindows1252, raw, kCharsetUtf8, random);
    ASSERT_EQ(out.size(), 3 * size);
    EXPECT_EQ(out, Stepwise(kWindows1252, raw, kCharsetUtf8));
  }
}

TEST(FusedEncoding, FusesOnlyPlainSingleByteSourcesToUtf8OrSingleByte) {
  ConversionOptions plain;
  EXPECT_TRUE(CanFuse(kWindows1252, kCharsetUtf8, plain));
  EXPECT_TRUE(CanFuse(0, 59, plain));
  EXPECT_FALSE(CanFuse(kCharsetUtf8, kCharsetUtf8, plain));
  EXPECT_FALSE(CanFuse(kWindows1252, kCharsetUtf16, plain));
  EXPECT_FALSE(CanFuse(kCharsetUtf16Be, kWindows1252, plain));
  for (auto set : {+[](ConversionOptions& o) { o.lineBreak = u"unix"; },
                   +[](ConversionOptions& o) { o.modifyXml = true; },
                   +[](ConversionOptions& o) { o.modifyHtml = true; }}) {
    ConversionOptions stepped;
    set(stepped);
    EXPECT_FALSE(CanFuse(kWindows1252, kCharsetUtf8, stepped));
  }
}

TEST(FusedEncoding, LeavesShortMemoryAndEmptyFilesToTheStepwisePath) {
  CFusedEncoding encoding;
  SetAllocationFailureForTesting(0);
  EXPECT_EQ(encoding.Begin(kWindows1252, 1, kCharsetUtf8), FusedResult::Stepwise);
  SetAllocationFailureForTesting(-1);
  EXPECT_EQ(encoding.Begin(kWindows1252, 0, kCharsetUtf8), FusedResult::Stepwise);
}

TEST(FusedEncoding, RefusesWhatTheStepwisePathRefusesAndAFileThatGrew) {
  CFusedEncoding encoding;
  // 2 x size beyond 32 bits (decoding), and 3 x size + 3 for UTF-8 (encoding); nothing is
  // allocated for these.
  EXPECT_EQ(encoding.Begin(kWindows1252, 0x80000000u, 0), FusedResult::TooLarge);
  EXPECT_EQ(encoding.Begin(kWindows1252, 0x55555555u, kCharsetUtf8), FusedResult::TooLarge);
  EXPECT_EQ(encoding.Begin(kWindows1252, 0x55555554u, kCharsetUtf8), FusedResult::Stepwise);
  ASSERT_EQ(encoding.Begin(kWindows1252, 3, kCharsetUtf8), FusedResult::Ok);
  EXPECT_TRUE(encoding.Add(Bytes{0x41, 0x42}));
  EXPECT_FALSE(encoding.Add(Bytes{0x43, 0x44}));
  encoding.Finish();
  EXPECT_EQ(Bytes(encoding.Encoded().begin(), encoding.Encoded().end()), (Bytes{0x41, 0x42}));
}

// The whole ProcessFile: a markup step with nothing to rewrite sends the same file down the
// stepwise path; files, sizes and results must agree with and without a mark.
TEST_F(ProcessFileTest, FusedAndStepwiseFilesAgree) {
  std::mt19937 random(7);
  for (bool bom : {true, false}) {
    for (CharsetCode to : {kCharsetUtf8, CharsetCode{0}}) {
      for (std::size_t size : {std::size_t{0}, std::size_t{16385}, std::size_t{70000}}) {
        SCOPED_TRACE(testing::Message() << to << ", " << size << " bytes, mark " << bom);
        Bytes raw = RandomBytes(size, random);
        for (auto& b : raw) b = b == '<' ? 'x' : b;  // no declaration for the markup step to find
        options_ = {};
        options_.writeBom = bom;
        const Outcome fused = ConvertBytes(raw, kWindows1252, to);
        const Bytes fusedFile = Out();
        options_.modifyXml = options_.modifyHtml = true;
        const Outcome stepwise = ConvertBytes(raw, kWindows1252, to);
        EXPECT_EQ(fused.result, stepwise.result);
        EXPECT_EQ(fused.sourceSize, stepwise.sourceSize);
        EXPECT_EQ(fused.destinationSize, stepwise.destinationSize);
        EXPECT_EQ(fusedFile, Out());
        EXPECT_EQ(fused.output, stepwise.output);
      }
    }
  }
}

}  // namespace
}  // namespace glyphshift::testing_support
