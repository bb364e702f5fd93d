#include "run/run_log.h"

#include "platform/streams.h"

namespace glyphshift {

CRunLog::CRunLog() {
  platform::FileId id;
  if (!platform::GetLogFileId(platform::StdStream::Output, id)) id_ = id;
}

bool CRunLog::IsAt(const FileLocation& location) const {
  platform::FileStatus status;
  return id_ && !location.error && !platform::Files().Status(*location.directory, location.name, status) &&
         status.type == platform::EntryType::Regular && Is(status.id);
}

}  // namespace glyphshift
