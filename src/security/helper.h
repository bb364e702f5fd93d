// Handing one file to one account.
#pragma once

#include <string>

#include "platform/security.h"

namespace glyphshift {

// Replaces the file's access list by one entry that gives `ownerSid` full access, then makes
// `ownerSid` the owner. Every step is tried; each failure is reported on standard error with
// this function's source location. True when all steps succeeded.
// The file is changed through its open handle.
bool TakeOwnerShip(const platform::FileRef& file, const platform::Sid& ownerSid);

}  // namespace glyphshift
