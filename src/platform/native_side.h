// What each side of the platform (posix/, win32/) gives the shared code of this folder, and
// nothing else includes.
#pragma once

#include <string>

#include <cstddef>

#include "platform/files.h"
#include "platform/security.h"

namespace glyphshift::platform {

// The system's own text for a system error code, ending with a line break; empty when it has none.
std::u16string SystemErrorText(int code);

// The process-wide implementations of the file system and security interfaces.
FileSystem& NativeFiles();
SecurityServices& NativeSecurity();

// A block of at least `bytes` straight from the system, zeroed, `mapped` set to the size to give
// back to ReleaseBlock; null when memory is short.
void* MapBlock(std::size_t bytes, std::size_t& mapped) noexcept;
void ReleaseBlock(void* block, std::size_t mapped) noexcept;

}  // namespace glyphshift::platform
