// What a conversion finds it cannot carry over, below the run: the binary rule on samples of
// our own, the places of first losses, and a source that changes while it is read.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "convert/process_file_fixture.h"
#include "support/faulty_files.h"

namespace glyphshift::testing_support {
namespace {

using Problem = ConversionReport::Problem;

constexpr CharsetCode kLatin1 = 0;

// A file is binary, at the byte given, or text; read in the set given (a guess of the byte
// rules where it says so).
TEST_F(ProcessFileTest, BinaryRuleOnSamples) {
  const struct {
    const char* what;
    std::string bytes;
    CharsetCode set;
    bool guessed;
    std::optional<std::uint64_t> binaryAt;
  } samples[] = {
      {"PNG", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), kLatin1, true, 8},
      {"ELF",
       std::string("\x7F"
                   "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                   16),
       kLatin1, true, 4},
      {"gzip", std::string("\x1F\x8B\x08\0\0\0\0\0\0\x03", 10), kLatin1, true, 0},
      {"NUL in UTF-8", std::string("text\0more", 9), kCharsetUtf8, false, 4},
      {"control in UTF-16", std::string("\xFF\xFEo\0k\0\x01\0", 8), kCharsetUtf16, false, 6},
      {"UTF-16 text", std::string("\xFF\xFEt\0e\0x\0t\0\n\0", 12), kCharsetUtf16, false, std::nullopt},
      {"form feeds, colours, backspaces", "page 1\f\x1B[31mred\x1B[0m\b\x1A\tend\r\n", kLatin1, true, std::nullopt},
      {"UTF-16 Chinese without mark, read as a guess", std::string("\x11\x62\xA1\x6C\x09\x67", 6), kLatin1, true,
       std::nullopt},
      {"the same, named as ISO-8859-1", std::string("\x11\x62\xA1\x6C\x09\x67", 6), kLatin1, false, 0},
  };
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.what);
    guessedLatin1_ = sample.guessed;
    std::remove(dir_.Native("out").c_str());
    const Outcome o = ConvertBytes(Bytes(sample.bytes.begin(), sample.bytes.end()), sample.set, kCharsetUtf8);
    EXPECT_EQ(o.report.losses.binaryAt, sample.binaryAt);
    EXPECT_EQ(o.result, sample.binaryAt ? Result::LeftUnchanged : Result::Converted);
    EXPECT_EQ(support::PathExists(dir_.Native("out")), !sample.binaryAt) << "a file that is no text gets no output";
  }
  // /binary converts it as it is.
  settings_.binaryAllowed = true;
  EXPECT_EQ(ConvertBytes(Bytes{0x1F, 0x8B, 0x08, 0x00}, kLatin1, kCharsetUtf8).result, Result::Converted);
}

// Places count characters of lines: CR LF is one break, a surrogate pair one character; a
// character the destination lacks is placed in the text as it is written (after line breaks
// are rewritten), a byte that does not decode in the source.
TEST_F(ProcessFileTest, FirstLossesArePlacedByLineAndColumn) {
  settings_.lineBreakType = 2;  // unix
  const std::string text = "a\r\nb\xF0\x9F\x98\x80\r\r\nxy\xE2\x82\xAC\xC3(";
  const Outcome o = ConvertBytes(Bytes(text.begin(), text.end()), kCharsetUtf8, kCharsetWindows1252);
  ASSERT_EQ(o.result, Result::Converted);
  EXPECT_EQ(o.report.losses.unencodable.count, 1u) << "the emoji; the euro sign is in Windows-1252";
  EXPECT_EQ(o.report.losses.unencodable.place.line, 2u);
  EXPECT_EQ(o.report.losses.unencodable.place.column, 2u);
  EXPECT_EQ(o.report.losses.undecodable.count, 1u);
  EXPECT_EQ(o.report.losses.undecodable.place.line, 4u) << "CR, then CR LF: two breaks";
  EXPECT_EQ(o.report.losses.undecodable.place.column, 4u);
}

// A source that changes while it is read is not given an output: it grows, or another file is
// put at its name. The test double changes it after the first read, at a known moment rather
// than in a race.
TEST_F(ProcessFileTest, SourceChangedWhileReadGetsNoOutput) {
  const std::string text(100, 'a');
  const struct {
    const char* change;
    std::function<void()> make;
    std::string after;
  } cases[] = {
      {"grows", [&] { std::ofstream(dir_.Native("in"), std::ios::app) << "b"; }, text + "b"},
      {"replaced",
       [&] {
         support::WriteFileBytes(dir_.Native("other"), "other");
         ASSERT_EQ(::rename(dir_.Native("other").c_str(), dir_.Native("in").c_str()), 0);
       },
       "other"},
  };
  for (const auto& c : cases) {
    support::WriteFileBytes(dir_.Native("in"), text);
    support::FaultyFiles files;
    files.AfterRead([&](const platform::CFile&) {
      c.make();
      files.AfterRead(nullptr);
    });
    const Outcome o = Convert(dir_.Path("in"), dir_.Path("out"), kLatin1, kCharsetUtf8);
    EXPECT_EQ(o.result, Result::LeftUnchanged) << c.change;
    EXPECT_EQ(o.report.problem, Problem::SourceChanged) << c.change;
    EXPECT_FALSE(support::PathExists(dir_.Native("out"))) << c.change;
    EXPECT_EQ(support::ReadFileText(dir_.Native("in")), c.after) << c.change;
  }
}

}  // namespace
}  // namespace glyphshift::testing_support
