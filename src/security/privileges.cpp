// Replaced by the capability implementation.
#include "security/privileges.h"
namespace glyphshift {
void EnableSecurityPrivileges() {}
}  // namespace glyphshift
