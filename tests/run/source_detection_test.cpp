// A source's set with and without the statistical detector: what the detector's names stand
// for, our own samples of each script family, the fallbacks, the refusals and the sample bound.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "run/statistical_detector.h"

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

}  // namespace
}  // namespace glyphshift
