#include "ui/main_dialog_logic.h"

#include "engine/ascii_case.h"

#include <cstring>
#include <new>

#include "engine/charset_catalogue.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "platform/path_names.h"

namespace glyphshift::ui {

std::vector<std::u16string> CharsetListEntries() {
  std::vector<std::u16string> entries;
  for (const CharsetRecord& record : CharsetCatalogue()) {
    if (record.listed == 0) continue;
    std::u16string entry = record.name;
    if (record.description[0] != u'\0') {
      entry += u" (";
      entry += record.description;
      entry += u')';
    }
    entries.push_back(std::move(entry));
  }
  entries.emplace_back(u"UTF-8 (Unicode Transformation 8 Bits)");
  entries.emplace_back(u"UTF-16 (Unicode Transformation 16 Bits)");
  entries.emplace_back(u"UTF-16BE (Unicode Transformation 16 Bits, Big Endian)");
  return entries;
}

std::u16string_view EntryNamePart(std::u16string_view entry) {
  const std::size_t paren = entry.find(u'(');
  if (paren == std::u16string_view::npos) return entry;
  return entry.substr(0, paren == 0 ? 0 : paren - 1);
}

namespace {}  // namespace

std::optional<std::size_t> SelectCharsetEntry(std::span<const std::u16string> entries, const char16_t* name) {
  if (name == nullptr) return std::nullopt;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (EqualsIgnoringAsciiCase(EntryNamePart(entries[i]), name)) return i;
  }
  return std::nullopt;
}

std::u16string ProposeDestination(std::u16string_view sourcePath) {
  const std::u16string_view extension = platform::ExtensionOf(sourcePath);
  std::u16string proposal(sourcePath.substr(0, sourcePath.size() - extension.size()));
  proposal += u".2";
  proposal += extension;
  return proposal;
}

std::u16string DefaultExtension(std::u16string_view outputPath) {
  const std::u16string_view extension = platform::ExtensionOf(outputPath);
  return std::u16string(extension.empty() ? extension : extension.substr(1));
}

std::optional<std::u16string> DecodeFilterText(std::span<const std::uint8_t> bytes) try {
  const auto length = static_cast<std::uint32_t>(bytes.size());
  std::u16string text;
  switch (engine::DetectCharset(bytes.data(), length)) {
    case kCharsetUtf16:
    case kCharsetUtf16Be: {
      text.resize(bytes.size() / 2);
      if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * 2);
      if (engine::DetectCharset(bytes.data(), length) == kCharsetUtf16Be) {
        engine::SwapByteOrder(text.data(), static_cast<std::uint32_t>(text.size() * 2));
      }
      break;
    }
    case kCharsetUtf8: {
      // No UTF-8 byte yields more than one unit (a 4-byte form yields two), so the byte count
      // bounds the output without a size query.
      std::uint32_t size = 0;
      text.resize(bytes.size());
      engine::Utf8ToUtf16(bytes.data(), length, text.data(), &size);
      text.resize(size / 2);
      break;
    }
    default: {
      // Whatever single-byte set was detected, the text is read as Windows-1252.
      std::uint32_t size = 0;
      engine::SingleByteToUtf16(kCharsetWindows1252, bytes.data(), length, nullptr, &size);
      text.resize(size / 2);
      engine::SingleByteToUtf16(kCharsetWindows1252, bytes.data(), length, text.data(), &size);
      break;
    }
  }
  return text;
} catch (const std::bad_alloc&) {
  return std::nullopt;
}

std::optional<std::u16string> LoadFilterText() {
  std::vector<std::uint8_t> bytes;
  try {
    if (platform::ReadWholeFile(u"filters.txt", bytes)) return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return DecodeFilterText(bytes);
}

namespace {
bool IsItemSeparator(char16_t c) { return c == u'|' || c == u'\n'; }

// The longest prefix of `text` of at most `room` characters that ends after a whole
// description/pattern pair (an even number of items).
std::u16string_view CutAfterWholePairs(std::u16string_view text, std::size_t room) {
  if (text.size() <= room) return text;
  std::size_t cut = 0;
  std::size_t items = 0;
  for (std::size_t i = 0; i < room; ++i) {
    if (!IsItemSeparator(text[i])) continue;
    if (++items % 2 == 0) cut = i + 1;
  }
  return text.substr(0, cut);
}
}  // namespace

std::vector<FileFilter> BuildFilterList(const std::optional<std::u16string>& fileText) {
  std::u16string list;
  if (fileText) {
    std::u16string unified = engine::WithUnixLineBreaks(*fileText);
    unified.resize(std::min(unified.size(), unified.find(u'\0')));
    const std::size_t room = kFilterListCapacity - 1 - kDefaultFilterPair.size();
    list = CutAfterWholePairs(unified, room);
  }
  list += kDefaultFilterPair;

  std::vector<FileFilter> filters;
  std::vector<std::u16string> items;
  std::size_t start = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!IsItemSeparator(list[i])) continue;
    if (i == start) break;  // an empty item ends the list
    items.emplace_back(list, start, i - start);
    start = i + 1;
  }
  for (std::size_t i = 0; i + 1 < items.size(); i += 2) filters.push_back({items[i], items[i + 1]});
  return filters;
}

bool IsConvertEnabled(const DialogChoices& choices) {
  return !choices.sourcePath.empty() && !choices.destinationPath.empty() && choices.sourceEntry >= 0 &&
         choices.destinationEntry >= 0;
}

void FillRunSettings(const DialogChoices& choices, std::span<const std::u16string> charsetEntries,
                     RunSettings& options) {
  auto nameOf = [&](int entry) -> std::u16string {
    if (entry < 0 || static_cast<std::size_t>(entry) >= charsetEntries.size()) return {};
    return std::u16string(EntryNamePart(charsetEntries[static_cast<std::size_t>(entry)]));
  };
  options.sources = {choices.sourcePath};
  options.outputPath = choices.destinationPath;
  options.sourceCharsetName = nameOf(choices.sourceEntry);
  options.destinationCharsetName = nameOf(choices.destinationEntry);
  if (choices.lineBreakEntry > 0 && static_cast<std::size_t>(choices.lineBreakEntry) < kLineBreakEntries.size()) {
    options.conversion.lineBreakType =
        LineBreakTypeFromName(kLineBreakEntries[static_cast<std::size_t>(choices.lineBreakEntry)]);
  }
  if (choices.noBom) options.conversion.writeBom = false;
  if (choices.modifyXml) options.conversion.modifyXml = true;
  if (choices.modifyHtml) options.conversion.modifyHtml = true;
}

}  // namespace glyphshift::ui
