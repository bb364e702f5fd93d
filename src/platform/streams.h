// Standard output and standard error of a run, and where they go.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/sys_error.h"

namespace glyphshift::platform {

enum class StdStream { Output, Error };

enum class StreamTarget {
  Console,       // the stream the program was started with
  ErrorConsole,  // the standard error the program was started with (filter mode's messages)
  Terminal,      // the controlling terminal (/dev/tty; "CONOUT$" on Windows)
  Null,          // nowhere (/dev/null; "nul")
  LogFile,       // a regular file, appended to and created (mode 0600) when missing; a link at its
                 // name is refused, as are FIFOs and devices (never waited on)
  Closed,        // a target that could not be opened: text is dropped
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

// ---- the status line: one line of its own on the terminal standard error was started with ----

// The columns of that terminal; 0 when standard error was not started on a terminal.
std::size_t StatusLineColumns();
// Draws `text` (one line, narrower than the terminal) in place of the status line shown. Text
// written to either stream, or to standard output as data, erases the line first.
void ShowStatusLine(std::u16string_view text);
void EraseStatusLine();

// ---- filter mode: standard input and standard output carry the text ----

// Bytes kept to be read back as a file: in memory up to kMemoryBytes, then in a temporary file
// that has no name (the memory moves there), so that a large input costs disk, not memory.
// Nobody else can open it. Gone with the object.
class CSpool {
 public:
  // 16 MiB: most texts fit, and the memory of the run stays well below what a desktop spares.
  static constexpr std::uint64_t kMemoryBytes = 16ull << 20;

  CSpool() = default;
  CSpool(const CSpool&) = delete;
  CSpool& operator=(const CSpool&) = delete;

  SysError Append(std::span<const std::uint8_t> bytes);
  // Cuts the spool back to `size` bytes; later bytes are appended from there.
  SysError Truncate(std::uint64_t size);
  std::uint64_t Size() const { return size_; }
  bool InFile() const { return inFile_; }
  // The spooled bytes as an open regular file of their size, for reading at offsets.
  SysError OpenForReading(CFile& file) const;

 private:
  SysError Spill();

  CHandle handle_;
  std::uint64_t size_ = 0;
  bool inFile_ = false;
};

// Standard input as a regular file to read at offsets: standard input itself when it is a
// regular file read from its start (`cmd < file`), else everything it delivers, read to its end
// into `spool`, each piece's size told to `read` (for progress). The file's permission bits are
// those a new destination gets: the file's own, or 0666 for a pipe, as a shell's redirection
// creates a file.
SysError OpenStandardInput(CSpool& spool, CFile& file, const std::function<void(std::size_t)>& read);

// Writes the spooled bytes to the standard output the program was started with, wherever the
// messages are routed. A reader that went away is EPIPE.
SysError CopyToStandardOutput(const CSpool& spool);

}  // namespace glyphshift::platform
