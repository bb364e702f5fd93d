// Ownership, access lists, accounts and rights on POSIX: uid/gid, the access ACL (libacl) and
// capabilities (libcap), presented in the Windows shapes the ownership features work with.
#include "platform/security.h"

#include <acl/libacl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/capability.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <new>
#include <optional>

#include "platform/native_text.h"
#include "platform/posix/posix_calls.h"

namespace glyphshift::platform {
namespace {

// ---- SIDs ------------------------------------------------------------------------------------

constexpr std::uint64_t kUnixAuthority = 22;  // S-1-22: Unix users (-1-) and groups (-2-)
constexpr std::uint32_t kUnixUserRid = 1;
constexpr std::uint32_t kUnixGroupRid = 2;

struct ParsedSid {
  std::uint64_t authority = 0;
  std::vector<std::uint32_t> subAuthorities;
};

std::optional<ParsedSid> ParseSid(const Sid& sid) {
  const auto& b = sid.bytes;
  if (b.size() < 8 || b[0] != 1 || b.size() != 8u + 4u * b[1]) return std::nullopt;
  ParsedSid parsed;
  for (std::size_t i = 2; i < 8; ++i) parsed.authority = (parsed.authority << 8) | b[i];
  for (std::size_t i = 8; i < b.size(); i += 4) {
    parsed.subAuthorities.push_back(static_cast<std::uint32_t>(b[i]) | static_cast<std::uint32_t>(b[i + 1]) << 8 |
                                    static_cast<std::uint32_t>(b[i + 2]) << 16 |
                                    static_cast<std::uint32_t>(b[i + 3]) << 24);
  }
  return parsed;
}

// The uid or gid a Unix SID stands for.
struct UnixId {
  bool isGroup = false;
  std::uint32_t id = 0;
};

std::optional<UnixId> UnixIdOf(const Sid& sid) {
  const auto parsed = ParseSid(sid);
  if (!parsed || parsed->authority != kUnixAuthority || parsed->subAuthorities.size() != 2) return std::nullopt;
  const std::uint32_t rid = parsed->subAuthorities[0];
  if (rid != kUnixUserRid && rid != kUnixGroupRid) return std::nullopt;
  return UnixId{rid == kUnixGroupRid, parsed->subAuthorities[1]};
}

// ---- accounts --------------------------------------------------------------------------------

// Calls a getpw*_r/getgr*_r style function with a buffer that grows until the entry fits, and
// hands the entry to `use` while the buffer its strings point into is alive.
// Returns the errno-style result: 0 found, ENOENT not found, or the failure.
template <class Entry, class Call, class Use>
int WithAccountEntry(Call call, Use use) {
  std::vector<char> buffer(1024);
  for (;;) {
    Entry entry{};
    Entry* result = nullptr;
    const int rc = call(&entry, buffer.data(), buffer.size(), &result);
    if (rc == ERANGE && buffer.size() < (1u << 24)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0) return rc;
    if (!result) return ENOENT;
    use(entry);
    return 0;
  }
}

int FindUserByName(const std::string& name, uid_t& uid) {
  return WithAccountEntry<passwd>(
      [&](passwd* e, char* b, std::size_t n, passwd** r) { return getpwnam_r(name.c_str(), e, b, n, r); },
      [&](const passwd& e) { uid = e.pw_uid; });
}

int FindGroupByName(const std::string& name, gid_t& gid) {
  return WithAccountEntry<group>(
      [&](group* e, char* b, std::size_t n, group** r) { return getgrnam_r(name.c_str(), e, b, n, r); },
      [&](const group& e) { gid = e.gr_gid; });
}

int UserNameOf(uid_t uid, std::string& name) {
  return WithAccountEntry<passwd>(
      [&](passwd* e, char* b, std::size_t n, passwd** r) { return getpwuid_r(uid, e, b, n, r); },
      [&](const passwd& e) { name = e.pw_name; });
}

int GroupNameOf(gid_t gid, std::string& name) {
  return WithAccountEntry<group>(
      [&](group* e, char* b, std::size_t n, group** r) { return getgrgid_r(gid, e, b, n, r); },
      [&](const group& e) { name = e.gr_name; });
}

// Local accounts belong to the machine, as Windows' local accounts belong to the computer's domain.
std::u16string MachineName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return FromNative(name);
}

// Users first, then groups; "DOMAIN\name" is looked up as name.
int ResolveAccount(std::u16string_view accountName, Sid& sid, SidKind& kind) {
  if (const auto slash = accountName.find(u'\\'); slash != std::u16string_view::npos) {
    accountName.remove_prefix(slash + 1);
  }
  if (accountName.empty()) return ENOENT;
  const std::string native = ToNative(accountName);
  uid_t uid = 0;
  int rc = FindUserByName(native, uid);
  if (rc == 0) {
    sid = UserSid(uid);
    kind = SidKind::User;
    return 0;
  }
  if (rc != ENOENT) return rc;
  gid_t gid = 0;
  rc = FindGroupByName(native, gid);
  if (rc == 0) {
    sid = GroupSid(gid);
    kind = SidKind::Group;
  }
  return rc;
}

// ---- access lists ----------------------------------------------------------------------------

struct AclDeleter {
  void operator()(void* acl) const { acl_free(acl); }
};
using AclPtr = std::unique_ptr<std::remove_pointer_t<acl_t>, AclDeleter>;

bool IsUnsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

int Fd(const FileRef& file) { return static_cast<int>(file.handle); }

// The access ACL, or the permission bits as one where the file system has no ACLs.
SysError GetAccessAcl(int fd, const struct stat& st, AclPtr& acl) {
  acl.reset(acl_get_fd(fd));
  if (!acl && IsUnsupported(errno)) acl.reset(acl_from_mode(st.st_mode));
  if (!acl) return {errno, "acl_get_fd"};
  return {};
}

unsigned PermissionsOf(acl_entry_t entry) {
  acl_permset_t set = nullptr;
  if (acl_get_permset(entry, &set) != 0) return 0;
  return (acl_get_perm(set, ACL_READ) == 1 ? 4u : 0u) | (acl_get_perm(set, ACL_WRITE) == 1 ? 2u : 0u) |
         (acl_get_perm(set, ACL_EXECUTE) == 1 ? 1u : 0u);
}

// Sets the ACL; where the file system has none, a list that a mode can express becomes that mode.
SysError SetAccessAcl(int fd, acl_t acl) {
  if (acl_set_fd(fd, acl) == 0) return {};
  const int error = errno;
  mode_t mode = 0;
  if (!IsUnsupported(error) || acl_equiv_mode(acl, &mode) != 0) return {error, "acl_set_fd"};
  struct stat st {};
  if (fstat(fd, &st) != 0) return {errno, "fstat"};
  // Only the permission bits are the list's; setuid, setgid and sticky stay the file's own.
  if (fchmod(fd, (st.st_mode & 07000) | (mode & 0777)) != 0) return {errno, "fchmod"};
  return {};
}

// The entries of a file's access list as they take effect: the mask, which Windows and our
// comparisons do not know, folded into the entries it limits (the owning group and the named
// entries), and dropped. `id` is the named entry's user or group.
struct EffectiveEntry {
  acl_tag_t tag = ACL_UNDEFINED_TAG;
  id_t id = 0;
  unsigned permissions = 0;  // 4 r, 2 w, 1 x
};

SysError ReadEffectiveEntries(int fd, struct stat& st, std::vector<EffectiveEntry>& entries) {
  entries.clear();
  if (fstat(fd, &st) != 0) return {errno, "fstat"};
  AclPtr acl;
  if (const SysError error = GetAccessAcl(fd, st, acl)) return error;
  unsigned mask = 7;
  acl_entry_t entry = nullptr;
  for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
    acl_tag_t tag{};
    if (acl_get_tag_type(entry, &tag) == 0 && tag == ACL_MASK) mask = PermissionsOf(entry);
  }
  for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
    EffectiveEntry effective;
    if (acl_get_tag_type(entry, &effective.tag) != 0) return {errno, "acl_get_tag_type"};
    if (effective.tag == ACL_MASK) continue;
    effective.permissions = PermissionsOf(entry);
    if (effective.tag == ACL_GROUP_OBJ || effective.tag == ACL_USER || effective.tag == ACL_GROUP) {
      effective.permissions &= mask;
    }
    if (effective.tag == ACL_USER || effective.tag == ACL_GROUP) {
      void* qualifier = acl_get_qualifier(entry);
      if (!qualifier) return {errno, "acl_get_qualifier"};
      effective.id = *static_cast<const id_t*>(qualifier);
      acl_free(qualifier);
    }
    entries.push_back(effective);
  }
  return {};
}

