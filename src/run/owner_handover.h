// Owner-from-prefix for the files a run converts: each converted file whose name begins with a
// prefix of the translation table loses the prefix and goes to the prefix's account.
#pragma once

#include <memory>

#include "convert/process_file.h"
#include "security/user_translation_table.h"
#include "settings/run_settings.h"

namespace glyphshift {

class COwnerHandOver {
 public:
  explicit COwnerHandOver(const RunSettings& settings) : settings_(settings) {}

  // Loads the table, once, before anything is converted. False, after a line, when the table
  // must not be used: another account owns it or may change it, or it is named through a link
  // the run may not follow. The run then ends without converting anything.
  [[nodiscard]] bool LoadTable();
  // Raises the process's rights, once. A walk does it before its first file; a single file
  // when it has been converted.
  void Prepare();
  // Hands a converted file over, through its open handle, when the run asks for it.
  void Apply(const FileLocation& destination, const WrittenFile& written);

 private:
  const RunSettings& settings_;
  bool prepared_ = false;
  std::unique_ptr<CUserTranslationTable> table_;
};

}  // namespace glyphshift
