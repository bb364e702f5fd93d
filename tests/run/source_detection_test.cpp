// A source's set with and without the statistical model: our own samples of each script family,
// the fallbacks, the refusals, the declarations and the sample bound.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "api/file_detection.h"
#include "convert/named_files.h"
#include "engine/charset_guess.h"
#include "engine/engine.h"
#include "engine/mapping_table.h"
#include "run/source_detection.h"
#include "support/temp_dir.h"

namespace glyphshift {
namespace {

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

std::string NameOf(CharsetCode code) {
  const std::u16string_view name = CharsetNameFromCode(code);
  return {name.begin(), name.end()};
}

// One sentence or two of our own per script family, as their sets store them: the statistical
// answer reads them right, and by default the byte rules' fallback, ISO-8859-1, stands while
// the model names the set the text looks like.
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
    EXPECT_EQ(statistical.detectorName, NameOf(statistical.code)) << s.family;
    EXPECT_GE(statistical.confidence, engine::kConfidentFrom) << s.family;
    EXPECT_NE(statistical.runnerUp, statistical.code) << s.family;
    const SourceDetection simple = Detect(bytes, DetectionMethod::Simple);
    EXPECT_EQ(simple.code, 0) << s.family;
    EXPECT_EQ(simple.outcome, DetectionOutcome::ByRules) << s.family;
    EXPECT_EQ(simple.detectorName, statistical.detectorName) << s.family << ": what it looks like";
  }
}

TEST_F(SourceDetectionTest, FallsBackRefusesFollowsDeclarationsOrLeavesItToTheRules) {
  // Random bytes above 0x7F read as no language in any table.
  std::string noise;
  for (std::uint32_t state = 1; noise.size() < 1000;) {
    state = (state * 1103515245u + 12345u) & 0x7FFFFFFFu;
    noise += static_cast<char>(0x80 | ((state >> 16) & 0x7F));
  }
  const std::u16string_view greek = u"Η γρήγορη καφέ αλεπού πηδά πάνω από το τεμπέλικο σκυλί.";
  const std::u16string_view russian = u"Съешь же ещё этих мягких французских булок, да выпей чаю.";
  struct Case {
    const char* what;
    std::string bytes;
    DetectionOutcome outcome;
    CharsetCode code;               // not checked for a refusal
    std::string_view detectorName;  // not checked for a declaration
  };
  const Case cases[] = {
      {"no confident answer", noise, DetectionOutcome::NoAnswer, 0, "Windows-1256"},
      {"Shift_JIS",
       "\x8D\xA1\x93\xFA\x82\xCD\x97\xC7\x82\xA2\x93V\x8B"
       "C\x82\xC5\x82\xB7\x82\xCB\x81"
       "B\x8C\xF6\x89\x80\x82\xD6\x8E"
       "U\x95\xE0\x82\xC9\x8Ds\x82\xAB\x82\xDC\x82\xB5\x82\xBD\x81"
       "B",
       DetectionOutcome::Unconvertible, 0, "Shift_JIS"},
      {"EUC-KR",
       "\xBF\xC0\xB4\xC3\xC0\xBA \xB3\xAF\xBE\xBE\xB0\xA1 \xC1\xA4\xB8\xBB \xC1\xC1\xBD\xC0\xB4\xCF\xB4\xD9. "
       "\xB0\xF8\xBF\xF8\xBF\xA1 \xBB\xEA\xC3\xA5\xC0\xBB \xB0\xAC\xBD\xC0\xB4\xCF\xB4\xD9.",
       DetectionOutcome::Unconvertible, 0, "EUC-KR"},
      {"UTF-32 with its byte order mark", std::string("\0\0\xFE\xFF\0\0\0A\0\0\0\xE9", 12),
       DetectionOutcome::Unconvertible, 0, "UTF-32BE"},
      {"UTF-32LE, which the rules take for UTF-16", std::string("\xFF\xFE\0\0A\0\0\0\xE9\0\0\0b\0\0\0c\0\0\0", 20),
       DetectionOutcome::Unconvertible, 0, "UTF-32LE"},
      // A declaration that reads the bytes wins over the model, fitted as the model's answer
      // would be; one that names a set lacking a byte of the text, or one we cannot convert, not.
      {"XML declaring ISO-8859-7",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<p>" + Encode(6, greek),
       DetectionOutcome::Declared,
       6,
       {}},
      {"HTML meta charset",
       "<html><head><meta charset='koi8-r'></head><body>" + Encode(50, russian),
       DetectionOutcome::Declared,
       50,
       {}},
      {"http-equiv content",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\"><p>\x93" + Encode(18, u"déjà vu") +
           "\x94",
       DetectionOutcome::Declared,
       18,
       {}},
      {"a declared set that lacks a byte", "<?xml version=\"1.0\" encoding=\"iso-8859-3\"?>" + Encode(17, russian),
       DetectionOutcome::Statistical, 17, "Windows-1251"},
      {"a declared set we cannot convert", "<?xml version=\"1.0\" encoding=\"Big5\"?>" + Encode(17, russian),
       DetectionOutcome::Statistical, 17, "Windows-1251"},
      // The rules decide these before the model could be asked.
      {"UTF-16 byte order mark",
       std::string("\xFF\xFE"
                   "a\0\xE9\0",
                   6),
       DetectionOutcome::ByRules,
       101,
       {}},
      {"UTF-8", "caf\xC3\xA9", DetectionOutcome::ByRules, 100, {}},
      {"fewer than 3 bytes", "\xE9\n", DetectionOutcome::ByRules, 0, {}},
  };
  for (const Case& c : cases) {
    const SourceDetection d = Detect(c.bytes, DetectionMethod::Statistical);
    EXPECT_EQ(d.outcome, c.outcome) << c.what;
    if (c.outcome != DetectionOutcome::Declared) {
      EXPECT_EQ(d.detectorName, c.detectorName) << c.what;
    }
    if (c.outcome != DetectionOutcome::Unconvertible) {
      EXPECT_EQ(NameOf(d.code), NameOf(c.code)) << c.what;
    }
  }
}

// The model sees a bounded sample: pieces without a byte above 0x7F are skipped, up to a limit.
TEST_F(SourceDetectionTest, SkipsAnAsciiHeadUpToTheReadLimit) {
  const std::string russian =
      Encode(17, u"Широкая электрификация южных губерний даст мощный толчок подъёму хозяйства.\n");
  const std::string head(std::size_t{1} << 20, 'a');
  const SourceDetection afterHead = Detect(head + russian, DetectionMethod::Statistical);
  EXPECT_EQ(afterHead.code, 17) << afterHead.detectorName;
  const std::string longHead(kGuessReadLimit, 'a');
  const SourceDetection beyond = Detect(longHead + russian, DetectionMethod::Statistical);
  EXPECT_EQ(beyond.outcome, DetectionOutcome::NoAnswer) << "the text after the limit is not read";
  EXPECT_EQ(beyond.code, 0);
}

}  // namespace
}  // namespace glyphshift
