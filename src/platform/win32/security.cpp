// Ownership, access lists, accounts and rights on Windows: security descriptors read and written
// through open handles (GetSecurityInfo, SetSecurityInfo), accounts through the local security
// authority, rights through the process token.
#include "platform/security.h"

// <windows.h> first: the other Windows headers build on it.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
// The interface's names, not the Windows macros that pick the A or W call.
#undef LookupAccountName
#undef LookupAccountSid

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/win32/win32_calls.h"

namespace glyphshift::platform {
namespace {

using win32::FromWide;
using win32::Native;

struct LocalDeleter {
  void operator()(void* block) const { LocalFree(block); }
};

class CWin32FileSecurity final : public FileSecurity {
 public:
  std::unique_ptr<void, LocalDeleter> descriptor;
};

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using CTokenHandle = std::unique_ptr<void, HandleCloser>;

SysError Result(DWORD code, const char* op) { return {static_cast<int>(code), op}; }

Sid SidOf(PSID sid) {
  Sid result;
  if (sid != nullptr && IsValidSid(sid)) {
    const auto* bytes = static_cast<const std::uint8_t*>(sid);
    result.bytes.assign(bytes, bytes + GetLengthSid(sid));
  }
  return result;
}

// A SID's bytes as the system takes them; null for bytes that are no well-formed SID.
PSID NativeSid(const Sid& sid) {
  if (sid.bytes.size() < 8) return nullptr;
  const auto native = const_cast<std::uint8_t*>(sid.bytes.data());
  return IsValidSid(native) && GetLengthSid(native) == sid.bytes.size() ? native : nullptr;
}

// The four rights the ownership features need, in the order they are asked for.
constexpr const wchar_t* kOwnershipRights[] = {L"SeTakeOwnershipPrivilege", L"SeTcbPrivilege", L"SeBackupPrivilege",
                                               L"SeRestorePrivilege"};

class CWin32SecurityServices final : public SecurityServices {
 public:
  SysError QueryAccountSizes(std::u16string_view accountName, AccountSizes& sizes) override {
    const std::u16string name(accountName);
    DWORD sidBytes = 0;
    DWORD domainChars = 0;
    SID_NAME_USE use{};
    if (!LookupAccountNameW(nullptr, win32::Wide(name), nullptr, &sidBytes, nullptr, &domainChars, &use) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      return win32::LastError("LookupAccountName");
    }
    sizes.sidBytes = sidBytes;
    sizes.domainChars = domainChars;
    return {};
  }

  SysError LookupAccountName(std::u16string_view accountName, Sid& sid, std::u16string& domain,
                             SidKind& kind) override {
    AccountSizes sizes;
    if (auto error = QueryAccountSizes(accountName, sizes)) return error;
    const std::u16string name(accountName);
    std::vector<std::uint8_t> sidBytes(std::max<DWORD>(sizes.sidBytes, 1));
    std::wstring domainText(std::max<DWORD>(sizes.domainChars, 1), L'\0');
    DWORD sidSize = static_cast<DWORD>(sidBytes.size());
    DWORD domainSize = static_cast<DWORD>(domainText.size());
    SID_NAME_USE use{};
    if (!LookupAccountNameW(nullptr, win32::Wide(name), sidBytes.data(), &sidSize, domainText.data(), &domainSize,
                            &use)) {
      return win32::LastError("LookupAccountName");
    }
    sid = SidOf(sidBytes.data());
    domain = FromWide(domainText.c_str());
    kind = static_cast<SidKind>(use);
    return {};
  }

  SysError LookupAccountSid(const Sid& sid, std::u16string& name, std::u16string& domain, SidKind& kind) override {
    name.clear();
    domain.clear();
    const PSID native = NativeSid(sid);
    if (native == nullptr) return Result(ERROR_INVALID_SID, "LookupAccountSid");
    wchar_t nameText[128] = {};
    wchar_t domainText[128] = {};
    DWORD nameSize = 128;
    DWORD domainSize = 128;
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, native, nameText, &nameSize, domainText, &domainSize, &use)) {
      return win32::LastError("LookupAccountSid");
    }
    name = FromWide(nameText);
    domain = FromWide(domainText);
    kind = static_cast<SidKind>(use);
    return {};
  }

