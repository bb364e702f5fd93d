#include "run/statistical_detector.h"

namespace glyphshift {

namespace {

// Sets the catalogue holds under another name than the detector's.
struct Spelling {
  std::string_view detector;
  std::u16string_view catalogue;
};
constexpr Spelling kCatalogueSpellings[] = {
    // Apple's Central European set; the catalogue's Microsoft form (MSMAC-LATIN2) is the same table.
    {"MAC-CENTRALEUROPE", u"Apple-CENTEURO"},
    // Microsoft's form of the Macintosh Cyrillic set: the same letters, and ¢ ∂ ¤ where Apple's
    // later revision has Ґ ґ €.
    {"MAC-CYRILLIC", u"MSMAC-CYRILLIC"},
    // The catalogue's ISO-8859-11 leaves 0xA0 undefined, which makes it TIS-620 exactly.
    {"TIS-620", u"ISO-8859-11"},
    // The lower half of ISO-8859-1; the detector says so only for text without a high byte.
    {"ASCII", u"ISO-8859-1"},
};

std::optional<CharsetCode> Resolve(std::u16string_view name) {
  const std::u16string text(name);
  CharsetCode code = 0;
  const char16_t* spelling = text.c_str();
  if (!ResolveCharsetName(&code, &spelling)) return std::nullopt;
  return code;
}

}  // namespace

std::optional<CharsetCode> CatalogueCodeOfDetectorName(std::string_view name) {
  if (name.empty()) return std::nullopt;
  for (const Spelling& s : kCatalogueSpellings) {
    if (name == s.detector) return Resolve(s.catalogue);
  }
  // The detector's names are ASCII; widening each byte is enough.
  std::u16string wide;
  for (const char c : name) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  // IBM's numbers are the DOS code pages: IBM866 is the catalogue's CP866.
  if (name.starts_with("IBM")) wide = u"CP" + wide.substr(3);
  return Resolve(wide);
}

}  // namespace glyphshift
