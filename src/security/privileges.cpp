// EnableSecurityPrivileges: raise the ownership rights, then list every right with its state.
#include "security/privileges.h"

#include <new>
#include <vector>

#include "messages/print_message.h"
#include "platform/security.h"

namespace glyphshift {
namespace {

// The first row whose condition holds decides, so a right that was on at start and is marked
// removed still reads as enabled or disabled by default.
CheckedFormat<std::u16string> PrivilegeLineFormat(const platform::ProcessRight& right) {
  if (right.enabledByDefault && right.enabled) return u"Privileges: %s = ENABLED (DEFAULT ENABLED)\n";
  if (right.enabledByDefault) return u"Privileges: %s = DISABLED (DEFAULT ENABLED)\n";
  if (right.enabled) return u"Privileges: %s = ENABLED\n";
  if (right.removed) return u"Privileges: %s = REMOVED\n";
  return u"Privileges: %s = DISABLED\n";
}

}  // namespace

void EnableSecurityPrivileges() {
  platform::SecurityServices& security = platform::Security();
  if (const platform::SysError error = security.EnableOwnershipRights()) {
    PrintDiagnostic(u"AdjustTokenPrivileges failed with error code %d\n", static_cast<std::int32_t>(error.code));
  }
  try {
    std::vector<platform::ProcessRight> rights;
    if (const platform::SysError error = security.ListProcessRights(rights)) {
      PrintDiagnostic(u"GetTokenInformation: Failed with error code %d\n", static_cast<std::int32_t>(error.code));
      return;
    }
    for (const platform::ProcessRight& right : rights) PrintDiagnostic(PrivilegeLineFormat(right), right.name);
  } catch (const std::bad_alloc&) {
    // The rights are raised already; only the listing is lost.
  }
}

}  // namespace glyphshift
