// EnableSecurityPrivileges: raise the ownership rights, then list every right with its state.
#include "security/privileges.h"

#include <new>
#include <vector>

#include "messages/catalogue.h"
#include "platform/security.h"

namespace glyphshift {
namespace {

// The first row whose condition holds decides, so a right that was on at start and is marked
// removed still reads as enabled or disabled by default.
const Message<msg::Wide>& PrivilegeLine(const platform::ProcessRight& right) {
  if (right.enabledByDefault && right.enabled) return msg::kRightEnabledByDefault;
  if (right.enabledByDefault) return msg::kRightDisabledByDefault;
  if (right.enabled) return msg::kRightEnabled;
  if (right.removed) return msg::kRightRemoved;
  return msg::kRightDisabled;
}

}  // namespace

void EnableSecurityPrivileges() {
  platform::SecurityServices& security = platform::Security();
  if (const platform::SysError error = security.EnableOwnershipRights()) {
    PrintToError(msg::kAdjustRightsFailed, static_cast<std::int32_t>(error.code));
  }
  try {
    std::vector<platform::ProcessRight> rights;
    if (const platform::SysError error = security.ListProcessRights(rights)) {
      PrintToError(msg::kListRightsFailed, static_cast<std::int32_t>(error.code));
      return;
    }
    for (const platform::ProcessRight& right : rights) PrintToError(PrivilegeLine(right), right.name);
  } catch (const std::bad_alloc&) {
    // The rights are raised already; only the listing is lost.
  }
}

}  // namespace glyphshift