  SysError ReadAccessList(const FileRef& file, AccessList& list) override {
    list = {};
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    const DWORD result = GetSecurityInfo(Native(file.handle), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, &dacl, nullptr, &raw);
    if (result != ERROR_SUCCESS) return Result(result, "GetSecurityInfo");
    const std::unique_ptr<void, LocalDeleter> descriptor(raw);
    if (dacl == nullptr) return Result(ERROR_INVALID_ACL, "GetSecurityInfo");  // no list: everyone may do all
    list.headerSize = dacl->AclSize;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      void* ace = nullptr;
      if (!GetAce(dacl, i, &ace)) return win32::LastError("GetAce");
      const auto* header = static_cast<const ACE_HEADER*>(ace);
      AccessEntry entry;
      entry.type = header->AceType;
      entry.flags = header->AceFlags;
      // Allowed and denied entries, with and without a callback, share one layout: mask, then SID.
      // Object entries carry their GUIDs first; of them only the mask is shown.
      entry.mask = static_cast<const ACCESS_ALLOWED_ACE*>(ace)->Mask;
      if (entry.type == ACCESS_ALLOWED_ACE_TYPE || entry.type == ACCESS_DENIED_ACE_TYPE) {
        entry.sid = SidOf(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart);
      }
      list.entries.push_back(std::move(entry));
    }
    return {};
  }

  SysError BuildSingleEntryAccessList(const Sid& account, SingleEntryAccessList& list) override {
    const PSID native = NativeSid(account);
    if (native == nullptr) return Result(ERROR_INVALID_SID, "SetEntriesInAcl");
    EXPLICIT_ACCESS_W access{};
    access.grfAccessPermissions = GENERIC_ALL | WRITE_OWNER | WRITE_DAC;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.pMultipleTrustee = nullptr;
    access.Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(native);
    PACL acl = nullptr;
    const DWORD result = SetEntriesInAclW(1, &access, nullptr, &acl);
    if (result != ERROR_SUCCESS) return Result(result, "SetEntriesInAcl");
    const std::unique_ptr<void, LocalDeleter> built(acl);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(acl);
    list.account = account;
    list.nativeList.assign(bytes, bytes + acl->AclSize);
    return {};
  }

  SysError WriteAccessList(const FileRef& file, const SingleEntryAccessList& list) override {
    if (list.nativeList.size() < sizeof(ACL)) return Result(ERROR_INVALID_ACL, "SetSecurityInfo");
    auto* acl = reinterpret_cast<PACL>(const_cast<std::uint8_t*>(list.nativeList.data()));
    const DWORD result =
        SetSecurityInfo(Native(file.handle), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
    if (result != ERROR_SUCCESS) return Result(result, "SetSecurityInfo");
    return {};
  }

  SysError SetOwner(const FileRef& file, const Sid& owner) override {
    const PSID native = NativeSid(owner);
    if (native == nullptr) return Result(ERROR_INVALID_SID, "SetSecurityInfo");
    const DWORD result = SetSecurityInfo(Native(file.handle), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, native,
                                         nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return Result(result, "SetSecurityInfo");
    return {};
  }

  SysError EnableOwnershipRights() override;
  SysError ListProcessRights(std::vector<ProcessRight>& rights) override;
};

SysError OpenProcessTokenForRights(CTokenHandle& token) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_READ, &raw)) {
    return win32::LastError("OpenProcessToken");
  }
  token.reset(raw);
  return {};
}

SysError CWin32SecurityServices::EnableOwnershipRights() {
  CTokenHandle token;
  if (auto error = OpenProcessTokenForRights(token)) return error;
  constexpr DWORD kCount = sizeof kOwnershipRights / sizeof kOwnershipRights[0];
  std::vector<std::uint8_t> buffer(offsetof(TOKEN_PRIVILEGES, Privileges) + kCount * sizeof(LUID_AND_ATTRIBUTES));
  auto* request = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
  request->PrivilegeCount = 0;
  for (const wchar_t* name : kOwnershipRights) {
    LUID_AND_ATTRIBUTES& entry = request->Privileges[request->PrivilegeCount];
    // A right the system does not know is not asked for; the listing shows what the run has.
    if (!LookupPrivilegeValueW(nullptr, name, &entry.Luid)) continue;
    entry.Attributes = SE_PRIVILEGE_ENABLED;
    ++request->PrivilegeCount;
  }
  // A right the account does not hold is simply not enabled, and that is no failure.
  if (!AdjustTokenPrivileges(token.get(), FALSE, request, 0, nullptr, nullptr)) {
    return win32::LastError("AdjustTokenPrivileges");
  }
  return {};
}

