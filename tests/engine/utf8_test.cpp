// ConvertUtf8ToDoubleByte and ConvertDoubleByteToUtf8 on every codec path, grouped by
// boundary class. Each case names its bytes; results, counts and units are checked exactly.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/codec_test_support.h"
#include "engine/engine.h"

namespace glyphshift::engine {
namespace {

using test::Bytes;
using test::CGuardedBuffer;
using test::Units;

constexpr std::int32_t kMultibyte = CONVERT_FLAG_MULTIBYTE;
constexpr std::int32_t kInvalidAfterMultibyte = static_cast<std::int32_t>(0x88000001u);

struct Decoded {
  std::int32_t result;
  Units units;
  std::uint32_t querySize;
  std::int32_t queryResult;
};

// A size query, then a converting call into a buffer of exactly the queried size.
Decoded DecodeUtf8Text(const Bytes& in) {
  Decoded d{};
  d.querySize = 0xDEAD;
  d.queryResult = Utf8ToUtf16(in.data(), test::ByteLength(in), nullptr, &d.querySize);
  CGuardedBuffer<char16_t> out(d.querySize / 2);
  std::uint32_t size = 0xDEAD;
  d.result = Utf8ToUtf16(in.data(), test::ByteLength(in), out.data(), &size);
  EXPECT_LE(size, d.querySize) << "the size query is an upper bound";
  EXPECT_EQ(size % 2, 0u);
  EXPECT_TRUE(out.GuardIntact()) << "wrote past the queried size";
  d.units = out.Prefix(size / 2);
  return d;
}

::testing::AssertionResult DecodesTo(const Bytes& in, const Units& expected, std::int32_t result) {
  const Decoded d = DecodeUtf8Text(in);
  if (d.units == expected && d.result == result) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure() << "result 0x" << std::hex << d.result << ", units";
  for (char16_t u : d.units) failure << " " << static_cast<unsigned>(u);
  return failure;
}

class Utf8Decoding : public test::OnEveryPath {};

TEST_P(Utf8Decoding, WellFormedSequencesOfEachLength) {
  EXPECT_TRUE(DecodesTo({}, {}, CONVERT_OK));
  EXPECT_TRUE(DecodesTo({0x41, 0x7F, 0x00}, {0x41, 0x7F, 0x00}, CONVERT_OK));
  EXPECT_TRUE(DecodesTo({0x68, 0xC3, 0xA9}, {0x68, 0xE9}, kMultibyte));
  EXPECT_TRUE(DecodesTo({0xE2, 0x82, 0xAC}, {0x20AC}, kMultibyte));
  EXPECT_TRUE(DecodesTo({0xEF, 0xBF, 0xBD}, {0xFFFD}, kMultibyte));  // the last value a 3-byte form keeps
  EXPECT_TRUE(DecodesTo({0xF0, 0x9F, 0x98, 0x80}, {0xD83D, 0xDE00}, kMultibyte));
  EXPECT_TRUE(DecodesTo({0xF4, 0x8F, 0xBF, 0xBF}, {0xDBFF, 0xDFFF}, kMultibyte));
  EXPECT_TRUE(DecodesTo({0xEF, 0xBB, 0xBF, 0x61}, {0xFEFF, 0x61}, kMultibyte)) << "a BOM is a character";
  EXPECT_EQ(DecodeUtf8Text({0xF0, 0x9F, 0x98, 0x80}).querySize, 4u);
}

TEST_P(Utf8Decoding, OverlongFormsAreTakenAsTheyAre) {
  EXPECT_TRUE(DecodesTo({0xC0, 0x80}, {0x0000}, kMultibyte));
  EXPECT_TRUE(DecodesTo({0xC1, 0xBF}, {0x007F}, kMultibyte));
  EXPECT_TRUE(DecodesTo({0xE0, 0x80, 0x80}, {0x0000}, kMultibyte));
}

TEST_P(Utf8Decoding, ValuesOutsideWhatUtf16CarriesBecomeReplacementOnlyWhenConverting) {
  const Decoded surrogate = DecodeUtf8Text({0xED, 0xA0, 0x80});
  EXPECT_EQ(surrogate.units, Units{0xFFFD});
  EXPECT_EQ(surrogate.result, CONVERT_INVALID_INPUT);
  EXPECT_EQ(surrogate.querySize, 2u);
  EXPECT_EQ(surrogate.queryResult, kMultibyte) << "a size query makes no range test";
  EXPECT_TRUE(DecodesTo({0xEF, 0xBF, 0xBF}, {0xFFFD}, CONVERT_INVALID_INPUT));
  EXPECT_TRUE(DecodesTo({0xEF, 0xBF, 0xBE}, {0xFFFD}, CONVERT_INVALID_INPUT));
  const Decoded beyond = DecodeUtf8Text({0xF4, 0x90, 0x80, 0x80});
  EXPECT_EQ(beyond.units, Units{0xFFFD});
  EXPECT_EQ(beyond.result, CONVERT_INVALID_INPUT);
  EXPECT_EQ(beyond.querySize, 4u) << "the query counts a pair";
  EXPECT_TRUE(DecodesTo({0xF0, 0x8F, 0xBF, 0xBF}, {0xFFFD}, CONVERT_INVALID_INPUT)) << "4-byte form below U+10000";
}

TEST_P(Utf8Decoding, UnexpectedAndMissingContinuationBytes) {
  EXPECT_TRUE(DecodesTo({0x80, 0xC3, 0xA9}, {0xFFFD, 0xE9}, kInvalidAfterMultibyte));
  EXPECT_TRUE(DecodesTo({0xC3, 0xA9, 0xBF}, {0xE9, 0xFFFD}, CONVERT_INVALID_INPUT)) << "an error drops the flag";
  EXPECT_TRUE(DecodesTo({0xE9, 0x74, 0x75, 0x64, 0x65}, {0xFFFD, 0x74, 0x75, 0x64, 0x65}, CONVERT_INVALID_INPUT));
  EXPECT_TRUE(DecodesTo({0xE2, 0x82, 0x41, 0x42}, {0xFFFD, 0x41, 0x42}, CONVERT_INVALID_INPUT))
      << "one U+FFFD for a lead with its continuation bytes";
  EXPECT_TRUE(DecodesTo({0xFE, 0xFF, 0x41}, {0xFFFD, 0xFFFD, 0x41}, CONVERT_INVALID_INPUT));
}

TEST_P(Utf8Decoding, FiveAndSixByteFormsAreOneReplacementEach) {
  EXPECT_TRUE(DecodesTo({0xF8, 0x88, 0x80, 0x80, 0x80}, {0xFFFD}, CONVERT_INVALID_INPUT));
  EXPECT_TRUE(DecodesTo({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80, 0x41}, {0xFFFD, 0x41}, CONVERT_INVALID_INPUT));
}

TEST_P(Utf8Decoding, LeadWithTooFewBytesLeftEndsDecodingSilently) {
  EXPECT_TRUE(DecodesTo({0xC3}, {}, CONVERT_OK));
  EXPECT_TRUE(DecodesTo({0x61, 0x62, 0xE9, 0x74}, {0x61, 0x62}, CONVERT_OK));
  EXPECT_TRUE(DecodesTo({0x68, 0xC3, 0xA9, 0xF0, 0x9F, 0x98}, {0x68, 0xE9}, kMultibyte));
}

TEST_P(Utf8Decoding, LongTextKeepsTheFlagsOfItsLastStretch) {
  // Long enough for the vector blocks: ASCII and 2-byte blocks, then an error, then more.
  Bytes in(100, 'a');
  for (int k = 0; k < 40; ++k) in.insert(in.end(), {0xD0, 0x96});
  EXPECT_EQ(DecodeUtf8Text(in).result, kMultibyte);
  in.push_back(0x80);
  in.insert(in.end(), 80, 'b');
  EXPECT_EQ(DecodeUtf8Text(in).result, CONVERT_INVALID_INPUT);
  for (int k = 0; k < 40; ++k) in.insert(in.end(), {0xC3, 0xA9});
  in.insert(in.end(), 80, 'c');
  const Decoded d = DecodeUtf8Text(in);
  EXPECT_EQ(d.result, kInvalidAfterMultibyte);
  EXPECT_EQ(d.units.size(), 100u + 40 + 1 + 80 + 40 + 80);
  EXPECT_EQ(d.units[100], 0x0416);
  EXPECT_EQ(d.units[140], 0xFFFD);
}

struct Encoded {
  std::int32_t result;
  Bytes bytes;
  std::uint32_t reported;
};

Encoded EncodeUtf8Text(const Units& in, std::uint32_t capacity) {
  CGuardedBuffer<std::uint8_t> out(capacity);
  std::uint32_t size = capacity;
  Encoded e{};
  e.result = Utf16ToUtf8(in.data(), test::ByteLength(in), out.data(), &size);
  e.reported = size;
  EXPECT_TRUE(out.GuardIntact()) << "wrote past the capacity";
  e.bytes = out.Prefix(std::min(size, capacity));
  return e;
}

std::uint32_t QueryUtf8Size(const Units& in) {
  std::uint32_t size = 0;
  EXPECT_EQ(Utf16ToUtf8(in.data(), test::ByteLength(in), nullptr, &size), CONVERT_OK);
  return size;
}

class Utf8Encoding : public test::OnEveryPath {};

TEST_P(Utf8Encoding, EachUnitClassTakesItsByteCount) {
  const Units in = {0x0041, 0x0000, 0x00E9, 0x07FF, 0x0800, 0x20AC, 0xFEFF, 0xFFFF, 0xD83D, 0xDE00};
  const Encoded e = EncodeUtf8Text(in, QueryUtf8Size(in));
  EXPECT_EQ(e.result, CONVERT_OK);
  EXPECT_EQ(e.bytes, (Bytes{0x41, 0x00, 0xC3, 0xA9, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xE2, 0x82,
                            0xAC, 0xEF, 0xBB, 0xBF, 0xEF, 0xBF, 0xBF, 0xF0, 0x9F, 0x98, 0x80}));
  EXPECT_EQ(QueryUtf8Size(in), 1 + 1 + 2 + 2 + 3 + 3 + 3 + 3 + 8u) << "each surrogate counts 4";
}

TEST_P(Utf8Encoding, SizeQueryAndEmptyInput) {
  EXPECT_EQ(QueryUtf8Size({0xD83D, 0xDE00}), 8u);
  const Encoded pair = EncodeUtf8Text({0xD83D, 0xDE00}, 8);
  EXPECT_EQ(pair.reported, 4u);
  EXPECT_EQ(QueryUtf8Size({}), 0u);
  const Encoded empty = EncodeUtf8Text({}, 4);
  EXPECT_EQ(empty.result, CONVERT_OK);
  EXPECT_EQ(empty.reported, 0u);
}

TEST_P(Utf8Encoding, UnpairedSurrogatesBecomeReplacementWithinTheQueriedSize) {
  const Units cases[] = {{0xD83D}, {0xDE00}, {0xD83D, 0x0041}, {0xDE00, 0xD83D}, {0x0041, 0xDBFF}};
  const Bytes expected[] = {{0xEF, 0xBF, 0xBD},
                            {0xEF, 0xBF, 0xBD},
                            {0xEF, 0xBF, 0xBD, 0x41},
                            {0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD},
                            {0x41, 0xEF, 0xBF, 0xBD}};
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    const Encoded e = EncodeUtf8Text(cases[k], QueryUtf8Size(cases[k]));
    EXPECT_EQ(e.result, CONVERT_OK) << k;
    EXPECT_EQ(e.bytes, expected[k]) << k;
  }
}

TEST_P(Utf8Encoding, CapacityStopsOnACharacterBoundary) {
  Encoded e = EncodeUtf8Text({0x41, 0x42}, 1);
  EXPECT_EQ(e.result, CONVERT_BUFFER_TOO_SMALL);
  EXPECT_EQ(e.bytes, Bytes{0x41});
  e = EncodeUtf8Text({0x00E9}, 1);
  EXPECT_EQ(e.result, CONVERT_BUFFER_TOO_SMALL);
  EXPECT_EQ(e.reported, 0u);
  e = EncodeUtf8Text({0x41, 0xD83D, 0xDE00}, 4);
  EXPECT_EQ(e.result, CONVERT_BUFFER_TOO_SMALL);
  EXPECT_EQ(e.bytes, Bytes{0x41}) << "a pair is written whole or not at all";
}

TEST_P(Utf8Encoding, EveryCapacityOfALongMixedText) {
  // Cyrillic and ASCII (vector blocks), CJK and pairs (steps): stop at each possible capacity.
  Units in;
  for (int k = 0; k < 12; ++k) {
    in.insert(in.end(), {u'a', u'b', 0x0416, 0x0436, u' ', 0x4E2D, 0xD83D, 0xDE00, u'c', 0x00E9});
  }
  const std::uint32_t total = EncodeUtf8Text(in, QueryUtf8Size(in)).reported;
  const Bytes whole = EncodeUtf8Text(in, total).bytes;
  for (std::uint32_t capacity = 1; capacity < total; ++capacity) {
    const Encoded e = EncodeUtf8Text(in, capacity);
    ASSERT_EQ(e.result, CONVERT_BUFFER_TOO_SMALL) << capacity;
    ASSERT_GE(e.reported + 3, capacity) << "stopped early at capacity " << capacity;
    ASSERT_TRUE(std::equal(e.bytes.begin(), e.bytes.end(), whole.begin())) << capacity;
    ASSERT_TRUE(e.reported == total || (whole[e.reported] & 0xC0) != 0x80) << "cut inside a character";
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Utf8Decoding, ::testing::ValuesIn(test::AvailablePaths()), test::PathName);
INSTANTIATE_TEST_SUITE_P(Paths, Utf8Encoding, ::testing::ValuesIn(test::AvailablePaths()), test::PathName);

}  // namespace
}  // namespace glyphshift::engine