// Who may read (4) and write (2) a file, as its mode and access list say.
struct Grants {
  uid_t owner = 0;
  gid_t group = 0;
  unsigned groupBits = 0;
  unsigned otherBits = 0;
  std::vector<std::pair<id_t, unsigned>> users;  // named entries
  std::vector<std::pair<id_t, unsigned>> groups;
};

constexpr unsigned kReadWrite = 6;

// Whether the file may have an access list beyond its mode. One lookup where the library asks
// twice: a regular file has no default list, and a list the mode expresses is not stored.
SysError MayHaveAccessList(int fd, bool& may) {
  may = ::fgetxattr(fd, "system.posix_acl_access", nullptr, 0) >= 0;
  if (!may && errno != ENODATA && !IsUnsupported(errno)) return {errno, "fgetxattr"};
  return {};
}

SysError ReadGrants(const FileRef& file, Grants& grants) {
  const int fd = Fd(file);
  struct stat st {};
  // Most files have no access list beyond their mode: then the mode says it all, and the list
  // is not built (a replacement pays this for the file it replaces and for its source).
  bool listed = false;
  if (const SysError error = MayHaveAccessList(fd, listed)) return error;
  if (!listed) {
    FileStatus found;
    if (file.status == nullptr) {
      if (fstat(fd, &st) != 0) return {errno, "fstat"};
      found = posix::StatusOf(st);
    }
    const FileStatus& status = file.status != nullptr ? *file.status : found;
    grants = {
        status.owner, status.group, (status.permissions >> 3) & kReadWrite, status.permissions & kReadWrite, {}, {}};
    return {};
  }
  std::vector<EffectiveEntry> entries;
  if (const SysError error = ReadEffectiveEntries(fd, st, entries)) return error;
  grants = {st.st_uid, st.st_gid, 0, 0, {}, {}};
  for (const EffectiveEntry& entry : entries) {
    const unsigned bits = entry.permissions & kReadWrite;
    if (entry.tag == ACL_GROUP_OBJ) grants.groupBits = bits;
    if (entry.tag == ACL_OTHER) grants.otherBits = bits;
    if (entry.tag == ACL_USER) grants.users.emplace_back(entry.id, bits);
    if (entry.tag == ACL_GROUP) grants.groups.emplace_back(entry.id, bits);
  }
  return {};
}

