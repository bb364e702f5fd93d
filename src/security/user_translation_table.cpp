// Replaced by the table loader and owner-from-prefix.
#include "security/user_translation_table.h"
namespace glyphshift {
CUserTranslationTable::CUserTranslationTable(const std::u16string& tableFileName, std::u16string* p) : path(p) {
  LoadTable(tableFileName);
}
bool CUserTranslationTable::LoadTable(const std::u16string&) { return true; }
bool CUserTranslationTable::ApplyOwnerFromPrefix(bool) { return true; }
}  // namespace glyphshift
