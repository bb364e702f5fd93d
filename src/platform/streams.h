// Standard output and standard error of a run, and where they go.
#pragma once

#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/sys_error.h"

namespace glyphshift::platform {

enum class StdStream { Output, Error };

enum class StreamTarget {
  Console,   // the stream the program was started with
  Terminal,  // the controlling terminal (/dev/tty; "CONOUT$" on Windows)
  Null,      // nowhere (/dev/null; "nul")
  LogFile,   // a regular file, appended to and created (mode 0600) when missing; a link at its
             // name is refused, as are FIFOs and devices (never waited on)
  Closed,    // a target that could not be opened: text is dropped
};

// Points a stream at a target. On failure the stream is Closed and the error returned. Both
// streams routed to one log path share one opening of it.
SysError RouteStream(StdStream stream, StreamTarget target, const std::u16string& logPath = {});

// The identity of the log file a stream writes to; ENOENT when it writes to none.
SysError GetLogFileId(StdStream stream, FileId& id);

// The first write to a log file that failed (a full disk, a file-size limit) since the stream
// was routed there, or success: the text of that write and perhaps of later ones is missing.
SysError LogWriteError(StdStream stream);

// Writes straight to what the stream was when the program started, whatever it is routed to
// now: for the last words of a run that could not set its streams up.
void WriteToConsole(StdStream stream, std::u16string_view text);

// Streams are buffered (a terminal at each line end) and flushed at exit and before rerouting.
// Unbuffered streams reach their target at once, so two streams routed to one file interleave
// in the order written.
void SetUnbuffered(StdStream stream, bool unbuffered);

// Writes UTF-16 text as native text (UTF-8 with LF line ends on POSIX).
void WriteText(StdStream stream, std::u16string_view text);
void FlushStreams();

}  // namespace glyphshift::platform