// What `grants` let the user `uid` do, as far as they tell (a group the user belongs to is not
// looked up: that errs toward granting less).
unsigned UserGrants(const Grants& grants, id_t uid) {
  if (uid == 0 || uid == grants.owner) return kReadWrite;
  unsigned bits = grants.otherBits;
  for (const auto& [id, b] : grants.users) bits |= id == uid ? b : 0;
  return bits;
}

unsigned GroupGrants(const Grants& grants, id_t gid) {
  unsigned bits = grants.otherBits | (gid == grants.group ? grants.groupBits : 0);
  for (const auto& [id, b] : grants.groups) bits |= id == gid ? b : 0;
  return bits;
}

bool GrantsMore(const Grants& file, const Grants& than) {
  if ((UserGrants(than, file.owner) & kReadWrite) != kReadWrite) return true;
  for (const auto& [uid, bits] : file.users) {
    if (bits & ~UserGrants(than, uid)) return true;
  }
  if (file.groupBits & ~GroupGrants(than, file.group)) return true;
  for (const auto& [gid, bits] : file.groups) {
    if (bits & ~GroupGrants(than, gid)) return true;
  }
  return (file.otherBits & ~than.otherBits) != 0;
}

class PosixFileSecurity final : public FileSecurity {
 public:
  uid_t uid = 0;
  gid_t gid = 0;
  AclPtr acl;
};

