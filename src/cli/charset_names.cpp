#include "cli/charset_names.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "cli/nearest_names.h"
#include "engine/ascii_case.h"
#include "engine/charset_catalogue.h"
#include "messages/catalogue.h"

namespace glyphshift {
namespace {

// A name and the set it resolves to.
struct NamedSet {
  std::u16string_view name;
  CharsetCode code;
};

struct UnicodeForm {
  std::u16string_view name;  // as the usage text writes it
  std::u16string_view description;
  CharsetCode code;
};
constexpr UnicodeForm kUnicodeForms[] = {
    {u"UTF-8", msg::kUtf8Description, kCharsetUtf8},
    {u"UTF-16", msg::kUtf16Description, kCharsetUtf16},
    {u"UTF-16BE", msg::kUtf16BeDescription, kCharsetUtf16Be},
};
// The other spellings the resolution takes for each.
constexpr NamedSet kUnicodeSpellings[] = {
    {u"utf 8", kCharsetUtf8},  {u"utf8", kCharsetUtf8},        {u"utf 16", kCharsetUtf16},
    {u"utf16", kCharsetUtf16}, {u"utf 16be", kCharsetUtf16Be}, {u"utf16be", kCharsetUtf16Be},
};
// Names other programs give our forms. No name of ours, but a suggestion must not lead astray:
// by spelling alone "utf-16le" is nearest to "utf-16be", the other byte order.
constexpr NamedSet kForeignSpellings[] = {
    {u"utf-16le", kCharsetUtf16}, {u"utf16le", kCharsetUtf16},   {u"ucs-2", kCharsetUtf16},
    {u"ucs-2le", kCharsetUtf16},  {u"ucs-2be", kCharsetUtf16Be},
};

// The name a suggestion shows for a set: its form's name for a foreign spelling.
std::u16string_view UnicodeFormName(CharsetCode code) {
  for (const UnicodeForm& form : kUnicodeForms) {
    if (form.code == code) return form.name;
  }
  return {};
}

// Every name the resolution knows, with the set it gives: "CP874" is listed under both
// Windows-874 and DOS-874 but gives Windows-874, so it is only that one's name.
std::vector<NamedSet> EveryName() {
  std::vector<NamedSet> names;
  for (const UnicodeForm& form : kUnicodeForms) names.push_back({form.name, form.code});
  for (const NamedSet& spelling : kUnicodeSpellings) names.push_back(spelling);
  for (const CharsetRecord& record : CharsetCatalogue()) {
    CharsetCode code = 0;
    const char16_t* name = record.name;
    if (ResolveCharsetName(&code, &name) && code == record.code) names.push_back({record.name, record.code});
  }
  return names;
}

std::u16string JoinNames(const std::vector<std::u16string_view>& names, std::u16string_view separator,
                         std::u16string_view last) {
  std::u16string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) text += i + 1 == names.size() ? last : separator;
    text += names[i];
  }
  return text;
}

void AddListLine(std::u16string& text, std::u16string_view name, std::u16string_view description, CharsetCode code,
                 const std::vector<NamedSet>& names) {
  std::vector<std::u16string_view> others;
  for (const NamedSet& other : names) {
    if (other.code == code && !EqualsIgnoringAsciiCase(other.name, name)) others.push_back(other.name);
  }
  text += Format(msg::kCharsetListLine, name, description, JoinNames(others, msg::kNameSeparator, msg::kNameSeparator));
}

}  // namespace

std::u16string ListedCharsetNames() {
  std::u16string list;
  for (const CharsetRecord& record : CharsetCatalogue()) {
    if (record.listed == 0) continue;
    list += record.name;
    list += u", ";
  }
  return list;
}

std::u16string CharsetListing() {
  const std::vector<NamedSet> names = EveryName();
  std::u16string text;
  for (const CharsetRecord& record : CharsetCatalogue()) {
    if (record.listed != 0) AddListLine(text, record.name, record.description, record.code, names);
  }
  for (const UnicodeForm& form : kUnicodeForms) AddListLine(text, form.name, form.description, form.code, names);
  return text;
}

std::u16string CharsetSuggestion(std::u16string_view unknown) {
  // The nearest spelling of each set, then the sets whose spelling is nearest of all.
  struct Candidate {
    std::u16string_view name;
    CharsetCode code;
    std::size_t distance;
  };
  std::vector<Candidate> nearest;
  auto consider = [&](std::u16string_view name, std::u16string_view shown, CharsetCode code) {
    const std::size_t distance = TypingDistance(unknown, name);
    if (!IsNearEnough(distance, name.size())) return;
    const auto same = std::find_if(nearest.begin(), nearest.end(), [&](const Candidate& c) { return c.code == code; });
    if (same == nearest.end()) {
      nearest.push_back({shown, code, distance});
    } else if (distance < same->distance) {
      *same = {shown, code, distance};
    }
  };
  for (const NamedSet& named : EveryName()) consider(named.name, named.name, named.code);
  for (const NamedSet& foreign : kForeignSpellings) consider(foreign.name, UnicodeFormName(foreign.code), foreign.code);
  if (nearest.empty()) return Format(msg::kNoNearCharset);
  std::size_t best = std::numeric_limits<std::size_t>::max();
  for (const Candidate& c : nearest) best = std::min(best, c.distance);
  // Three names at most: more would be a list, which --list is.
  constexpr std::size_t kMostNames = 3;
  std::vector<std::u16string> quoted;
  for (const Candidate& c : nearest) {
    if (c.distance == best && quoted.size() < kMostNames) quoted.push_back(Format(msg::kQuotedName, c.name));
  }
  return Format(msg::kNearestCharsets,
                JoinNames({quoted.begin(), quoted.end()}, msg::kNameSeparator, msg::kLastNameSeparator));
}

}  // namespace glyphshift
