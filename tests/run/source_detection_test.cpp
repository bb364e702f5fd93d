// A source's set with and without the statistical detector: what the detector's names stand
// for, our own samples of each script family, the fallbacks, the refusals and the sample bound.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "convert/named_files.h"
#include "engine/engine.h"
#include "engine/mapping_table.h"
#include "run/source_detection.h"
#include "run/statistical_detector.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

// ResolveCharsetName for an ASCII name.
std::optional<CharsetCode> Resolved(std::string_view name) {
  const std::u16string text(name.begin(), name.end());
  const char16_t* spelling = text.c_str();
  CharsetCode code = 0;
  if (!ResolveCharsetName(&code, &spelling)) return std::nullopt;
  return code;
}

// Every name libuchardet 0.0.7 answers: the entry it stands for, or none (the file is refused).
TEST(CatalogueCodeOfDetectorName, EveryNameTheDetectorAnswers) {
  const std::string_view asSpelled[] = {"ISO-8859-1",   "ISO-8859-2",   "ISO-8859-3",   "ISO-8859-4",   "ISO-8859-5",
                                        "ISO-8859-6",   "ISO-8859-7",   "ISO-8859-8",   "ISO-8859-9",   "ISO-8859-10",
                                        "ISO-8859-11",  "ISO-8859-13",  "ISO-8859-15",  "WINDOWS-1250", "WINDOWS-1251",
                                        "WINDOWS-1252", "WINDOWS-1253", "WINDOWS-1255", "WINDOWS-1256", "WINDOWS-1257",
                                        "WINDOWS-1258", "KOI8-R",       "UTF-8",        "UTF-16"};
  for (const std::string_view name : asSpelled) {
    ASSERT_TRUE(Resolved(name)) << name;
    EXPECT_EQ(CatalogueCodeOfDetectorName(name), Resolved(name)) << name;
  }
  const std::pair<std::string_view, std::string_view> renamed[] = {{"ASCII", "ISO-8859-1"},
                                                                   {"TIS-620", "ISO-8859-11"},
                                                                   {"IBM852", "CP852"},
                                                                   {"IBM855", "CP855"},
                                                                   {"IBM866", "CP866"},
                                                                   {"MAC-CYRILLIC", "MSMAC-CYRILLIC"},
                                                                   {"MAC-CENTRALEUROPE", "Apple-CENTEURO"}};
  for (const auto& [detector, entry] : renamed) {
    EXPECT_EQ(CatalogueCodeOfDetectorName(detector), Resolved(entry)) << detector;
  }
  const std::string_view refused[] = {"ISO-8859-16", "VISCII",  "UTF-32",     "SHIFT_JIS",   "EUC-JP",
                                      "ISO-2022-JP", "GB18030", "HZ-GB-2312", "ISO-2022-CN", "BIG5",
                                      "EUC-TW",      "EUC-KR",  "UHC",        "ISO-2022-KR", ""};
  for (const std::string_view name : refused) EXPECT_FALSE(CatalogueCodeOfDetectorName(name)) << name;
}

std::string Encode(CharsetCode code, std::u16string_view text) {
  std::string bytes(text.size(), '\0');
  auto size = static_cast<std::uint32_t>(bytes.size());
  engine::Utf16ToSingleByte(code, text.data(), static_cast<std::uint32_t>(text.size() * 2),
                            reinterpret_cast<std::uint8_t*>(bytes.data()), &size);
  return bytes;
}

std::u16string Decode(CharsetCode code, std::string_view bytes) {
  std::u16string text;
  for (const char b : bytes) text += kMappingTables[code].units[static_cast<unsigned char>(b)];
  return text;
}

class SourceDetectionTest : public support::TempDirTest {
 protected:
  SourceDetection Detect(std::string_view bytes, DetectionMethod method) const {
    support::WriteFileBytes(dir_.Native("s.txt"), bytes);
    const CNamedSource source(dir_.Path("s.txt"));
    return DetectSourceCharset(source.source, method);
  }
};

// One sentence or two of our own per script family, as their sets store them: the statistical
// answer reads them right, and the byte rules alone still give their fallback, ISO-8859-1.
TEST_F(SourceDetectionTest, ReadsEachScriptFamilyRightOnRequestOnly) {
  const std::u16string_view russian =
      u"Широкая электрификация южных губерний даст мощный толчок подъёму сельского хозяйства.";
  struct Sample {
    const char* family;
    CharsetCode set;
    std::u16string_view text;
  };
  const Sample samples[] = {
      {"Cyrillic, Windows-1251", 17, russian},
      {"Cyrillic, KOI8-R", 50, russian},
      {"Cyrillic, DOS-866", 38, russian},
      {"Greek, ISO-8859-7", 6, u"Η γρήγορη καφέ αλεπού πηδά πάνω από το τεμπέλικο σκυλί και τρέχει στο δάσος."},
      {"Hebrew, Windows-1255", 21, u"השועל החום המהיר קופץ מעל הכלב העצלן ורץ אל היער הגדול שליד הכפר."},
      {"Arabic, Windows-1256", 22, u"الثعلب البني السريع يقفز فوق الكلب الكسول ويجري إلى الغابة الكبيرة قرب القرية."},
      {"Turkish, ISO-8859-9", 8,
       u"Pijamalı hasta yağız şoföre çabucak güvendi. Öğretmen çocuklara güzel bir şarkı öğretti."},
      {"Central European, ISO-8859-2", 1, u"Zażółć gęślą jaźń. Pchnąć w tę łódź jeża lub ośm skrzyń fig."},
      {"Central European, Windows-1250", 16, u"Příliš žluťoučký kůň úpěl ďábelské ódy. Všichni lidé se rodí svobodní."},
      {"Baltic, Windows-1257", 23,
       u"Visi žmonės gimsta laisvi ir lygūs savo orumu ir teisėmis. Jiems suteiktas protas."},
      {"Thai, Windows-874", 15, u"มนุษย์ทั้งหลายเกิดมามีอิสระและเสมอภาคกันในเกียรติศักดิ์และสิทธิ ต่างมีเหตุผลและมโนธรรม"},
      // Windows-1258 writes most tone marks as combining characters after the letter.
      {"Vietnamese, Windows-1258", 24,
       u"Tâ\u0301t ca\u0309 mo\u0323i ngươ\u0300i sinh ra đê\u0300u đươ\u0323c tư\u0323 do và bi\u0300nh đă\u0309ng."},
      {"Western, Windows-1252", 18, u"Il a dit «bonjour» – le café est déjà prêt, naïve idée… €5."},
  };
  for (const Sample& s : samples) {
    const std::string bytes = Encode(s.set, s.text);
    ASSERT_EQ(Decode(s.set, bytes), s.text) << s.family << ": the sample must fit its set";
    const SourceDetection statistical = Detect(bytes, DetectionMethod::Statistical);
    EXPECT_EQ(statistical.outcome, DetectionOutcome::Statistical) << s.family;
    EXPECT_EQ(Decode(statistical.code, bytes), s.text) << s.family << ", detected " << statistical.detectorName;
    const SourceDetection simple = Detect(bytes, DetectionMethod::Simple);
    EXPECT_EQ(simple.code, 0) << s.family;
    EXPECT_TRUE(simple.detectorName.empty()) << s.family << ": the detector is not asked";
  }
}