// ---- capabilities ----------------------------------------------------------------------------

struct CapDeleter {
  void operator()(void* p) const { cap_free(p); }
};
using CapPtr = std::unique_ptr<std::remove_pointer_t<cap_t>, CapDeleter>;

constexpr cap_value_t kOwnershipCapabilities[] = {CAP_CHOWN, CAP_FOWNER, CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH};

bool HasFlag(cap_t caps, cap_value_t value, cap_flag_t set) {
  cap_flag_value_t flag = CAP_CLEAR;
  return cap_get_flag(caps, value, set, &flag) == 0 && flag == CAP_SET;
}

// The effective set as the process started: the state "(DEFAULT ENABLED)" reports.
const std::vector<bool>& StartupEffectiveSet() {
  static const std::vector<bool> startup = [] {
    std::vector<bool> set;
    CapPtr caps(cap_get_proc());
    const cap_value_t count = cap_max_bits();
    for (cap_value_t v = 0; caps && v < count; ++v) set.push_back(HasFlag(caps.get(), v, CAP_EFFECTIVE));
    return set;
  }();
  return startup;
}

// Read before main() runs, so later changes of the effective set do not count as the start state.
[[maybe_unused]] const bool kStartupRead = (StartupEffectiveSet(), true);

// ---- the services ----------------------------------------------------------------------------

class PosixSecurityServices final : public SecurityServices {
 public:
  SysError QueryAccountSizes(std::u16string_view accountName, AccountSizes& sizes) override {
    Sid sid;
    SidKind kind{};
    if (const int rc = ResolveAccount(accountName, sid, kind)) return {rc, "getpwnam_r"};
    sizes.sidBytes = static_cast<std::uint32_t>(sid.bytes.size());
    sizes.domainChars = static_cast<std::uint32_t>(MachineName().size() + 1);
    return {};
  }

  SysError LookupAccountName(std::u16string_view accountName, Sid& sid, std::u16string& domain,
                             SidKind& kind) override {
    if (const int rc = ResolveAccount(accountName, sid, kind)) return {rc, "getpwnam_r"};
    domain = MachineName();
    return {};
  }

  SysError LookupAccountSid(const Sid& sid, std::u16string& name, std::u16string& domain, SidKind& kind) override {
    name.clear();
    domain.clear();
    if (sid == EveryoneSid()) {
      name = u"other";
      kind = SidKind::WellKnownGroup;
      return {};
    }
    const auto id = UnixIdOf(sid);
    if (!id) return {ENOENT, "getpwuid_r"};
    std::string native;
    const int rc = id->isGroup ? GroupNameOf(id->id, native) : UserNameOf(id->id, native);
    if (rc != 0) return {rc, id->isGroup ? "getgrgid_r" : "getpwuid_r"};
    name = FromNative(native);
    domain = MachineName();
    kind = id->isGroup ? SidKind::Group : SidKind::User;
    return {};
  }

  SysError ReadAccessList(const FileRef& file, AccessList& list) override;

  SysError BuildSingleEntryAccessList(const Sid& account, SingleEntryAccessList& list) override {
    if (!UnixIdOf(account)) return {EINVAL, "acl_from_mode"};
    list.account = account;
    return {};
  }

