// What the main dialog does, free of any toolkit: the contents of its lists, the filter list of
// its file choosers, the destination proposal, the selection of a detected character set, the
// rule that enables Convert, and the settings Convert hands to the run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/run_settings.h"

namespace glyphshift::ui {

// The 62 entries shared by both character-set lists: every listed catalogue record as
// "name (description)" in catalogue order, then the three Unicode forms.
std::vector<std::u16string> CharsetListEntries();

// The line-break list; the first entry, selected at start, leaves line breaks unchanged.
inline constexpr std::array<std::u16string_view, 4> kLineBreakEntries = {u"Do not change", u"DOS", u"UNIX", u"MAC"};

// The name part of a list entry: the text up to one character before its first "(" (which
// removes the blank in front of it), or the whole text when it has none.
std::u16string_view EntryNamePart(std::u16string_view entry);

// The index of the first entry whose name part equals `name` (ASCII case ignored). Absent when
// `name` is null or no entry matches: the list's selection then stays as it was.
std::optional<std::size_t> SelectCharsetEntry(std::span<const std::u16string> entries, const char16_t* name);

// The destination proposed for a chosen source: ".2" before the extension
// ("/texts/letter.txt" -> "/texts/letter.2.txt", "/texts/README" -> "/texts/README.2").
std::u16string ProposeDestination(std::u16string_view sourcePath);

// The default extension of the destination chooser: the extension of `outputPath` without its dot.
std::u16string DefaultExtension(std::u16string_view outputPath);

// One filter of the file choosers: a description and its ";"-separated patterns.
struct FileFilter {
  std::u16string description;
  std::u16string pattern;
  bool operator==(const FileFilter&) const = default;
};

inline constexpr std::u16string_view kDefaultFilterPair = u"All files|*.*|";
// The filter list holds at most this many characters with its terminator, as the file dialogs
// received it; a longer "filters.txt" is cut after the last whole description/pattern pair
// that fits, so the default pair always stays a pair.
inline constexpr std::size_t kFilterListCapacity = 1024;

// Decodes the bytes of "filters.txt": detected UTF-16 is taken as it stands, UTF-16BE swapped,
// UTF-8 decoded, anything else read as Windows-1252. A byte order mark stays in the text.
// Absent when the memory for the text cannot be had.
std::optional<std::u16string> DecodeFilterText(std::span<const std::uint8_t> bytes);

// Reads "filters.txt" from the current directory and decodes it; absent when it cannot be read.
std::optional<std::u16string> LoadFilterText();

// The filters offered by the file choosers, built from the decoded file text (absent: no file):
// line breaks unified, text after a U+0000 dropped, the default pair appended, items split on
// "|" and line breaks, the list ending at the first empty item. A description left without a
// pattern is dropped.
std::vector<FileFilter> BuildFilterList(const std::optional<std::u16string>& fileText);

// What the dialog's controls hold.
struct DialogChoices {
  std::u16string sourcePath;       // edit 1002
  std::u16string destinationPath;  // edit 1005
  int sourceEntry = -1;            // selection of list 1001, -1 for none
  int destinationEntry = -1;       // selection of list 1004
  int lineBreakEntry = 0;          // selection of list 1007
  bool noBom = false;              // check box 1008
  bool modifyXml = false;          // check box 1010
  bool modifyHtml = false;         // check box 1011
};

// Convert is enabled when both paths hold text and both character-set lists have a selection.
// (Requiring the source set too keeps an undefined source name from reaching the run.)
bool IsConvertEnabled(const DialogChoices& choices);

// What Convert writes into the run's settings: both paths, the name parts of both selected
// sets, the line-break name for any entry after the first, and the three check boxes (an
// unchecked box leaves its setting alone).
void FillRunSettings(const DialogChoices& choices, std::span<const std::u16string> charsetEntries,
                     RunSettings& options);

}  // namespace glyphshift::ui
