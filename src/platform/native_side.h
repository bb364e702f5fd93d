// What each side of the platform (posix/, win32/) gives the shared code of this folder, and
// nothing else includes.
#pragma once

#include <string>

#include "platform/files.h"

namespace glyphshift::platform {

// The system's own text for a system error code, ending with a line break; empty when it has none.
std::u16string SystemErrorText(int code);

// The process-wide implementation of the file system interface for this platform.
FileSystem& NativeFiles();

}  // namespace glyphshift::platform
