// File ownership and access lists, accounts and process rights.
// On Linux: owner = uid and gid; access list = the POSIX access ACL (permission bits where the
// file system has none); rights = capabilities.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/sys_error.h"

namespace glyphshift::platform {

// A file's owner and access list, read as one opaque value.
class FileSecurity {
 public:
  virtual ~FileSecurity() = default;
};

// Everything goes through open files, never through names: a name another user swaps for a
// link between two steps cannot redirect a change of owner or access list.
SysError ReadFileSecurity(const FileRef& file, std::unique_ptr<FileSecurity>& security);
// Applies the access list of `security` to `file`.
SysError ApplyFileAccessList(const FileRef& file, const FileSecurity& security);
// Applies the owner of `security` to `file`.
SysError ApplyFileOwner(const FileRef& file, const FileSecurity& security);

// Whether `file` lets some account read or write it that `than` does not let do the same: its
// owner (who may change its mode: counted as reading and writing), owning group, others and
// access-list entries, each against what `than` grants that account (root, which may do
// anything anyway, does not count). Read through the open files.
SysError GrantsMoreThan(const FileRef& file, const FileRef& than, bool& more);

// Whether an account other than the process's user may change the open file: it belongs to
// another account (root, which may change anything anyway, aside), or its group, others or an
// access-list entry for another account may write it.
SysError OthersMayChange(const FileRef& file, bool& others);

// What an account or SID stands for. The numbers are the Windows SID_NAME_USE values, which the
// ownership diagnostics print as texts.
enum class SidKind : std::int32_t {
  User = 1,
  Group = 2,
  Domain = 3,
  Alias = 4,
  WellKnownGroup = 5,
  DeletedAccount = 6,
  Invalid = 7,
  Unknown = 8,
  Computer = 9,
};

// A security identifier in the Windows binary layout: revision 1, the number of sub-authorities,
// a 48-bit authority (big endian), then the sub-authorities (32-bit, little endian).
// On Linux: users S-1-22-1-<uid>, groups S-1-22-2-<gid>, "other" S-1-1-0.
struct Sid {
  std::vector<std::uint8_t> bytes;
  bool operator==(const Sid&) const = default;
};

// The SIDs of Linux accounts, and of everyone.
Sid UserSid(std::uint32_t uid);
Sid GroupSid(std::uint32_t gid);
Sid EveryoneSid();

// The text form "S-1-<authority>-<sub>-...". EINVAL for bytes that are no well-formed SID.
SysError SidToText(const Sid& sid, std::u16string& text);

// Access entry types and the rights one POSIX permission grants.
inline constexpr std::uint8_t kAccessAllowedType = 0;
inline constexpr std::uint8_t kAccessDeniedType = 1;
inline constexpr std::uint32_t kAccessRead = 0x120089;
inline constexpr std::uint32_t kAccessWrite = 0x120116;
inline constexpr std::uint32_t kAccessExecute = 0x1200A0;
inline constexpr std::uint32_t kAccessFull = 0x1F01FF;  // r, w and x together

// The rights a permission triple (4 = r, 2 = w, 1 = x) grants: the OR of its parts, or full
// control for all three: how the Linux side shows permission bits as Windows rights.
std::uint32_t AccessMaskForPermissions(unsigned permissions);

struct AccessEntry {
  std::uint8_t type = kAccessAllowedType;
  std::uint8_t flags = 0;
  std::uint32_t mask = 0;
  Sid sid;
};

struct AccessList {
  std::vector<AccessEntry> entries;
  // The size its header gives, where the list was read in its Windows form; 0 otherwise.
  std::uint32_t headerSize = 0;
  // Bytes of the list in its Windows form: the header's size, or else counted: an 8-byte
  // header, then per entry a 4-byte header, the 4-byte mask and the SID.
  std::uint32_t SizeInBytes() const;
};

// Sizes an account look-up needs, learned by a size query.
struct AccountSizes {
  std::uint32_t sidBytes = 0;
  std::uint32_t domainChars = 0;  // with the terminator, as Windows counts
};

// A one-entry access list ready to be written: the account alone, with full access.
struct SingleEntryAccessList {
  Sid account;
  std::vector<std::uint8_t> nativeList;  // Windows: the ACL SetEntriesInAclW built
};

// A right of the process (a capability on Linux) and its state.
struct ProcessRight {
  std::u16string name;
  bool enabled = false;           // effective now
  bool enabledByDefault = false;  // effective when the process started
  bool removed = false;           // gone for good (no Linux capability reports this)
};

// The account and rights services of the ownership features, behind one interface so that tests
// can inject what a real system will not do on demand (an account that vanishes between two
// look-ups, a list that cannot be built).
class SecurityServices {
 public:
  virtual ~SecurityServices() = default;

  // The size query of an account look-up. A "DOMAIN\name" form is looked up as name; users come
  // before groups. ENOENT when no account has the name.
  virtual SysError QueryAccountSizes(std::u16string_view accountName, AccountSizes& sizes) = 0;
  virtual SysError LookupAccountName(std::u16string_view accountName, Sid& sid, std::u16string& domain,
                                     SidKind& kind) = 0;
  // Name, domain and kind of a SID; ENOENT for a SID no account has (the outputs are then empty).
  virtual SysError LookupAccountSid(const Sid& sid, std::u16string& name, std::u16string& domain, SidKind& kind) = 0;

  // The file's access list as allowed entries, in the file's order.
  virtual SysError ReadAccessList(const FileRef& file, AccessList& list) = 0;
  // EINVAL for a SID that stands for no user or group.
  virtual SysError BuildSingleEntryAccessList(const Sid& account, SingleEntryAccessList& list) = 0;
  // Makes the account the only one with access. On Linux a user becomes the owner and the list
  // grants the owner alone rwx (mode 0700); a group becomes the file's group, alone with rwx.
  virtual SysError WriteAccessList(const FileRef& file, const SingleEntryAccessList& list) = 0;
  // A user SID sets the owning user, a group SID the owning group.
  virtual SysError SetOwner(const FileRef& file, const Sid& owner) = 0;

  // Raises the rights the ownership features need, where the process holds them.
  virtual SysError EnableOwnershipRights() = 0;
  // Every right the process holds, in the system's order.
  virtual SysError ListProcessRights(std::vector<ProcessRight>& rights) = 0;
};

// The process-wide implementation.
SecurityServices& Security();

// Tests install a double of the interface; returns the previous one. Pass null to restore.
SecurityServices* SetSecurityForTesting(SecurityServices* security);

}  // namespace glyphshift::platform
