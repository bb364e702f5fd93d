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

  // Raises the process's rights and loads the table, once. A walk does it before its first file;
  // a single file when it has been converted.
  void Prepare();
  // Hands a converted file over, through its open handle, when the run asks for it.
  void Apply(const FileLocation& destination, const WrittenFile& written);

 private:
  const RunSettings& settings_;
  std::unique_ptr<CUserTranslationTable> table_;
};

}  // namespace glyphshift
