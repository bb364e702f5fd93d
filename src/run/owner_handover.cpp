#include "run/owner_handover.h"

#include "messages/catalogue.h"
#include "security/privileges.h"

namespace glyphshift {

bool COwnerHandOver::LoadTable() {
  if (table_) return true;
  auto table = std::make_unique<CUserTranslationTable>();
  if (const platform::SysError error = table->LoadTrustedTable(settings_.userTranslationTablePath)) {
    Print(msg::kTableRefused, settings_.userTranslationTablePath, ReasonOf(error));
    return false;
  }
  table_ = std::move(table);
  return true;
}

void COwnerHandOver::Prepare() {
  if (prepared_) return;
  prepared_ = true;
  EnableSecurityPrivileges();
}

void COwnerHandOver::Apply(const FileLocation& destination, const WrittenFile& written) {
  if (!settings_.ownerFromPrefix || !LoadTable()) return;
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
