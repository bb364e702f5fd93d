// Prefix-to-account table of the owner-from-prefix feature.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glyphshift {

class CUserTranslationTable {
 public:
  // Loads the table file at once; a file that cannot be read gives an empty table.
  // `path` (may be null) is the caller's buffer holding the path of the file to work on.
  CUserTranslationTable(const std::u16string& tableFileName, std::u16string* path);

  bool LoadTable(const std::u16string& tableFileName);

  // Moves the file at *path to its name without the first matching prefix (when `rename`),
  // dumps its access list to standard error and hands it to the prefix's account.
  // *path then holds the new path. Always returns true.
  bool ApplyOwnerFromPrefix(bool rename);

  std::u16string* path = nullptr;
  std::vector<std::u16string> prefixes;
  std::vector<std::u16string> accounts;
  std::uint32_t count = 0;
};

}  // namespace glyphshift
