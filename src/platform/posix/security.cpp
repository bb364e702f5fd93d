// Until the ACL and capability mapping lands, security carry-over reports "not supported".
#include "platform/security.h"

#include <cerrno>

namespace glyphshift::platform {

SysError ReadFileSecurity(const std::u16string&, std::unique_ptr<FileSecurity>& security) {
  security.reset();
  return {ENOTSUP, "acl_get_file"};
}
SysError ApplyFileAccessList(const std::u16string&, const FileSecurity&) { return {ENOTSUP, "acl_set_file"}; }
SysError ApplyFileOwner(const std::u16string&, const FileSecurity&) { return {ENOTSUP, "chown"}; }

}  // namespace glyphshift::platform