TEST_F(SourceDetectionTest, FallsBackRefusesOrLeavesItToTheRules) {
  std::string everyHighByte;
  for (int b = 0x80; b < 0x100; ++b) everyHighByte += static_cast<char>(b);
  // 0xCA has no character in Windows-1255, which the detector still names for this text.
  const std::string hebrew = Encode(21, u"השועל החום המהיר קופץ מעל הכלב העצלן ורץ אל היער הגדול. ") + "\xCA";
  struct Case {
    const char* what;
    std::string bytes;
    DetectionOutcome outcome;
    CharsetCode code;  // not checked for a refusal
    std::string_view detectorName;
  };
  const Case cases[] = {
      {"no confident answer", everyHighByte, DetectionOutcome::NoAnswer, 0, ""},
      {"a byte the named set lacks", hebrew, DetectionOutcome::DoesNotFit, 0, "WINDOWS-1255"},
      {"Shift_JIS",
       "\x8D\xA1\x93\xFA\x82\xCD\x97\xC7\x82\xA2\x93V\x8B"
       "C\x82\xC5\x82\xB7\x82\xCB\x81"
       "B\x8C\xF6\x89\x80\x82\xD6\x8E"
       "U\x95\xE0\x82\xC9\x8Ds\x82\xAB\x82\xDC\x82\xB5\x82\xBD\x81"
       "B",
       DetectionOutcome::Unconvertible, 0, "SHIFT_JIS"},
      {"EUC-KR",
       "\xBF\xC0\xB4\xC3\xC0\xBA \xB3\xAF\xBE\xBE\xB0\xA1 \xC1\xA4\xB8\xBB \xC1\xC1\xBD\xC0\xB4\xCF\xB4\xD9. "
       "\xB0\xF8\xBF\xF8\xBF\xA1 \xBB\xEA\xC3\xA5\xC0\xBB \xB0\xAC\xBD\xC0\xB4\xCF\xB4\xD9.",
       DetectionOutcome::Unconvertible, 0, "UHC"},
      {"UTF-32 with its byte order mark", std::string("\0\0\xFE\xFF\0\0\0A\0\0\0\xE9", 12),
       DetectionOutcome::Unconvertible, 0, "UTF-32"},
      // The rules decide these before the detector could be asked.
      {"UTF-16 byte order mark",
       std::string("\xFF\xFE"
                   "a\0\xE9\0",
                   6),
       DetectionOutcome::ByRules, 101, ""},
      {"UTF-8", "caf\xC3\xA9", DetectionOutcome::ByRules, 100, ""},
      {"fewer than 3 bytes", "\xE9\n", DetectionOutcome::ByRules, 0, ""},
  };
  for (const Case& c : cases) {
    const SourceDetection d = Detect(c.bytes, DetectionMethod::Statistical);
    EXPECT_EQ(d.outcome, c.outcome) << c.what;
    EXPECT_EQ(d.detectorName, c.detectorName) << c.what;
    if (c.outcome != DetectionOutcome::Unconvertible) {
      EXPECT_EQ(d.code, c.code) << c.what;
    }
  }
}

// The detector sees a bounded sample: pieces without a byte above 0x7F are skipped, up to a limit.
TEST_F(SourceDetectionTest, SkipsAnAsciiHeadUpToTheReadLimit) {
  const std::string russian =
      Encode(17, u"Широкая электрификация южных губерний даст мощный толчок подъёму хозяйства.\n");
  const std::string head(std::size_t{1} << 20, 'a');
  const SourceDetection afterHead = Detect(head + russian, DetectionMethod::Statistical);
  EXPECT_EQ(afterHead.code, 17) << afterHead.detectorName;
  const std::string longHead(kStatisticalReadLimit, 'a');
  const SourceDetection beyond = Detect(longHead + russian, DetectionMethod::Statistical);
  EXPECT_EQ(beyond.detectorName, "ASCII") << "the text after the limit is not read";
  EXPECT_EQ(beyond.code, 0);
}

}  // namespace
}  // namespace glyphshift
