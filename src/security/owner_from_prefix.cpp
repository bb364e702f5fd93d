// Owner-from-prefix: a converted file named after its future owner ("jdoe-report.txt") loses the
// prefix from its name and is handed to the account the table lists for that prefix.
#include <new>
#include <optional>

#include "engine/ascii_case.h"
#include "messages/catalogue.h"
#include "platform/files.h"
#include "platform/path_names.h"
#include "platform/security.h"
#include "security/helper.h"
#include "security/user_translation_table.h"

namespace glyphshift {
namespace {

constexpr std::u16string_view kPrefixSeparators = u"-_.#,;";

std::size_t FileNameStart(std::u16string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (platform::IsPathSeparator(path[i - 1])) return i;
  }
  return 0;
}

// Cuts the prefix and the character after it from the current file name and renames the file
// there, never over an existing file: that one may be a source still to be converted, or
// anybody's. The name stays when nothing would be left of it (the name is the prefix itself,
// or the prefix and one character): "" "." or ".." would name the directory. A failed rename
// keeps *path and the target at the file, so no other file is handed over.
void RenameToNameWithoutPrefix(std::u16string& path, COwnerTarget& target, std::size_t prefixLength) {
  const std::size_t cut = prefixLength + 1;
  if (cut >= target.name.size()) return;
  const std::u16string rest = target.name.substr(cut);
  if (rest == u"." || rest == u"..") return;
  const platform::SysError error = platform::Files().RenameEntry(*target.directory, target.name, rest, &target.id);
  if (error.code == platform::kErrorExists) {
    Print(msg::kKeepsItsName, target.name, rest);
  }
  if (error) return;
  path = path.substr(0, FileNameStart(path)) + rest;
  target.name = rest;
}

void PrintLookupFailure(const std::u16string& account, const platform::SysError& error) {
  PrintToError(msg::kLookupFailed, account, static_cast<std::int32_t>(error.code));
}

void PrintEntryFlags(std::uint8_t flags) {
  struct FlagName {
    std::uint8_t flag;
    std::u16string_view text;
  };
  static constexpr FlagName kFlagNames[] = {
      {0x02, u"CONTAINER INHERIT, "},    {0x08, u"INHERIT ONLY, "},   {0x10, u"INHERITED, "},
      {0x04, u"NO PROPAGATE INHERIT, "}, {0x01, u"OBJECT INHERIT, "},
  };
  std::u16string names;
  for (const FlagName& name : kFlagNames) {
    if (flags & name.flag) names += name.text;
  }
  PrintToError(msg::kAccessEntryFlags, names);
}

void PrintAccountHeading(const Message<msg::Name, msg::Name, msg::Wide>& heading, const platform::Sid& sid) {
  std::u16string name;
  std::u16string domain;
  auto kind = platform::SidKind::User;
  // An unresolved SID prints empty names around the at sign: the entry is still shown.
  (void)platform::Security().LookupAccountSid(sid, name, domain, kind);
  PrintToError(heading, name, domain, CUserTranslationTable::SidTypeName(static_cast<std::int32_t>(kind)));
}

// The list as it stands before the ownership change, entry by entry.
void DumpAccessList(const platform::FileRef& file) {
  platform::AccessList list;
  if (platform::Security().ReadAccessList(file, list)) list.entries.clear();
  PrintToError(msg::kAccessListSize, static_cast<std::int32_t>(list.entries.size()),
               list.entries.empty() ? std::int32_t{0} : static_cast<std::int32_t>(list.SizeInBytes()));
  std::int32_t index = 0;
  for (const platform::AccessEntry& entry : list.entries) {
    PrintToError(msg::kAccessEntry, index++);
    PrintEntryFlags(entry.flags);
    PrintToError(msg::kAccessEntryType, static_cast<std::int32_t>(entry.type));
    switch (entry.type) {
      case 0:
        PrintAccountHeading(msg::kAccessAllowedFor, entry.sid);
        CUserTranslationTable::PrintAccessMask(entry.mask);
        break;
      case 1:
        PrintAccountHeading(msg::kAccessDeniedFor, entry.sid);
        CUserTranslationTable::PrintAccessMask(entry.mask);
        break;
      case 5:
      case 6: CUserTranslationTable::PrintAccessMask(entry.mask); break;
      default: break;
    }
  }
}

}  // namespace

