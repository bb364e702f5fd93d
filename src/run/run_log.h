// The run's own log file. No file of the run is converted into or out of it: converting it
// would rewrite the file the run is appending to and lose the lines to come.
#pragma once

#include <optional>

#include "convert/process_file.h"
#include "platform/files.h"

namespace glyphshift {

class CRunLog {
 public:
  // The log the run's messages go to, if they go to a file; read once, after the routing.
  CRunLog();

  // Whether `id` is the log's identity.
  bool Is(const platform::FileId& id) const { return id_ && *id_ == id; }
  // Whether the name of `location` holds the log (a link there is replaced, never followed, so
  // only the file itself counts).
  bool IsAt(const FileLocation& location) const;

 private:
  std::optional<platform::FileId> id_;
};

}  // namespace glyphshift
