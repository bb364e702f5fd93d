// TakeOwnerShip: the access list first, then the owner, so the list is written while the
// process still owns the file.
#include "security/helper.h"

#include "messages/catalogue.h"

namespace glyphshift {
namespace {

// The diagnostics name the source file and the function, so a report points at the failed call.
constexpr const char* kSourceName = "helper";
constexpr const char* kFunctionName = "TakeOwnerShip";

void ReportFailure(const Message<msg::Narrow, msg::Narrow, msg::Int, msg::Int>& failure, int line,
                   const platform::SysError& error) {
  PrintToError(failure, kSourceName, kFunctionName, static_cast<std::int32_t>(line),
               static_cast<std::int32_t>(error.code));
}

}  // namespace

bool TakeOwnerShip(const platform::FileRef& file, const platform::Sid& ownerSid) {
  platform::SecurityServices& security = platform::Security();
  bool succeeded = true;

  platform::SingleEntryAccessList list;
  if (const platform::SysError error = security.BuildSingleEntryAccessList(ownerSid, list)) {
    ReportFailure(msg::kBuildAccessListFailed, __LINE__, error);
    succeeded = false;
  } else if (const platform::SysError written = security.WriteAccessList(file, list)) {
    // Without a built list nothing is written: an empty list would lock everyone out.
    ReportFailure(msg::kWriteAccessListFailed, __LINE__, written);
    succeeded = false;
  }

  if (const platform::SysError error = security.SetOwner(file, ownerSid)) {
    ReportFailure(msg::kSetOwnerFailed, __LINE__, error);
    succeeded = false;
  }
  return succeeded;
}

}  // namespace glyphshift
