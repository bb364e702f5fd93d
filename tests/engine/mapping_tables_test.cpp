// Every byte of every table against the Unicode mapping files in data/, read at test time by
// a parser of this test's own, so a fault in the generator cannot vouch for itself.
#include "engine/mapping_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace glyphshift {
namespace {

constexpr std::uint32_t kAbsent = 0xFFFF'FFFF;  // the file has no value for the byte
using Published = std::array<std::uint32_t, 256>;

std::string MappingsDir() {
  const char* root = std::getenv("GLYPHSHIFT_SOURCE_DIR");
#ifdef GLYPHSHIFT_DEFAULT_SOURCE_DIR
  if (root == nullptr) root = GLYPHSHIFT_DEFAULT_SOURCE_DIR;
#endif
  return std::string(root != nullptr ? root : ".") + "/data/unicode-mappings/";
}

// Lines "0xBB <white> 0xUUUU <white> # name"; a line with an empty second column, or no line
// at all, leaves the byte absent.
::testing::AssertionResult ReadPublished(const std::string& rel, Published& out) {
  out.fill(kAbsent);
  const std::string path = MappingsDir() + rel;
  std::ifstream in(path, std::ios::binary);
  if (!in) return ::testing::AssertionFailure() << "cannot open " << path;
  std::string line;
  int dataLines = 0;
  while (std::getline(in, line)) {
    if (line.rfind("0x", 0) != 0) continue;
    std::istringstream fields(line.substr(0, line.find('#')));
    std::string byteText, unitText;
    fields >> byteText >> unitText;
    const unsigned long byte = std::stoul(byteText, nullptr, 16);
    if (byte > 0xFF) return ::testing::AssertionFailure() << path << ": bad line " << line;
    if (!unitText.empty()) out[byte] = static_cast<std::uint32_t>(std::stoul(unitText, nullptr, 16));
    ++dataLines;
  }
  if (dataLines == 0) return ::testing::AssertionFailure() << path << ": no data lines";
  return ::testing::AssertionSuccess();
}

enum class Fill {
  kAsPublished,     // absent bytes are undefined
  kIsoControls,     // 0x00..0x9F are C0, ASCII and C1 themselves
  kAsciiLowerHalf,  // Apple and NeXTSTEP files list (at most) the printable lower half
  kSevenBit,        // code 11: no file; the byte with bit 7 cleared
};

struct Source {
  const char* file;
  Fill fill = Fill::kAsPublished;
};

constexpr Fill kIso = Fill::kIsoControls;
constexpr Fill kAscii = Fill::kAsciiLowerHalf;

constexpr Source kSources[60] = {
    // 0-14: ISO 8859 parts 1-11 and 13-15; 11 stands where part 12 would
    {"ISO8859/8859-1.TXT", kIso},
    {"ISO8859/8859-2.TXT", kIso},
    {"ISO8859/8859-3.TXT", kIso},
    {"ISO8859/8859-4.TXT", kIso},
    {"ISO8859/8859-5.TXT", kIso},
    {"ISO8859/8859-6.TXT", kIso},
    {"ISO8859/8859-7.TXT", kIso},
    {"ISO8859/8859-8.TXT", kIso},
    {"ISO8859/8859-9.TXT", kIso},
    {"ISO8859/8859-10.TXT", kIso},
    {"ISO8859/8859-11.TXT", kIso},
    {nullptr, Fill::kSevenBit},
    {"ISO8859/8859-13.TXT", kIso},
    {"ISO8859/8859-14.TXT", kIso},
    {"ISO8859/8859-15.TXT", kIso},
    // 15-24: Windows
    {"VENDORS/MICSFT/WINDOWS/CP874.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1250.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1251.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1252.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1253.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1254.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1255.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1256.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1257.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP1258.TXT"},
    // 25-39: DOS; 40: DOS-874 uses the Windows table
    {"VENDORS/MICSFT/PC/CP437.TXT"},
    {"VENDORS/MICSFT/PC/CP737.TXT"},
    {"VENDORS/MICSFT/PC/CP775.TXT"},
    {"VENDORS/MICSFT/PC/CP850.TXT"},
    {"VENDORS/MICSFT/PC/CP852.TXT"},
    {"VENDORS/MICSFT/PC/CP855.TXT"},
    {"VENDORS/MICSFT/PC/CP857.TXT"},
    {"VENDORS/MICSFT/PC/CP860.TXT"},
    {"VENDORS/MICSFT/PC/CP861.TXT"},
    {"VENDORS/MICSFT/PC/CP862.TXT"},
    {"VENDORS/MICSFT/PC/CP863.TXT"},
    {"VENDORS/MICSFT/PC/CP864.TXT"},
    {"VENDORS/MICSFT/PC/CP865.TXT"},
    {"VENDORS/MICSFT/PC/CP866.TXT"},
    {"VENDORS/MICSFT/PC/CP869.TXT"},
    {"VENDORS/MICSFT/WINDOWS/CP874.TXT"},
    // 41-46: Microsoft's Macintosh tables; 47, 48: Apple's
    {"VENDORS/MICSFT/MAC/CYRILLIC.TXT"},
    {"VENDORS/MICSFT/MAC/GREEK.TXT"},
    {"VENDORS/MICSFT/MAC/ICELAND.TXT"},
    {"VENDORS/MICSFT/MAC/LATIN2.TXT"},
    {"VENDORS/MICSFT/MAC/ROMAN.TXT"},
    {"VENDORS/MICSFT/MAC/TURKISH.TXT"},
    {"VENDORS/APPLE/CENTEURO.TXT", kAscii},
    {"VENDORS/APPLE/ROMAN.TXT", kAscii},
    // 49-55
    {"VENDORS/MISC/ATARIST.TXT"},
    {"VENDORS/MISC/KOI8-R.TXT"},
    {"VENDORS/MISC/KOI8-U.TXT"},
    {"VENDORS/MISC/CP856.TXT"},
    {"VENDORS/MISC/KZ1048.TXT"},
    {"VENDORS/MISC/CP1006.TXT"},
    {"VENDORS/NEXT/NEXTSTEP.TXT", kAscii},
    // 56-59: EBCDIC
    {"VENDORS/MICSFT/EBCDIC/CP037.TXT"},
    {"VENDORS/MICSFT/EBCDIC/CP500.TXT"},
    {"VENDORS/MICSFT/EBCDIC/CP875.TXT"},
    {"VENDORS/MICSFT/EBCDIC/CP1026.TXT"},
};

// The product's two deliberate departures from the files.
struct Departure {
  int code;
  int byte;
  char16_t unit;
};
constexpr Departure kDepartures[] = {
    {10, 0xA0, kMappingUndefined},  // ISO-8859-11 leaves 0xA0 undefined
    {36, 0x25, u'%'},               // DOS-864 keeps the ASCII percent sign
};

::testing::AssertionResult ExpectedTable(int code, std::array<char16_t, 256>& out) {
  const Source& source = kSources[code];
  Published published{};
  if (source.file != nullptr) {
    auto read = ReadPublished(source.file, published);
    if (!read) return read;
  }
  for (int b = 0; b < 256; ++b) {
    const std::uint32_t value = published[static_cast<std::size_t>(b)];
    char16_t unit = value == kAbsent ? kMappingUndefined : static_cast<char16_t>(value);
    if (value != kAbsent && value > 0xFFFF) {
      return ::testing::AssertionFailure() << source.file << ": byte " << b << " beyond one UTF-16 unit";
    }
    if ((source.fill == Fill::kIsoControls && b < 0xA0) || (source.fill == Fill::kAsciiLowerHalf && b < 0x80)) {
      unit = static_cast<char16_t>(b);
    }
    if (source.fill == Fill::kSevenBit) unit = static_cast<char16_t>(b & 0x7F);
    out[static_cast<std::size_t>(b)] = unit;
  }
  for (const Departure& d : kDepartures) {
    if (d.code == code) out[static_cast<std::size_t>(d.byte)] = d.unit;
  }
  return ::testing::AssertionSuccess();
}

std::string Hex(unsigned value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", width, value);
  return buf;
}

const char16_t* Units(int code) { return kMappingTables[code].units; }

int CountUndefined(int code) {
  int n = 0;
  for (int b = 0; b < 256; ++b) n += Units(code)[b] == kMappingUndefined;
  return n;
}

std::set<int> UndefinedBytes(int code) {
  std::set<int> bytes;
  for (int b = 0; b < 256; ++b) {
    if (Units(code)[b] == kMappingUndefined) bytes.insert(b);
  }
  return bytes;
}

// ---- each table against its file --------------------------------------------------------------

class EveryTable : public ::testing::TestWithParam<int> {};

TEST_P(EveryTable, MatchesItsMappingFileByteForByte) {
  const int code = GetParam();
  std::array<char16_t, 256> expected{};
  ASSERT_TRUE(ExpectedTable(code, expected));
  int reported = 0;
  for (int b = 0; b < 256 && reported < 8; ++b) {
    const char16_t got = Units(code)[b];
    const char16_t want = expected[static_cast<std::size_t>(b)];
    if (got != want) {
      ADD_FAILURE() << "code " << code << " byte 0x" << Hex(static_cast<unsigned>(b), 2) << ": table U+" << Hex(got, 4)
                    << ", file (with fills) U+" << Hex(want, 4);
      ++reported;
    }
  }
}

TEST_P(EveryTable, HoldsNoSurrogate) {
  for (int b = 0; b < 256; ++b) {
    const char16_t u = Units(GetParam())[b];
    EXPECT_FALSE(u >= 0xD800 && u <= 0xDFFF) << "byte 0x" << Hex(static_cast<unsigned>(b), 2);
  }
}

// Decoders widen ASCII runs without a look-up when IsAsciiCompatible says so.
TEST_P(EveryTable, AsciiCompatibilityFlagTellsTheTruth) {
  const int code = GetParam();
  bool lowerHalfIsAscii = true;
  for (int b = 0; b < 0x80; ++b) lowerHalfIsAscii &= Units(code)[b] == b;
  EXPECT_EQ(IsAsciiCompatible(code), lowerHalfIsAscii) << "code " << code;
}

INSTANTIATE_TEST_SUITE_P(AllCodes, EveryTable, ::testing::Range(0, 60),
                         [](const auto& param) { return "code_" + std::to_string(param.param); });

// ---- documented figures ---------------------------------------------------------------------------

TEST(MappingTables, UndefinedCountsPerTable) {
  const std::map<int, int> counts = {
      {2, 7},   {5, 45}, {6, 3},  {7, 36}, {10, 9}, {15, 31}, {16, 5}, {17, 1}, {18, 5}, {19, 17}, {20, 7},  {21, 23},
      {23, 12}, {24, 9}, {31, 3}, {36, 6}, {39, 9}, {40, 31}, {42, 1}, {43, 1}, {45, 1}, {46, 2},  {52, 41}, {53, 1},
  };
  for (int code = 0; code < 60; ++code) {
    const auto it = counts.find(code);
    EXPECT_EQ(CountUndefined(code), it == counts.end() ? 0 : it->second) << "code " << code;
  }
}

TEST(MappingTables, UndefinedSetsOfExampleTables) {
  EXPECT_EQ(UndefinedBytes(18), (std::set<int>{0x81, 0x8D, 0x8F, 0x90, 0x9D}));
  EXPECT_EQ(UndefinedBytes(17), (std::set<int>{0x98}));
  EXPECT_EQ(UndefinedBytes(2), (std::set<int>{0xA5, 0xAE, 0xBE, 0xC3, 0xD0, 0xE3, 0xF0}));
  EXPECT_EQ(UndefinedBytes(31), (std::set<int>{0xD5, 0xE7, 0xF2}));
  EXPECT_EQ(UndefinedBytes(10), (std::set<int>{0xA0, 0xDB, 0xDC, 0xDD, 0xDE, 0xFC, 0xFD, 0xFE, 0xFF}));
}

TEST(MappingTables, DocumentedEntries) {
  const struct {
    int code;
    int byte;
    char16_t unit;
  } entries[] = {
      {18, 0x80, 0x20AC}, {18, 0x81, 0xFFFF}, {18, 0x9F, 0x0178}, {25, 0x80, 0x00C7}, {25, 0xB0, 0x2591},
      {56, 0xC1, 0x0041}, {56, 0x40, 0x0020}, {56, 0xF0, 0x0030}, {56, 0x25, 0x000A}, {56, 0x15, 0x0085},
      {14, 0xA4, 0x20AC}, {50, 0xC1, 0x0430}, {48, 0xDB, 0x20AC}, {48, 0xBD, 0x03A9}, {48, 0xF0, 0xF8FF},
      {54, 0xB1, 0xFE8E}, {54, 0xB2, 0xFE8E}, {55, 0xFE, 0xFFFD}, {55, 0xFF, 0xFFFD}, {36, 0x25, 0x0025},
  };
  for (const auto& e : entries) {
    EXPECT_EQ(Units(e.code)[e.byte], e.unit)
        << "code " << e.code << " byte 0x" << Hex(static_cast<unsigned>(e.byte), 2);
  }
  for (int b : {0x3F, 0xDC, 0xE1, 0xEC, 0xED, 0xFC, 0xFD}) EXPECT_EQ(Units(58)[b], 0x001A) << b;
}

TEST(MappingTables, FilledTablesFollowTheirRule) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(Units(0)[b], b) << "ISO-8859-1 is the identity";
    EXPECT_EQ(Units(11)[b], b & 0x7F) << "code 11 clears bit 7";
    EXPECT_EQ(Units(40)[b], Units(15)[b]) << "DOS-874 is Windows-874";
    EXPECT_EQ(Units(47)[b], Units(44)[b]) << "Apple Central European is Microsoft's Latin 2";
  }
}

}  // namespace
}  // namespace glyphshift