  SysError WriteAccessList(const FileRef& file, const SingleEntryAccessList& list) override;

  SysError SetOwner(const FileRef& file, const Sid& owner) override {
    const auto id = UnixIdOf(owner);
    if (!id) return {EINVAL, "fchown"};
    const uid_t uid = id->isGroup ? static_cast<uid_t>(-1) : id->id;
    const gid_t gid = id->isGroup ? id->id : static_cast<gid_t>(-1);
    if (fchown(Fd(file), uid, gid) != 0) return {errno, "fchown"};
    return {};
  }

  SysError EnableOwnershipRights() override;
  SysError ListProcessRights(std::vector<ProcessRight>& rights) override;
};

SysError PosixSecurityServices::ReadAccessList(const FileRef& file, AccessList& list) {
  list.entries.clear();
  struct stat st {};
  // Windows has no mask entry: the list shows the effective rights of the entries it limits.
  std::vector<EffectiveEntry> entries;
  if (const SysError error = ReadEffectiveEntries(Fd(file), st, entries)) return error;
  for (const EffectiveEntry& entry : entries) {
    Sid sid;
    switch (entry.tag) {
      case ACL_USER_OBJ: sid = UserSid(st.st_uid); break;
      case ACL_GROUP_OBJ: sid = GroupSid(st.st_gid); break;
      case ACL_USER: sid = UserSid(entry.id); break;
      case ACL_GROUP: sid = GroupSid(entry.id); break;
      case ACL_OTHER: sid = EveryoneSid(); break;
      default: continue;
    }
    list.entries.push_back({kAccessAllowedType, 0, AccessMaskForPermissions(entry.permissions), std::move(sid)});
  }
  return {};
}

SysError PosixSecurityServices::WriteAccessList(const FileRef& file, const SingleEntryAccessList& list) {
  const auto id = UnixIdOf(list.account);
  if (!id) return {EINVAL, "acl_set_fd"};
  // The account takes the owner's (or owning group's) place first: a list that granted the old
  // owner alone would hand the file to the wrong account.
  const uid_t uid = id->isGroup ? static_cast<uid_t>(-1) : id->id;
  const gid_t gid = id->isGroup ? id->id : static_cast<gid_t>(-1);
  if (fchown(Fd(file), uid, gid) != 0) return {errno, "fchown"};
  AclPtr acl(acl_from_mode(id->isGroup ? 0070 : 0700));
  if (!acl) return {errno, "acl_from_mode"};
  return SetAccessAcl(Fd(file), acl.get());
}

SysError PosixSecurityServices::EnableOwnershipRights() {
  StartupEffectiveSet();
  CapPtr caps(cap_get_proc());
  if (!caps) return {errno, "cap_get_proc"};
  std::vector<cap_value_t> raise;
  for (cap_value_t value : kOwnershipCapabilities) {
    if (HasFlag(caps.get(), value, CAP_PERMITTED) && !HasFlag(caps.get(), value, CAP_EFFECTIVE)) {
      raise.push_back(value);
    }
  }
  // Rights the process does not hold are simply not raised, and that is no failure.
  if (raise.empty()) return {};
  if (cap_set_flag(caps.get(), CAP_EFFECTIVE, static_cast<int>(raise.size()), raise.data(), CAP_SET) != 0 ||
      cap_set_proc(caps.get()) != 0) {
    return {errno, "cap_set_proc"};
  }
  return {};
}

