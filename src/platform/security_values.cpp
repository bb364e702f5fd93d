// The parts of platform/security.h that are the same on every platform: SIDs built from their
// parts, the size of an access list, the rights of a permission triple, the test-double switch.
#include <initializer_list>

#include "platform/security.h"

#include "platform/native_side.h"

namespace glyphshift::platform {
namespace {

// S-1-22: the authority of Unix users (S-1-22-1-<uid>) and groups (S-1-22-2-<gid>).
constexpr std::uint64_t kUnixAuthority = 22;
constexpr std::uint32_t kUnixUserRid = 1;
constexpr std::uint32_t kUnixGroupRid = 2;

Sid MakeSid(std::uint64_t authority, std::initializer_list<std::uint32_t> subAuthorities) {
  Sid sid;
  sid.bytes.reserve(8 + 4 * subAuthorities.size());
  sid.bytes.push_back(1);
  sid.bytes.push_back(static_cast<std::uint8_t>(subAuthorities.size()));
  for (int shift = 40; shift >= 0; shift -= 8) sid.bytes.push_back(static_cast<std::uint8_t>(authority >> shift));
  for (std::uint32_t sub : subAuthorities) {
    for (int shift = 0; shift < 32; shift += 8) sid.bytes.push_back(static_cast<std::uint8_t>(sub >> shift));
  }
  return sid;
}

}  // namespace

Sid UserSid(std::uint32_t uid) { return MakeSid(kUnixAuthority, {kUnixUserRid, uid}); }
Sid GroupSid(std::uint32_t gid) { return MakeSid(kUnixAuthority, {kUnixGroupRid, gid}); }
Sid EveryoneSid() { return MakeSid(1, {0}); }

std::uint32_t AccessMaskForPermissions(unsigned permissions) {
  if ((permissions & 7u) == 7u) return kAccessFull;
  std::uint32_t mask = 0;
  if (permissions & 4u) mask |= kAccessRead;
  if (permissions & 2u) mask |= kAccessWrite;
  if (permissions & 1u) mask |= kAccessExecute;
  return mask;
}

std::uint32_t AccessList::SizeInBytes() const {
  if (headerSize != 0) return headerSize;
  std::size_t size = 8;
  for (const AccessEntry& entry : entries) size += 8 + entry.sid.bytes.size();
  return static_cast<std::uint32_t>(size);
}

namespace {
SecurityServices* gInstalled = nullptr;
}  // namespace

SecurityServices& Security() { return gInstalled ? *gInstalled : NativeSecurity(); }

SecurityServices* SetSecurityForTesting(SecurityServices* security) {
  SecurityServices* previous = gInstalled;
  gInstalled = security;
  return previous;
}

}  // namespace glyphshift::platform
