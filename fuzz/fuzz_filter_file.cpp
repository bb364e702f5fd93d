// The dialog's filter-file loader over any file bytes: every filter has a description and a
// pattern without item separators, and the list fits the capacity the file dialogs get.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "ui/main_dialog_logic.h"

using glyphshift::fuzz::Require;
namespace gs = glyphshift::ui;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 16384) return 0;
  const std::optional<std::u16string> text = gs::DecodeFilterText(std::span<const std::uint8_t>(data, size));
  Require(text.has_value(), "decoding has memory");
  const std::vector<gs::FileFilter> filters = gs::BuildFilterList(text);

  std::size_t characters = 1;  // the terminator
  for (const gs::FileFilter& filter : filters) {
    for (const std::u16string* item : {&filter.description, &filter.pattern}) {
      Require(!item->empty(), "an empty item ends the list");
      Require(item->find_first_of(u"|\r\n") == std::u16string::npos, "items hold no separator or line break");
      Require(item->find(u'\0') == std::u16string::npos, "the text ends at its first U+0000");
      characters += item->size() + 1;
    }
  }
  Require(characters <= gs::kFilterListCapacity, "the list fits its capacity");
  return 0;
}
