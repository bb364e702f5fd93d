// The user translation table loader over any file bytes: prefixes and accounts pair up, no field
// holds a separator or a line break, no prefix is empty, and every prefix matches a name made of
// itself and a separator.
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "security/user_translation_table.h"

using glyphshift::fuzz::Require;
namespace gs = glyphshift;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 16384) return 0;
  gs::CUserTranslationTable table(u"", nullptr);  // no such file: an empty table to load into
  Require(table.count == 0, "an unreadable file gives an empty table");
  table.LoadTableBytes(std::span<const std::uint8_t>(data, size));

  Require(table.prefixes.size() == table.count && table.accounts.size() == table.count, "one account a prefix");
  for (std::uint32_t i = 0; i < table.count; ++i) {
    const std::u16string& prefix = table.prefixes[i];
    const std::u16string& account = table.accounts[i];
    Require(!prefix.empty(), "an empty first field ends the table");
    for (const std::u16string* field : {&prefix, &account}) {
      Require(field->find_first_of(u"\t;,\r\n") == std::u16string::npos, "fields hold no separator or line break");
      Require(field->find(u'\0') == std::u16string::npos, "fields end at the first U+0000");
    }
    Require(gs::CUserTranslationTable::PrefixMatches(prefix + u"-name", prefix), "a prefix matches itself and a '-'");
    Require(gs::CUserTranslationTable::PrefixMatches(prefix, prefix), "a prefix matches the whole name");
  }
  return 0;
}
