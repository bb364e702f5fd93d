// Raising the process's rights for the ownership features.
#pragma once

namespace glyphshift {

// Tries to gain the four rights the ownership features need, then lists every right of the
// process with its state on standard error. Never fails towards the caller.
void EnableSecurityPrivileges();

}  // namespace glyphshift
