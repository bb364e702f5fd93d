// Prefix-to-account table of the owner-from-prefix feature.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace glyphshift {

// The converted file owner-from-prefix works on: renamed within its directory and changed
// through its open handle, so a name another user swaps meanwhile redirects nothing.
struct COwnerTarget {
  const platform::CDirectory* directory = nullptr;
  std::u16string name;
  platform::CHandle::Native handle = platform::CHandle::kInvalid;
  platform::FileId id;
};

class CUserTranslationTable {
 public:
  // An empty table, to be loaded by LoadTrustedTable.
  CUserTranslationTable() = default;
  // Loads the table file at once; a file that cannot be read gives an empty table.
  // `path` (may be null) is the caller's buffer holding the path of the file to work on.
  CUserTranslationTable(const std::u16string& tableFileName, std::u16string* path);

  // Reads UTF-8, or UTF-16 little or big endian after its byte order mark; any line breaks;
  // fields end at TAB, ';' and ','; the first field is the prefix, the last the account; the
  // first line with an empty first field ends the table. Always returns true.
  bool LoadTable(const std::u16string& tableFileName);
  // The table as a run hands files over by it: read only when the process's user (or root)
  // owns the file and no other account may change it, since the table names who gets each
  // file. kErrorNotTrusted otherwise, and kErrorUnsafeLink for a table named through a link the
  // run may not follow; the table then stays empty. A table that cannot be read gives an empty
  // table, as LoadTable does.
  platform::SysError LoadTrustedTable(const std::u16string& tableFileName);
  // The same for the bytes of a table file; throws std::bad_alloc when memory runs out.
  void LoadTableBytes(std::span<const std::uint8_t> bytes);

  // Renames the file of `target` to its name without the first matching prefix (when `rename`;
  // never over an existing file, which the file then keeps its name for, saying so), dumps its
  // access list to standard error and hands it to the prefix's account. *path and the target
  // then hold the new name. Does nothing without a path and a target. Always returns true.
  bool ApplyOwnerFromPrefix(bool rename);

  // Lines of a text with LF line breaks, up to its first U+0000: the LFs, plus one when
  // characters follow the last LF.
  static std::uint32_t CountTableLines(std::u16string_view text);

  // True when `baseName` begins with `prefix` (ASCII letters compared without case, nothing
  // else folded) and the prefix is followed by the end of the name or one of "-_.#,;".
  static bool PrefixMatches(std::u16string_view baseName, std::u16string_view prefix);

  // Prints the names of the rights set in `mask`, then its low 16 bits as "%04x" and a line break.
  static void PrintAccessMask(std::uint32_t mask);

  // The text printed for a kind of account (a Windows SID_NAME_USE value); "Unbekannt" when unknown.
  static std::u16string_view SidTypeName(std::int32_t sidNameUse);

  std::u16string* path = nullptr;
  COwnerTarget* target = nullptr;
  std::vector<std::u16string> prefixes;
  std::vector<std::u16string> accounts;
  std::uint32_t count = 0;

 private:
  void ParseTable(std::u16string_view text);
};

}  // namespace glyphshift