SysError PosixSecurityServices::ListProcessRights(std::vector<ProcessRight>& rights) {
  rights.clear();
  const std::vector<bool>& startup = StartupEffectiveSet();
  CapPtr caps(cap_get_proc());
  if (!caps) return {errno, "cap_get_proc"};
  const cap_value_t count = cap_max_bits();
  for (cap_value_t value = 0; value < count; ++value) {
    if (!HasFlag(caps.get(), value, CAP_PERMITTED)) continue;
    ProcessRight right;
    if (char* name = cap_to_name(value)) {
      right.name = FromNative(name);
      cap_free(name);
    }
    right.enabled = HasFlag(caps.get(), value, CAP_EFFECTIVE);
    const auto index = static_cast<std::size_t>(value);
    right.enabledByDefault = index < startup.size() && startup[index];
    rights.push_back(std::move(right));
  }
  return {};
}

}  // namespace

// ---- free functions --------------------------------------------------------------------------

bool posix::RunsWithPrivileges() {
  if (::geteuid() == 0) return true;
  const CapPtr caps(cap_get_proc());
  if (!caps) return false;
  for (cap_value_t value : kOwnershipCapabilities) {
    if (HasFlag(caps.get(), value, CAP_PERMITTED)) return true;
  }
  return false;
}

SysError SidToText(const Sid& sid, std::u16string& text) {
  const auto parsed = ParseSid(sid);
  if (!parsed) return {EINVAL, "ConvertSidToStringSid"};
  char number[32];
  // Authorities beyond 32 bits are written in hexadecimal, as Windows does.
  if (parsed->authority >> 32) {
    std::snprintf(number, sizeof number, "0x%012llX", static_cast<unsigned long long>(parsed->authority));
  } else {
    std::snprintf(number, sizeof number, "%llu", static_cast<unsigned long long>(parsed->authority));
  }
  std::string out = std::string("S-1-") + number;
  for (std::uint32_t sub : parsed->subAuthorities) {
    out += '-';  // appended apart: GCC 12 at -O3 warns falsely (-Wrestrict) on "-" + to_string
    out += std::to_string(sub);
  }
  text = FromNative(out);
  return {};
}

SysError GrantsMoreThan(const FileRef& file, const FileRef& than, bool& more) {
  more = true;
  Grants fileGrants, thanGrants;
  if (const SysError error = ReadGrants(file, fileGrants)) return error;
  if (const SysError error = ReadGrants(than, thanGrants)) return error;
  more = GrantsMore(fileGrants, thanGrants);
  return {};
}

SysError OthersMayChange(const FileRef& file, bool& others) {
  others = true;
  struct stat st {};
  if (fstat(Fd(file), &st) != 0) return {errno, "fstat"};
  // With an access list, the group bits are its mask, which bounds every named entry.
  others = (st.st_uid != ::geteuid() && st.st_uid != 0) || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return {};
}

SecurityServices& NativeSecurity() {
  static PosixSecurityServices posix;
  return posix;
}

SysError ReadFileSecurity(const FileRef& file, std::unique_ptr<FileSecurity>& security) {
  security.reset();
  struct stat st {};
  if (fstat(Fd(file), &st) != 0) return {errno, "fstat"};
  auto result = std::unique_ptr<PosixFileSecurity>(new (std::nothrow) PosixFileSecurity);
  if (!result) return {ENOMEM, "new"};
  result->uid = st.st_uid;
  result->gid = st.st_gid;
  if (const SysError error = GetAccessAcl(Fd(file), st, result->acl)) return error;
  security = std::move(result);
  return {};
}

SysError ApplyFileAccessList(const FileRef& file, const FileSecurity& security) {
  const auto* posix = dynamic_cast<const PosixFileSecurity*>(&security);
  if (!posix || !posix->acl) return {EINVAL, "acl_set_fd"};
  return SetAccessAcl(Fd(file), posix->acl.get());
}

SysError ApplyFileOwner(const FileRef& file, const FileSecurity& security) {
  const auto* posix = dynamic_cast<const PosixFileSecurity*>(&security);
  if (!posix) return {EINVAL, "fchown"};
  if (fchown(Fd(file), posix->uid, posix->gid) != 0) return {errno, "fchown"};
  return {};
}

}  // namespace glyphshift::platform
