// The catalogue of character sets: the product's fixed vocabulary of names, and the two
// look-ups between names and codes. Everything here is constant; nothing keeps state.
#include "engine/charset_catalogue.h"
#include "engine/ascii_case.h"

#include <cstddef>
#include <iterator>

namespace glyphshift {
namespace {

// Each code's primary record (listed, with a description) comes first and its aliases follow
// it. "CP874" is an alias of both 15 and 40; resolution takes the first match, so it always
// means Windows-874. The all-zero record ends every walk.
constexpr CharsetRecord kCatalogue[] = {
    {u"ISO-8859-1", u"Latin-1, West European", 0, 1},
    {u"ISO 8859-1", u"", 0, 0},
    {u"Latin-1", u"", 0, 0},
    {u"Latin1", u"", 0, 0},
    {u"ISO-8859-2", u"Latin-2, East European", 1, 1},
    {u"ISO 8859-2", u"", 1, 0},
    {u"Latin-2", u"", 1, 0},
    {u"Latin2", u"", 1, 0},
    {u"ISO-8859-3", u"Latin-3, South European", 2, 1},
    {u"ISO 8859-3", u"", 2, 0},
    {u"Latin-3", u"", 2, 0},
    {u"Latin3", u"", 2, 0},
    {u"ISO-8859-4", u"Latin-4, Baltic", 3, 1},
    {u"ISO 8859-4", u"", 3, 0},
    {u"Latin-4", u"", 3, 0},
    {u"Latin4", u"", 3, 0},
    {u"ISO-8859-5", u"Cyrillic", 4, 1},
    {u"ISO 8859-5", u"", 4, 0},
    {u"ISO-8859-6", u"Arabic", 5, 1},
    {u"ISO 8859-6", u"", 5, 0},
    {u"ISO-8859-7", u"Greek", 6, 1},
    {u"ISO 8859-7", u"", 6, 0},
    {u"ISO-8859-8", u"Hebrew", 7, 1},
    {u"ISO 8859-8", u"", 7, 0},
    {u"ISO-8859-9", u"Latin-5, Turkish", 8, 1},
    {u"ISO 8859-9", u"", 8, 0},
    {u"Latin-5", u"", 8, 0},
    {u"Latin5", u"", 8, 0},
    {u"ISO-8859-10", u"Latin-6, Nordic", 9, 1},
    {u"ISO 8859-10", u"", 9, 0},
    {u"Latin-6", u"", 9, 0},
    {u"Latin6", u"", 9, 0},
    {u"ISO-8859-11", u"Thai", 10, 1},
    {u"ISO 8859-11", u"", 10, 0},
    {u"ISO-8859-13", u"Latin-7, Baltic", 12, 1},
    {u"ISO 8859-13", u"", 12, 0},
    {u"Latin-7", u"", 12, 0},
    {u"Latin7", u"", 12, 0},
    {u"ISO-8859-14", u"Latin-8, Celtic", 13, 1},
    {u"ISO 8859-14", u"", 13, 0},
    {u"Latin-8", u"", 13, 0},
    {u"Latin8", u"", 13, 0},
    {u"ISO-8859-15", u"Latin-9, West European, Euro", 14, 1},
    {u"ISO 8859-15", u"", 14, 0},
    {u"Latin-9", u"", 14, 0},
    {u"Latin9", u"", 14, 0},
    {u"Windows-874", u"Thai", 15, 1},
    {u"Windows 874", u"", 15, 0},
    {u"CP874", u"", 15, 0},
    {u"Windows-1250", u"Central European", 16, 1},
    {u"Windows 1250", u"", 16, 0},
    {u"CP1250", u"", 16, 0},
    {u"Windows-1251", u"Cyrillic", 17, 1},
    {u"Windows 1251", u"", 17, 0},
    {u"CP1251", u"", 17, 0},
    {u"Windows-1252", u"Western European, ANSI", 18, 1},
    {u"Windows 1252", u"", 18, 0},
    {u"CP1252", u"", 18, 0},
    {u"Ansi", u"", 18, 0},
    {u"Windows-1253", u"Greek", 19, 1},
    {u"Windows 1253", u"", 19, 0},
    {u"CP1253", u"", 19, 0},
    {u"Windows-1254", u"Turkish", 20, 1},
    {u"Windows 1254", u"", 20, 0},
    {u"CP1254", u"", 20, 0},
    {u"Windows-1255", u"Hebrew", 21, 1},
    {u"Windows 1255", u"", 21, 0},
    {u"CP1255", u"", 21, 0},
    {u"Windows-1256", u"Arabic", 22, 1},
    {u"Windows 1256", u"", 22, 0},
    {u"CP1256", u"", 22, 0},
    {u"Windows-1257", u"Baltic", 23, 1},
    {u"Windows 1257", u"", 23, 0},
    {u"CP1257", u"", 23, 0},
    {u"Windows-1258", u"Vietnamese", 24, 1},
    {u"Windows 1258", u"", 24, 0},
    {u"CP1258", u"", 24, 0},
    {u"DOS-437", u"DOS - US", 25, 1},
    {u"DOS 437", u"", 25, 0},
    {u"437", u"", 25, 0},
    {u"CP437", u"", 25, 0},
    {u"DOS-737", u"DOS - Greek", 26, 1},
    {u"DOS 737", u"", 26, 0},
    {u"737", u"", 26, 0},
    {u"CP737", u"", 26, 0},
    {u"DOS-775", u"DOS - Baltic", 27, 1},
    {u"DOS 775", u"", 27, 0},
    {u"775", u"", 27, 0},
    {u"CP775", u"", 27, 0},
    {u"DOS-850", u"DOS - Latin 1", 28, 1},
    {u"DOS 850", u"", 28, 0},
    {u"850", u"", 28, 0},
    {u"CP850", u"", 28, 0},
    {u"DOS-852", u"DOS - Latin 2", 29, 1},
    {u"DOS 852", u"", 29, 0},
    {u"852", u"", 29, 0},
    {u"CP852", u"", 29, 0},
    {u"DOS-855", u"DOS - Cyrillic", 30, 1},
    {u"DOS 855", u"", 30, 0},
    {u"855", u"", 30, 0},
    {u"CP855", u"", 30, 0},
    {u"DOS-857", u"DOS - Turkish", 31, 1},
    {u"DOS 857", u"", 31, 0},
    {u"857", u"", 31, 0},
    {u"CP857", u"", 31, 0},
    {u"DOS-860", u"DOS - Portuguese", 32, 1},
    {u"DOS 860", u"", 32, 0},
    {u"860", u"", 32, 0},
    {u"CP860", u"", 32, 0},
    {u"DOS-861", u"DOS - Icelandic", 33, 1},
    {u"DOS 861", u"", 33, 0},
    {u"861", u"", 33, 0},
    {u"CP861", u"", 33, 0},
    {u"DOS-862", u"DOS - Hebrew", 34, 1},
    {u"DOS 862", u"", 34, 0},
    {u"862", u"", 34, 0},
    {u"CP862", u"", 34, 0},
    {u"DOS-863", u"DOS - CanadaF", 35, 1},
    {u"DOS 863", u"", 35, 0},
    {u"863", u"", 35, 0},
    {u"CP863", u"", 35, 0},
    {u"DOS-864", u"DOS - Arabic", 36, 1},
    {u"DOS 864", u"", 36, 0},
    {u"864", u"", 36, 0},
    {u"CP864", u"", 36, 0},
    {u"DOS-865", u"DOS - Nordic", 37, 1},
    {u"DOS 865", u"", 37, 0},
    {u"865", u"", 37, 0},
    {u"CP865", u"", 37, 0},
    {u"DOS-866", u"DOS - Cyrillic/Russian", 38, 1},
    {u"DOS 866", u"", 38, 0},
    {u"866", u"", 38, 0},
    {u"CP866", u"", 38, 0},
    {u"DOS-869", u"DOS - Greek2", 39, 1},
    {u"DOS 869", u"", 39, 0},
    {u"869", u"", 39, 0},
    {u"CP869", u"", 39, 0},
    {u"DOS-874", u"DOS - 874", 40, 1},
    {u"DOS 874", u"", 40, 0},
    {u"874", u"", 40, 0},
    {u"CP874", u"", 40, 0},
    {u"MSMAC-CYRILLIC", u"Microsoft MAC - Cyrillic, CP 10007", 41, 1},
    {u"CP10007", u"", 41, 0},
    {u"MSMAC-GREEK", u"Microsoft MAC - Greek, CP 10006", 42, 1},
    {u"CP10006", u"", 42, 0},
    {u"MSMAC-ICELAND", u"Microsoft MAC - Icelandic, CP 10079", 43, 1},
    {u"CP10079", u"", 43, 0},
    {u"MSMAC-LATIN2", u"Microsoft MAC - Latin 2, CP 10029", 44, 1},
    {u"CP10029", u"", 44, 0},
    {u"MSMAC-ROMAN", u"Microsoft MAC - Roman, CP 10000", 45, 1},
    {u"CP10000", u"", 45, 0},
    {u"MSMAC-TURKISH", u"Microsoft MAC - Turkish, CP 10081", 46, 1},
    {u"CP10081", u"", 46, 0},
    {u"Apple-CENTEURO", u"Apple - Central European", 47, 1},
    {u"CENTEURO", u"", 47, 0},
    {u"Apple-Roman", u"Apple - Roman", 48, 1},
    {u"AtariST", u"AtariST", 49, 1},
    {u"KOI8-R", u"Code for Information Exchange - Russian", 50, 1},
    {u"KOI8R", u"", 50, 0},
    {u"KOI8-U", u"Code for Information Exchange - Ukrainian", 51, 1},
    {u"KOI8U", u"", 51, 0},
    {u"CP856", u"CP856 - Hebrew", 52, 1},
    {u"856", u"", 52, 0},
    {u"DOS 856", u"", 52, 0},
    {u"DOS-856", u"", 52, 0},
    {u"KZ-1048", u"KZ-1048/STRK1048-2002 - Kazakhstan", 53, 1},
    {u"KZ1048", u"", 53, 0},
    {u"RK1048", u"", 53, 0},
    {u"STRK1048-2002", u"", 53, 0},
    {u"CP1006", u"IBM CP 1006 - English/Urdu - Pakistan", 54, 1},
    {u"CP-1006", u"", 54, 0},
    {u"NeXT", u"NextStep, OpenStep", 55, 1},
    {u"openstep", u"", 55, 0},
    {u"nextstep", u"", 55, 0},
    {u"EBCDIC-37", u"EBCDIC CP 37 - USA", 56, 1},
    {u"CP37", u"", 56, 0},
    {u"EBCDIC-500", u"EBCDIC CP 500 - International", 57, 1},
    {u"CP500", u"", 57, 0},
    {u"EBCDIC-875", u"EBCDIC CP 875 - Greek", 58, 1},
    {u"CP875", u"", 58, 0},
    {u"EBCDIC-1026", u"EBCDIC CP 1026 - Turkish", 59, 1},
    {u"CP1026", u"", 59, 0},
    {},
};

constexpr std::size_t kRecordCount = 182;
static_assert(std::size(kCatalogue) == kRecordCount + 1, "182 records and the terminator");

constexpr char16_t kUtf8Name[] = u"utf-8";
constexpr char16_t kUtf16Name[] = u"utf-16";
constexpr char16_t kUtf16BeName[] = u"utf-16be";

struct UnicodeSpelling {
  const char16_t* spelling;
  CharsetCode code;
  const char16_t* canonical;
};

// Tried before the catalogue, in this order; no other written form is accepted.
constexpr UnicodeSpelling kUnicodeSpellings[] = {
    {u"utf 8", kCharsetUtf8, kUtf8Name},          {u"utf-8", kCharsetUtf8, kUtf8Name},
    {u"utf8", kCharsetUtf8, kUtf8Name},           {u"utf 16", kCharsetUtf16, kUtf16Name},
    {u"utf-16", kCharsetUtf16, kUtf16Name},       {u"utf16", kCharsetUtf16, kUtf16Name},
    {u"utf-16be", kCharsetUtf16Be, kUtf16BeName}, {u"utf 16be", kCharsetUtf16Be, kUtf16BeName},
    {u"utf16be", kCharsetUtf16Be, kUtf16BeName},
};

// Whole-string comparison: no trimming, no prefixes.
bool EqualIgnoringAsciiCase(const char16_t* a, const char16_t* b) {
  while (*a != 0 && FoldAsciiCase(*a) == FoldAsciiCase(*b)) {
    ++a;
    ++b;
  }
  return FoldAsciiCase(*a) == FoldAsciiCase(*b);
}

}  // namespace

std::span<const CharsetRecord> CharsetCatalogue() { return {kCatalogue, kRecordCount}; }

bool ResolveCharsetName(CharsetCode* code, const char16_t** name) {
  // A missing name is simply not a name; failing keeps the contract of touching nothing.
  if (code == nullptr || name == nullptr || *name == nullptr) return false;
  for (const UnicodeSpelling& form : kUnicodeSpellings) {
    if (EqualIgnoringAsciiCase(*name, form.spelling)) {
      *code = form.code;
      *name = form.canonical;
      return true;
    }
  }
  for (const CharsetRecord* record = kCatalogue; record->name[0] != 0; ++record) {
    if (EqualIgnoringAsciiCase(*name, record->name)) {
      *code = record->code;
      *name = record->name;  // the alias as stored, not its primary's name
      return true;
    }
  }
  return false;
}

const CharsetRecord* PrimaryRecordFromCode(CharsetCode code) {
  // The primary precedes its aliases, so the first record with the code is the primary.
  for (const CharsetRecord* record = kCatalogue; record->name[0] != 0; ++record) {
    if (record->code == code) return record;
  }
  return nullptr;
}

const char16_t* CharsetNameFromCode(CharsetCode code) {
  switch (code) {
    case kCharsetUtf8: return kUtf8Name;
    case kCharsetUtf16: return kUtf16Name;
    case kCharsetUtf16Be: return kUtf16BeName;
    default: break;
  }
  const CharsetRecord* record = PrimaryRecordFromCode(code);
  return record != nullptr ? record->name : nullptr;
}

}  // namespace glyphshift
