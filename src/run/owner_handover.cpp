#include "run/owner_handover.h"

#include "security/privileges.h"

namespace glyphshift {

void COwnerHandOver::Prepare() {
  if (table_) return;
  EnableSecurityPrivileges();
  table_ = std::make_unique<CUserTranslationTable>(settings_.userTranslationTablePath, nullptr);
}

void COwnerHandOver::Apply(const FileLocation& destination, const WrittenFile& written) {
  if (!settings_.ownerFromPrefix) return;
  Prepare();
  std::u16string path = destination.path;
  COwnerTarget target{destination.directory, destination.name, written.handle.Get(), written.id};
  table_->path = &path;
  table_->target = &target;
  table_->ApplyOwnerFromPrefix(true);
  table_->path = nullptr;
  table_->target = nullptr;
}

}  // namespace glyphshift
