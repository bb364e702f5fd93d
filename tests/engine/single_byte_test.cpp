// ConvertSingleByteToDoubleByte and ConvertDoubleByteToSingleByte, on every codec path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/allocation.h"
#include "engine/codec_path.h"
#include "engine/codec_test_support.h"
#include "engine/engine.h"
#include "engine/mapping_table.h"

namespace glyphshift::engine {
namespace {

using test::Bytes;
using test::CGuardedBuffer;
using test::Units;

// Decodes with a capacity of exactly `capacity` bytes; `units` receives what fits.
std::int32_t Decode(CharsetCode code, const Bytes& in, std::uint32_t capacity, Units& units, bool& guardIntact) {
  CGuardedBuffer<char16_t> out(capacity / 2);
  std::uint32_t size = capacity;
  const std::int32_t result = SingleByteToUtf16(code, in.data(), test::ByteLength(in), out.data(), &size);
  EXPECT_EQ(size, capacity) << "a converting call leaves the capacity as it was";
  units = out.Prefix(std::min<std::size_t>(in.size(), capacity / 2));
  guardIntact = out.GuardIntact();
  return result;
}

std::int32_t Encode(CharsetCode code, const Units& in, std::uint32_t capacity, Bytes& bytes, bool& guardIntact) {
  CGuardedBuffer<std::uint8_t> out(capacity);
  std::uint32_t size = capacity;
  const std::int32_t result = Utf16ToSingleByte(code, in.data(), test::ByteLength(in), out.data(), &size);
  EXPECT_EQ(size, capacity);
  bytes = out.Prefix(std::min<std::size_t>(in.size(), capacity));
  guardIntact = out.GuardIntact();
  return result;
}

std::uint8_t EncodeOne(CharsetCode code, char16_t unit) {
  Bytes bytes;
  bool guard = false;
  EXPECT_EQ(Encode(code, Units{unit}, 1, bytes, guard), CONVERT_OK);
  return bytes.at(0);
}

class SingleByteDecoding : public test::OnEveryPath {};
class SingleByteEncoding : public test::OnEveryPath {};

TEST_P(SingleByteDecoding, SizeQueryCountsTwoBytesPerByteAndWritesNothing) {
  const Bytes in = {0x41, 0x42, 0x43};
  CGuardedBuffer<char16_t> out(0);
  std::uint32_t size = 0;
  EXPECT_EQ(SingleByteToUtf16(18, in.data(), 3, out.data(), &size), CONVERT_OK);
  EXPECT_EQ(size, 6u);
  EXPECT_TRUE(out.GuardIntact());
  size = 0;
  EXPECT_EQ(SingleByteToUtf16(18, in.data(), 3, nullptr, &size), CONVERT_OK);
  EXPECT_EQ(size, 6u);
}

TEST_P(SingleByteDecoding, UndefinedByteGivesFFFFAndTheRestIsStillConverted) {
  Units units;
  bool guard = false;
  EXPECT_EQ(Decode(18, {0x41, 0x80, 0x81, 0x42}, 8, units, guard), CONVERT_INVALID_INPUT);
  EXPECT_EQ(units, (Units{0x0041, 0x20AC, 0xFFFF, 0x0042}));
  EXPECT_TRUE(guard);
  EXPECT_EQ(Decode(18, {0x41, 0x80, 0x42}, 6, units, guard), CONVERT_OK);
}

TEST_P(SingleByteDecoding, StopsBeforeTheFirstUnitThatDoesNotFit) {
  const Bytes in = {0x61, 0x62, 0x63, 0x64};
  Units units;
  bool guard = false;
  for (std::uint32_t capacity : {6u, 7u}) {
    EXPECT_EQ(Decode(18, in, capacity, units, guard), CONVERT_BUFFER_TOO_SMALL) << capacity;
    EXPECT_EQ(units, (Units{u'a', u'b', u'c'}));
    EXPECT_TRUE(guard) << capacity;
  }
  // A stop for lack of room outranks an undefined byte before it.
  EXPECT_EQ(Decode(18, {0x81, 0x41, 0x42}, 4, units, guard), CONVERT_BUFFER_TOO_SMALL);
  EXPECT_EQ(units, (Units{0xFFFF, u'A'}));
}

TEST_P(SingleByteDecoding, LongBlocksOfEveryTableFollowItsEntries) {
  // 0x00..0xFF twice: the ASCII half forms whole blocks, which EBCDIC must still look up.
  Bytes in;
  for (int round = 0; round < 2; ++round) {
    for (int b = 0; b < 256; ++b) in.push_back(static_cast<std::uint8_t>(b));
  }
  for (CharsetCode code = 0; code < kSingleByteTableCount; ++code) {
    Units units;
    bool guard = false;
    const std::int32_t result = Decode(code, in, test::ByteLength(in) * 2, units, guard);
    bool anyUndefined = false;
    for (std::size_t i = 0; i < in.size(); ++i) {
      ASSERT_EQ(units[i], kMappingTables[code].units[in[i]]) << "code " << code << " byte " << i;
      anyUndefined |= units[i] == kMappingUndefined;
    }
    EXPECT_EQ(result, anyUndefined ? CONVERT_INVALID_INPUT : CONVERT_OK) << "code " << code;
    EXPECT_TRUE(guard);
  }
}

TEST_P(SingleByteDecoding, SizeQueryThatCannotBeReportedFailsInsteadOfWrapping) {
  const std::uint8_t unread = 0;  // a size query does not read the source
  std::uint32_t size = 0;
  EXPECT_EQ(SingleByteToUtf16(0, &unread, 0x8000'0000u, nullptr, &size), CONVERT_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 0xFFFF'FFFFu);
}

TEST_P(SingleByteEncoding, SizeQueryWithNullDestinationCountsWholeUnits) {
  const Units in = {u'a', u'b', u'c', u'd'};
  std::uint32_t size = 12345;
  EXPECT_EQ(Utf16ToSingleByte(18, in.data(), 7, nullptr, &size), CONVERT_OK);
  EXPECT_EQ(size, 3u);
}

TEST_P(SingleByteEncoding, ReverseTableRulesDecideTheByte) {
  EXPECT_EQ(EncodeOne(18, 0x20AC), 0x80);
  EXPECT_EQ(EncodeOne(0, 0x20AC), 0x3F);   // not in the table: '?'
  EXPECT_EQ(EncodeOne(18, 0xFFFF), 0x9D);  // the highest undefined byte of Windows-1252
  EXPECT_EQ(EncodeOne(0, 0xFFFF), 0x3F);   // no undefined byte at all
  EXPECT_EQ(EncodeOne(11, 0x0041), 0xC1);  // of two bytes for one unit, the higher
  EXPECT_EQ(EncodeOne(58, 0x001A), 0xFD);
  EXPECT_EQ(EncodeOne(54, 0xFE8E), 0xB2);
  EXPECT_EQ(EncodeOne(55, 0xFFFD), 0xFF);
  EXPECT_EQ(EncodeOne(56, 0x20AC), 0x3F);  // 0x3F even where it is not the question mark
  Bytes bytes;
  bool guard = false;
  EXPECT_EQ(Encode(18, {0xD83D, 0xDE00}, 2, bytes, guard), CONVERT_OK);
  EXPECT_EQ(bytes, (Bytes{0x3F, 0x3F})) << "a surrogate pair is two unmappable units";
}

TEST_P(SingleByteEncoding, UndefinedByteComesBackAsTheHighestUndefinedOne) {
  const Bytes in = {0x41, 0x81, 0x42};
  Units units;
  bool guard = false;
  Decode(18, in, 6, units, guard);
  Bytes back;
  EXPECT_EQ(Encode(18, units, 3, back, guard), CONVERT_OK);
  EXPECT_EQ(back, (Bytes{0x41, 0x9D, 0x42}));
}

TEST_P(SingleByteEncoding, StopsAtTheCapacityWithoutWritingPastIt) {
  const Units in(40, u'x');
  for (std::uint32_t capacity : {0u, 1u, 3u, 17u, 39u}) {
    Bytes bytes;
    bool guard = false;
    EXPECT_EQ(Encode(18, in, capacity, bytes, guard), CONVERT_BUFFER_TOO_SMALL) << capacity;
    EXPECT_EQ(bytes, Bytes(capacity, 'x'));
    EXPECT_TRUE(guard) << capacity;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, SingleByteDecoding, ::testing::ValuesIn(test::AvailablePaths()), test::PathName);
INSTANTIATE_TEST_SUITE_P(Paths, SingleByteEncoding, ::testing::ValuesIn(test::AvailablePaths()), test::PathName);

// Every unit value through every table, checked against a search of the table itself: the
// highest byte whose entry is the unit, else 0x3F.
class EveryTable : public ::testing::TestWithParam<CharsetCode> {
 protected:
  static Units AllUnits() {
    Units all(0x10000);
    for (std::uint32_t u = 0; u < all.size(); ++u) all[u] = static_cast<char16_t>(u);
    return all;
  }
  static Bytes EncodeAll(CharsetCode code) {
    const Units all = AllUnits();
    Bytes bytes(all.size());
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    EXPECT_EQ(Utf16ToSingleByte(code, all.data(), test::ByteLength(all), bytes.data(), &size), CONVERT_OK);
    return bytes;
  }
};

TEST_P(EveryTable, EachUnitEncodesToTheHighestByteThatDecodesToIt) {
  const CharsetCode code = GetParam();
  const Bytes bytes = EncodeAll(code);
  std::vector<int> highest(0x10000, -1);
  for (int b = 0; b < 256; ++b) highest[kMappingTables[code].units[b]] = b;
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    const int expected = highest[u] >= 0 ? highest[u] : 0x3F;
    ASSERT_EQ(bytes[u], expected) << "code " << code << " unit 0x" << std::hex << u;
  }
}

TEST_P(EveryTable, WithoutTheReverseTableTheBytesAreTheSame) {
  const CharsetCode code = GetParam();
  for (CodecPath path : test::AvailablePaths()) {
    SetCodecPath(path);
    SetAllocationFailureForTesting(-1);
    const Bytes withTable = EncodeAll(code);
    EXPECT_EQ(AllocationAttemptsForTesting(), 1);
    SetAllocationFailureForTesting(0);
    const Bytes withoutTable = EncodeAll(code);
    EXPECT_EQ(AllocationAttemptsForTesting(), 1) << "the fallback ran only because the allocation failed";
    SetAllocationFailureForTesting(-1);
    EXPECT_TRUE(withTable == withoutTable) << "code " << code << " path " << static_cast<int>(path);
  }
  SetCodecPath(BestCodecPath());
}

INSTANTIATE_TEST_SUITE_P(AllTables, EveryTable, ::testing::Range(0, kSingleByteTableCount));

}  // namespace
}  // namespace glyphshift::engine