bool CUserTranslationTable::PrefixMatches(std::u16string_view baseName, std::u16string_view prefix) {
  if (baseName.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (FoldAsciiCase(baseName[i]) != FoldAsciiCase(prefix[i])) return false;
  }
  return baseName.size() == prefix.size() ||
         kPrefixSeparators.find(baseName[prefix.size()]) != std::u16string_view::npos;
}

void CUserTranslationTable::PrintAccessMask(std::uint32_t mask) {
  struct RightName {
    std::uint32_t bit;
    std::u16string_view text;
  };
  static constexpr RightName kRightNames[] = {
      {0x80000000, u"GENERIC READ, "}, {0x40000000, u"GENERIC WRITE, "},   {0x20000000, u"GENERIC EXECUTE, "},
      {0x10000000, u"GENERIC ALL, "},  {0x02000000, u"MAXIMUM ALLOWED, "}, {0x00010000, u"DELETE, "},
      {0x00020000, u"READ CONTROL, "}, {0x00040000, u"WRITE DAC, "},       {0x00080000, u"WRITE OWNER, "},
      {0x00100000, u"SYNCHRONIZE, "},
  };
  std::u16string names;
  for (const RightName& right : kRightNames) {
    if (mask & right.bit) names += right.text;
  }
  PrintToError(msg::kAccessMask, names, static_cast<std::int32_t>(mask & 0xFFFF));
}

std::u16string_view CUserTranslationTable::SidTypeName(std::int32_t sidNameUse) {
  // The kinds are named in German, and printed as they stand.
  static constexpr std::u16string_view kNames[] = {
      u"Benutzer",      u"Gruppe",        u"Dom\u00E4ne", u"Alias",    u"WellKnown",
      u"Gel\u00F6scht", u"Ung\u00FCltig", u"Unbekannt",   u"Computer",
  };
  if (sidNameUse < 1 || sidNameUse > 9) return u"Unbekannt";
  return kNames[sidNameUse - 1];
}

bool CUserTranslationTable::ApplyOwnerFromPrefix(bool rename) {
  if (!path || !target) return true;
  platform::SecurityServices& security = platform::Security();
  try {
    const std::u16string baseName(platform::BaseNameOf(target->name));
    std::optional<std::size_t> chosen;
    platform::AccountSizes sizes;
    for (std::size_t i = 0; i < count && !chosen; ++i) {
      if (!PrefixMatches(baseName, prefixes[i])) continue;
      if (rename) RenameToNameWithoutPrefix(*path, *target, prefixes[i].size());
      if (const platform::SysError error = security.QueryAccountSizes(accounts[i], sizes)) {
        PrintLookupFailure(accounts[i], error);
        continue;
      }
      chosen = i;
    }
    if (!chosen) return true;

    const std::u16string& account = accounts[*chosen];
    platform::Sid sid;
    std::u16string domain;
    sid.bytes.reserve(sizes.sidBytes);
    domain.reserve(sizes.domainChars);
    auto kind = platform::SidKind::User;
    // The SID of a failed look-up is unknown: it names nobody to dump for or to hand over to.
    if (const platform::SysError error = security.LookupAccountName(account, sid, domain, kind)) {
      PrintLookupFailure(account, error);
      return true;
    }
    std::u16string sidText;
    if (!platform::SidToText(sid, sidText)) PrintToError(msg::kSidOfAccount, account, sidText);
    const platform::FileRef file{target->handle, *path};
    DumpAccessList(file);
    TakeOwnerShip(file, sid);
  } catch (const std::bad_alloc&) {
    // Out of memory ends the operation for this file without output.
  }
  return true;
}

}  // namespace glyphshift
