// File ownership and access lists, accounts and process rights.
// On Linux: owner = uid and gid; access list = the POSIX access ACL (permission bits where the
// file system has none); rights = capabilities.
#pragma once

#include <memory>
#include <string>

#include "platform/sys_error.h"

namespace glyphshift::platform {

// A file's owner and access list, read as one opaque value.
class FileSecurity {
 public:
  virtual ~FileSecurity() = default;
};

SysError ReadFileSecurity(const std::u16string& path, std::unique_ptr<FileSecurity>& security);
// Applies the access list of `security` to `path`.
SysError ApplyFileAccessList(const std::u16string& path, const FileSecurity& security);
// Applies the owner of `security` to `path`.
SysError ApplyFileOwner(const std::u16string& path, const FileSecurity& security);

}  // namespace glyphshift::platform