SysError CWin32SecurityServices::ListProcessRights(std::vector<ProcessRight>& rights) {
  rights.clear();
  CTokenHandle token;
  if (auto error = OpenProcessTokenForRights(token)) return error;
  DWORD size = 0;
  if (GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size)) return {};  // nothing to list
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return win32::LastError("GetTokenInformation");
  std::vector<std::uint64_t> buffer(size / sizeof(std::uint64_t) + 1);  // aligned for the LUIDs
  if (!GetTokenInformation(token.get(), TokenPrivileges, buffer.data(),
                           static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)), &size)) {
    return win32::LastError("GetTokenInformation");
  }
  const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < list->PrivilegeCount; ++i) {
    LUID_AND_ATTRIBUTES entry = list->Privileges[i];
    wchar_t name[128] = {};
    DWORD length = 128;
    // A failed look-up leaves the name empty; the line is still printed.
    if (!LookupPrivilegeNameW(nullptr, &entry.Luid, name, &length)) name[0] = L'\0';
    ProcessRight right;
    right.name = FromWide(name);
    right.enabledByDefault = (entry.Attributes & SE_PRIVILEGE_ENABLED_BY_DEFAULT) != 0;
    right.enabled = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    right.removed = (entry.Attributes & SE_PRIVILEGE_REMOVED) != 0;
    rights.push_back(std::move(right));
  }
  return {};
}

// ---- who may read and write a file ------------------------------------------------------------

constexpr unsigned kRead = 4;
constexpr unsigned kWrite = 2;

// The reading (4) and writing (2) a mask grants; changing the list or the owner counts as both.
unsigned BitsOf(ACCESS_MASK mask) {
  unsigned bits = 0;
  if (mask & (FILE_READ_DATA | GENERIC_READ | GENERIC_ALL)) bits |= kRead;
  // In a folder: adding and removing entries.
  if (mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | GENERIC_WRITE | GENERIC_ALL)) bits |= kWrite;
  if (mask & (WRITE_DAC | WRITE_OWNER)) bits |= kRead | kWrite;
  return bits;
}

// A file's owner and the allowed entries of its list that apply to it (not inherit-only).
struct Grants {
  std::unique_ptr<void, LocalDeleter> descriptor;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  bool denies = false;  // a denied entry: what the list grants is then not read off the entries
  std::vector<std::pair<PSID, unsigned>> allowed;
};

SysError ReadGrants(HANDLE handle, Grants& grants) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD result = GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &grants.owner, nullptr, &grants.dacl, nullptr, &raw);
  if (result != ERROR_SUCCESS) return Result(result, "GetSecurityInfo");
  grants.descriptor.reset(raw);
  if (grants.dacl == nullptr) return {};  // no list: everyone may do everything
  for (DWORD i = 0; i < grants.dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(grants.dacl, i, &ace)) return win32::LastError("GetAce");
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) grants.denies = true;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    grants.allowed.emplace_back(const_cast<DWORD*>(&allowed->SidStart), BitsOf(allowed->Mask));
  }
  return {};
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return IsWellKnownSid(sid, type) != FALSE; }

// The process's user, the administrators and the system may do anything anyway.
bool IsTrusted(PSID sid) {
  if (IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid)) return true;
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const CTokenHandle token(raw);
  std::vector<std::uint64_t> buffer(64);
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size() * 8), &size)) {
    return false;
  }
  return EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, sid) != FALSE;
}

// What `grants` let `sid` do, as far as its own entries, everyone's and ownership tell (groups
// the account belongs to are not looked up: that errs toward granting less).
unsigned GrantsTo(const Grants& grants, PSID sid) {
  if (grants.dacl == nullptr || (grants.owner != nullptr && EqualSid(grants.owner, sid))) return kRead | kWrite;
  unsigned bits = 0;
  for (const auto& [entry, entryBits] : grants.allowed) {
    if (EqualSid(entry, sid) || IsWellKnown(entry, WinWorldSid)) bits |= entryBits;
  }
  return bits;
}

bool GrantsMore(const Grants& file, const Grants& than) {
  if (than.denies) {
    // Denied entries take away what the others grant: only the same list is known to grant no more.
    const bool same = file.dacl != nullptr && than.dacl != nullptr && file.dacl->AclSize == than.dacl->AclSize &&
                      std::memcmp(file.dacl, than.dacl, file.dacl->AclSize) == 0 && file.owner != nullptr &&
                      than.owner != nullptr && EqualSid(file.owner, than.owner);
    return !same;
  }
  if (file.owner != nullptr && !IsTrusted(file.owner) && GrantsTo(than, file.owner) != (kRead | kWrite)) return true;
  if (file.dacl == nullptr) return than.dacl != nullptr;
  for (const auto& [sid, bits] : file.allowed) {
    if (!IsTrusted(sid) && (bits & ~GrantsTo(than, sid)) != 0) return true;
  }
  return false;
}

}  // namespace

