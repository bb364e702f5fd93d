// The exported functions given unusable arguments by a caller outside the program: each answers
// CONVERT_INVALID_INPUT and leaves every buffer and the size as they were (run under the
// sanitizers, a read past a table or through a null pointer fails the test), while the nulls and
// codes that the contracts allow keep their documented results.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>

#include "glyphshift/glyphshift.h"

namespace {

constexpr std::uint8_t kFill = 0xA5;
constexpr std::uint32_t kSizeBefore = 8;

// What a call may touch: a text of each kind to read, room to write, and the size argument.
struct Buffers {
  std::uint8_t bytes[8] = {'a', 'b', 0xC3, 0xA9, 0x80, 'c', 'd', 'e'};
  std::uint16_t units[4] = {'A', 0x20AC, '\r', '\n'};
  std::uint8_t outBytes[16];
  std::uint16_t outUnits[16];
  std::uint32_t size = kSizeBefore;
  Buffers() {
    std::fill(std::begin(outBytes), std::end(outBytes), kFill);
    std::fill(std::begin(outUnits), std::end(outUnits), std::uint16_t{kFill});
  }
  bool Untouched() const {
    return size == kSizeBefore &&
           std::all_of(std::begin(outBytes), std::end(outBytes), [](auto b) { return b == kFill; }) &&
           std::all_of(std::begin(outUnits), std::end(outUnits), [](auto u) { return u == kFill; }) &&
           bytes[0] == 'a' && units[1] == 0x20AC;
  }
};

struct Case {
  std::string what;
  std::function<std::int32_t(Buffers&)> call;
};

std::vector<Case> BadCalls() {
  std::vector<Case> cases;
  for (std::int32_t code : {-1, 60, 99, 100, 200, INT_MIN, INT_MAX}) {
    const std::string c = std::to_string(code);
    cases.push_back({"decode, code " + c, [code](Buffers& b) {
                       return ConvertSingleByteToDoubleByte(code, b.bytes, 8, b.outUnits, &b.size);
                     }});
    cases.push_back({"encode, code " + c, [code](Buffers& b) {
                       return ConvertDoubleByteToSingleByte(code, b.units, 8, b.outBytes, &b.size);
                     }});
    cases.push_back({"encode size query, code " + c,
                     [code](Buffers& b) { return ConvertDoubleByteToSingleByte(code, b.units, 8, nullptr, &b.size); }});
  }
  cases.push_back({"decode, null size",
                   [](Buffers& b) { return ConvertSingleByteToDoubleByte(18, b.bytes, 8, b.outUnits, nullptr); }});
  cases.push_back({"decode, null source",
                   [](Buffers& b) { return ConvertSingleByteToDoubleByte(18, nullptr, 8, b.outUnits, &b.size); }});
  cases.push_back({"decode, null destination with a capacity",
                   [](Buffers& b) { return ConvertSingleByteToDoubleByte(18, b.bytes, 8, nullptr, &b.size); }});
  cases.push_back({"encode, null size",
                   [](Buffers& b) { return ConvertDoubleByteToSingleByte(18, b.units, 8, b.outBytes, nullptr); }});
  cases.push_back({"encode, null source",
                   [](Buffers& b) { return ConvertDoubleByteToSingleByte(18, nullptr, 8, b.outBytes, &b.size); }});
  cases.push_back(
      {"UTF-8 decode, null size", [](Buffers& b) { return ConvertUtf8ToDoubleByte(b.bytes, 8, b.outUnits, nullptr); }});
  cases.push_back({"UTF-8 decode, null source",
                   [](Buffers& b) { return ConvertUtf8ToDoubleByte(nullptr, 8, b.outUnits, &b.size); }});
  cases.push_back(
      {"UTF-8 encode, null size", [](Buffers& b) { return ConvertDoubleByteToUtf8(b.units, 8, b.outBytes, nullptr); }});
  cases.push_back({"UTF-8 encode, null source",
                   [](Buffers& b) { return ConvertDoubleByteToUtf8(nullptr, 8, b.outBytes, &b.size); }});
  cases.push_back({"UTF-8 encode, null destination with a capacity",
                   [](Buffers& b) { return ConvertDoubleByteToUtf8(b.units, 8, nullptr, &b.size); }});
  cases.push_back({"swap, null data", [](Buffers&) { return TransformEndianess(nullptr, 8); }});
  cases.push_back({"swap, null data with an odd byte", [](Buffers&) { return TransformEndianess(nullptr, 1); }});
  cases.push_back({"line breaks, null size", [](Buffers& b) {
                     return TransformNewLineCharacter(LINEBREAK_DOS, b.units, 8, b.outUnits, nullptr);
                   }});
  cases.push_back({"line breaks, null source", [](Buffers& b) {
                     return TransformNewLineCharacter(LINEBREAK_DOS, nullptr, 8, b.outUnits, &b.size);
                   }});
  cases.push_back({"detection, null data", [](Buffers&) { return DetectCharacterSet(nullptr, 8); }});
  return cases;
}

TEST(ExportedFunctions, RefuseUnusableArgumentsAndTouchNothing) {
  for (const Case& c : BadCalls()) {
    Buffers b;
    EXPECT_EQ(c.call(b), CONVERT_INVALID_INPUT) << c.what;
    EXPECT_TRUE(b.Untouched()) << c.what;
  }
}

// Result and size of calls whose nulls or codes the contracts allow.
struct Allowed {
  std::string what;
  std::function<std::int32_t(Buffers&)> call;
  std::int32_t result;
  std::uint32_t size;
};

TEST(ExportedFunctions, KeepTheDocumentedResultsOfTheNullsAndCodesTheyAllow) {
  const Allowed cases[] = {
      {"decode size query without a destination",
       [](Buffers& b) { return b.size = 0, ConvertSingleByteToDoubleByte(18, b.bytes, 8, nullptr, &b.size); },
       CONVERT_OK, 16},
      {"decode of nothing from a null source",
       [](Buffers& b) { return ConvertSingleByteToDoubleByte(18, nullptr, 0, b.outUnits, &b.size); }, CONVERT_OK,
       kSizeBefore},
      {"decode with code 11, which has a table but no name",
       [](Buffers& b) { return ConvertSingleByteToDoubleByte(11, b.bytes, 2, b.outUnits, &b.size); }, CONVERT_OK,
       kSizeBefore},
      {"decode with code 59",
       [](Buffers& b) { return ConvertSingleByteToDoubleByte(59, b.bytes, 2, b.outUnits, &b.size); }, CONVERT_OK,
       kSizeBefore},
      {"encode size query ignores the capacity",
       [](Buffers& b) { return ConvertDoubleByteToSingleByte(0, b.units, 7, nullptr, &b.size); }, CONVERT_OK, 3},
      {"encode of nothing from a null source",
       [](Buffers& b) { return ConvertDoubleByteToSingleByte(18, nullptr, 0, b.outBytes, &b.size); }, CONVERT_OK,
       kSizeBefore},
      {"UTF-8 size query", [](Buffers& b) { return ConvertUtf8ToDoubleByte(b.bytes, 4, nullptr, &b.size); },
       CONVERT_FLAG_MULTIBYTE, 6},
      {"UTF-8 decode of nothing from a null source",
       [](Buffers& b) { return ConvertUtf8ToDoubleByte(nullptr, 0, nullptr, &b.size); }, CONVERT_OK, 0},
      {"UTF-8 encode size query without a destination",
       [](Buffers& b) { return b.size = 0, ConvertDoubleByteToUtf8(b.units, 4, nullptr, &b.size); }, CONVERT_OK, 4},
      {"UTF-8 encode of nothing from a null source",
       [](Buffers& b) { return ConvertDoubleByteToUtf8(nullptr, 0, b.outBytes, &b.size); }, CONVERT_OK, 0},
      {"swap of nothing", [](Buffers&) { return TransformEndianess(nullptr, 0); }, 1, kSizeBefore},
      {"line-break size query",
       [](Buffers& b) { return TransformNewLineCharacter(LINEBREAK_UNIX, b.units, 8, nullptr, &b.size); }, CONVERT_OK,
       6},
      {"line breaks of nothing from a null source",
       [](Buffers& b) { return TransformNewLineCharacter(LINEBREAK_DOS, nullptr, 0, nullptr, &b.size); }, CONVERT_OK,
       0},
      {"detection of nothing", [](Buffers&) { return DetectCharacterSet(nullptr, 0); }, 0, kSizeBefore},
  };
  for (const Allowed& c : cases) {
    Buffers b;
    EXPECT_EQ(c.call(b), c.result) << c.what;
    EXPECT_EQ(b.size, c.size) << c.what;
  }
  // Code 11 encodes too: U+0041 becomes the higher of its two bytes, 0x41 and 0xC1.
  Buffers b;
  EXPECT_EQ(ConvertDoubleByteToSingleByte(11, b.units, 2, b.outBytes, &b.size), CONVERT_OK);
  EXPECT_EQ(b.outBytes[0], 0xC1);
}

}  // namespace
