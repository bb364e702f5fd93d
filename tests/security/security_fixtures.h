// Shared pieces of the security tests: capturing standard error through the platform's own
// routing, a double of the security services, and the root requirement.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include <map>
#include <string>
#include <vector>

#include "platform/native_text.h"
#include "platform/security.h"
#include "platform/streams.h"
#include "support/temp_dir.h"

namespace glyphshift::testing {

// Routes standard error into a file for the life of the object, as a log run at level 1 does.
class CapturedDiagnostics {
 public:
  CapturedDiagnostics() {
    EXPECT_FALSE(
        platform::RouteStream(platform::StdStream::Error, platform::StreamTarget::LogFile, dir_.Path("stderr.log")));
    platform::SetUnbuffered(platform::StdStream::Error, true);
  }
  ~CapturedDiagnostics() {
    platform::FlushStreams();
    EXPECT_FALSE(platform::RouteStream(platform::StdStream::Error, platform::StreamTarget::Console));
  }
  CapturedDiagnostics(const CapturedDiagnostics&) = delete;
  CapturedDiagnostics& operator=(const CapturedDiagnostics&) = delete;

  // Everything written so far, as UTF-8, with LF line ends (Windows writes CR LF).
  std::string Text() const {
    platform::FlushStreams();
    std::string text = support::ReadFileText(dir_.Native("stderr.log"));
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
  }

 private:
  support::TempDir dir_;
};

// A scripted double of the security services; installed for its lifetime.
class FakeSecurity final : public platform::SecurityServices {
 public:
  struct Account {
    platform::Sid sid;
    std::u16string name;
    std::u16string domain;
    platform::SidKind kind = platform::SidKind::User;
  };

  FakeSecurity() { previous_ = platform::SetSecurityForTesting(this); }
  ~FakeSecurity() override { platform::SetSecurityForTesting(previous_); }
  FakeSecurity(const FakeSecurity&) = delete;
  FakeSecurity& operator=(const FakeSecurity&) = delete;

  // An account known under `lookupName` (the full text a table gives, domain included).
  void AddAccount(std::u16string lookupName, Account account) { accounts_[std::move(lookupName)] = std::move(account); }

  platform::SysError QueryAccountSizes(std::u16string_view name, platform::AccountSizes& sizes) override {
    const auto it = accounts_.find(std::u16string(name));
    if (it == accounts_.end()) return {lookupError, "getpwnam_r"};
    sizes = {static_cast<std::uint32_t>(it->second.sid.bytes.size()),
             static_cast<std::uint32_t>(it->second.domain.size() + 1)};
    return {};
  }
  platform::SysError LookupAccountName(std::u16string_view name, platform::Sid& sid, std::u16string& domain,
                                       platform::SidKind& kind) override {
    const auto it = accounts_.find(std::u16string(name));
    if (it == accounts_.end() || secondLookupError) return {secondLookupError ? secondLookupError : lookupError, "x"};
    sid = it->second.sid;
    domain = it->second.domain;
    kind = it->second.kind;
    return {};
  }
  platform::SysError LookupAccountSid(const platform::Sid& sid, std::u16string& name, std::u16string& domain,
                                      platform::SidKind& kind) override {
    for (const auto& [key, account] : accounts_) {
      if (account.sid == sid) {
        name = account.name;
        domain = account.domain;
        kind = account.kind;
        return {};
      }
    }
    return {2, "getpwuid_r"};
  }
  platform::SysError ReadAccessList(const platform::FileRef& file, platform::AccessList& list) override {
    calls.push_back("read " + Native(file.path));
    if (readError) return {readError, "acl_get_file"};
    list = accessList;
    return {};
  }
  platform::SysError BuildSingleEntryAccessList(const platform::Sid& account,
                                                platform::SingleEntryAccessList& list) override {
    if (buildError) return {buildError, "acl_from_mode"};
    list.account = account;
    return {};
  }
  platform::SysError WriteAccessList(const platform::FileRef& file,
                                     const platform::SingleEntryAccessList& list) override {
    calls.push_back("acl " + Native(file.path) + " " + SidText(list.account));
    return {writeError, "acl_set_file"};
  }
  platform::SysError SetOwner(const platform::FileRef& file, const platform::Sid& owner) override {
    calls.push_back("owner " + Native(file.path) + " " + SidText(owner));
    return {ownerError, "chown"};
  }
  platform::SysError EnableOwnershipRights() override {
    calls.push_back("enable");
    return {enableError, "cap_set_proc"};
  }
  platform::SysError ListProcessRights(std::vector<platform::ProcessRight>& list) override {
    list = rights;
    return {listError, "cap_get_proc"};
  }

  static std::string SidText(const platform::Sid& sid) {
    std::u16string text;
    return platform::SidToText(sid, text) ? "<bad sid>" : platform::ToNative(text);
  }

  // Scripted results: an error code of 0 means success.
  int lookupError = 2, secondLookupError = 0, readError = 0, buildError = 0, writeError = 0, ownerError = 0;
  int enableError = 0, listError = 0;
  platform::AccessList accessList;
  std::vector<platform::ProcessRight> rights;
  std::vector<std::string> calls;  // "read <path>", "acl <path> <sid>", "owner <path> <sid>", "enable"

 private:
  static std::string Native(std::u16string_view path) { return platform::ToNative(path); }
  std::map<std::u16string, Account> accounts_;
  platform::SecurityServices* previous_ = nullptr;
};

#ifndef _WIN32
inline uid_t UidOf(const char* name) {
  const passwd* entry = getpwnam(name);
  return entry ? entry->pw_uid : static_cast<uid_t>(-1);
}

// The SID's text form, or "<bad>".
inline std::string Text(const platform::Sid& sid) {
  std::u16string text;
  return platform::SidToText(sid, text) ? "<bad>" : platform::ToNative(text);
}

#define GLYPHSHIFT_REQUIRE_ROOT()                                                \
  do {                                                                           \
    if (::geteuid() != 0) GTEST_SKIP() << "changing owners and ACLs needs root"; \
  } while (0)
#endif

}  // namespace glyphshift::testing