SysError GrantsMoreThan(const FileRef& file, const FileRef& than, bool& more) {
  more = true;
  Grants fileGrants, thanGrants;
  if (auto error = ReadGrants(Native(file.handle), fileGrants)) return error;
  if (auto error = ReadGrants(Native(than.handle), thanGrants)) return error;
  more = GrantsMore(fileGrants, thanGrants);
  return {};
}

SysError OthersMayChange(const FileRef& file, bool& others) {
  others = true;
  Grants grants;
  if (auto error = ReadGrants(Native(file.handle), grants)) return error;
  if (grants.dacl == nullptr || grants.owner == nullptr || !IsTrusted(grants.owner)) return {};
  for (const auto& [sid, bits] : grants.allowed) {
    if ((bits & kWrite) != 0 && !IsTrusted(sid)) return {};
  }
  others = false;
  return {};
}

namespace win32 {

bool RunsWithPrivileges() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const CTokenHandle token(raw);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

SysError CheckNamedLink(HANDLE folder, HANDLE link, HANDLE target) {
  bool shared = true;
  if (auto error = OthersMayChange({Wrap(folder), u""}, shared)) return error;
  if (shared) return {kErrorUnsafeLink, "open"};
  Grants linkGrants, targetGrants;
  if (auto error = ReadGrants(link, linkGrants)) return error;
  if (linkGrants.owner != nullptr && IsTrusted(linkGrants.owner)) return {};
  if (auto error = ReadGrants(target, targetGrants)) return error;
  if (linkGrants.owner != nullptr && targetGrants.owner != nullptr && EqualSid(linkGrants.owner, targetGrants.owner)) {
    return {};
  }
  return {kErrorUnsafeLink, "open"};
}

}  // namespace win32

SecurityServices& NativeSecurity() {
  static CWin32SecurityServices services;
  return services;
}

SysError SidToText(const Sid& sid, std::u16string& text) {
  const PSID native = NativeSid(sid);
  if (native == nullptr) return Result(ERROR_INVALID_SID, "ConvertSidToStringSid");
  LPWSTR raw = nullptr;
  if (!ConvertSidToStringSidW(native, &raw)) return win32::LastError("ConvertSidToStringSid");
  const std::unique_ptr<void, LocalDeleter> owned(raw);
  text = FromWide(raw);
  return {};
}

SysError ReadFileSecurity(const FileRef& file, std::unique_ptr<FileSecurity>& security) {
  security.reset();
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD result =
      GetSecurityInfo(Native(file.handle), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      nullptr, nullptr, nullptr, nullptr, &raw);
  if (result != ERROR_SUCCESS) return Result(result, "GetSecurityInfo");
  auto read = std::unique_ptr<CWin32FileSecurity>(new (std::nothrow) CWin32FileSecurity);
  if (!read) {
    LocalFree(raw);
    return Result(ERROR_NOT_ENOUGH_MEMORY, "GetSecurityInfo");
  }
  read->descriptor.reset(raw);
  security = std::move(read);
  return {};
}

SysError ApplyFileAccessList(const FileRef& file, const FileSecurity& security) {
  const auto* windows = dynamic_cast<const CWin32FileSecurity*>(&security);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!windows || !GetSecurityDescriptorDacl(windows->descriptor.get(), &present, &dacl, &defaulted) || !present) {
    return Result(ERROR_INVALID_SECURITY_DESCR, "SetSecurityInfo");
  }
  const DWORD result =
      SetSecurityInfo(Native(file.handle), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
  if (result != ERROR_SUCCESS) return Result(result, "SetSecurityInfo");
  return {};
}

SysError ApplyFileOwner(const FileRef& file, const FileSecurity& security) {
  const auto* windows = dynamic_cast<const CWin32FileSecurity*>(&security);
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!windows || !GetSecurityDescriptorOwner(windows->descriptor.get(), &owner, &defaulted) || owner == nullptr) {
    return Result(ERROR_INVALID_SECURITY_DESCR, "SetSecurityInfo");
  }
  const DWORD result = SetSecurityInfo(Native(file.handle), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr,
                                       nullptr, nullptr);
  if (result != ERROR_SUCCESS) return Result(result, "SetSecurityInfo");
  return {};
}

}  // namespace glyphshift::platform
