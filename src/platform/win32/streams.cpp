// Standard output and standard error on Windows. Routing sets the process's standard handles
// (SetStdHandle), so whatever else writes there follows, not only our own text; our text goes
// to the standard handle as it is when written, as POSIX writes go to descriptor 1 or 2. Text goes to a
// console as UTF-16 (WriteConsoleW), to a file or a pipe as UTF-8; every line feed becomes
// CR LF, as a text stream writes it.
#include "platform/streams.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/native_text.h"
#include "platform/win32/win32_calls.h"

namespace glyphshift::platform {

namespace {

using win32::Wide;

constexpr std::size_t kBufferSize = 2048;  // UTF-16 units

struct CStream {
  explicit CStream(DWORD id) : stdId(id) {}
  DWORD stdId;               // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
  HANDLE started = nullptr;  // the handle the program was started with, if any
  HANDLE handle = nullptr;   // where text goes now (owned unless it is `started`)
  StreamTarget target = StreamTarget::Console;
  bool unbuffered = false;
  bool console = false;  // a console buffer: written as UTF-16, flushed at each line end
  std::u16string logPath;
  std::u16string pending;
  SysError lost;  // the first failed write to a log file
};

CStream g_streams[] = {CStream(STD_OUTPUT_HANDLE), CStream(STD_ERROR_HANDLE)};

// The columns the status line covers on the console standard error was started with (0: none).
std::size_t g_statusShown = 0;

CStream& StreamOf(StdStream stream) { return g_streams[stream == StdStream::Output ? 0 : 1]; }
CStream& OtherOf(const CStream& s) { return &s == &g_streams[0] ? g_streams[1] : g_streams[0]; }

bool IsUsable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

// Writes everything or gives up on the first error: a reader that went away or a full disk
// loses the text, never the run.
SysError WriteBytes(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(handle, bytes.data(), want, &n, nullptr)) return win32::LastError("write");
    if (n == 0) return {ERROR_DISK_FULL, "write"};
    bytes.remove_prefix(n);
  }
  return {};
}

SysError WriteWide(HANDLE handle, std::u16string_view text, bool console) {
  if (!console) return WriteBytes(handle, ToNative(text));
  while (!text.empty()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
    if (!WriteConsoleW(handle, text.data(), want, &n, nullptr)) return win32::LastError("write");
    if (n == 0) return {ERROR_WRITE_FAULT, "write"};
    text.remove_prefix(n);
  }
  return {};
}

void Flush(CStream& s) {
  if (s.pending.empty()) return;
  EraseStatusLine();
  const HANDLE handle = GetStdHandle(s.stdId);
  if (s.target != StreamTarget::Closed && IsUsable(handle)) {
    const SysError error = WriteWide(handle, s.pending, IsConsole(handle));
    // A console whose reader went away may lose its text; a log must say it is incomplete.
    if (error && s.target == StreamTarget::LogFile && !s.lost) s.lost = error;
  }
  s.pending.clear();
}

void FlushAtExit() { FlushStreams(); }

void Initialise() {
  static bool done = false;
  if (done) return;
  done = true;
  for (CStream& s : g_streams) {
    const HANDLE handle = GetStdHandle(s.stdId);
    s.started = IsUsable(handle) ? handle : nullptr;
    s.handle = s.started;
    s.console = IsConsole(s.handle);
  }
  std::atexit(FlushAtExit);
}

void Install(CStream& s, HANDLE handle, StreamTarget target) {
  if (s.handle != nullptr && s.handle != s.started && s.handle != OtherOf(s).handle) CloseHandle(s.handle);
  s.handle = handle;
  s.target = target;
  s.console = IsConsole(handle);
  SetStdHandle(s.stdId, handle != nullptr ? handle : INVALID_HANDLE_VALUE);
}

HANDLE OpenDevice(const wchar_t* name, DWORD access) {
  const HANDLE handle =
      CreateFileW(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// The console of a run: the standard output it was started with when there is one (a
// redirection, a pipe, the console of the program that started it), else the console of the
// parent process, else a new console of its own. Standard input is reopened on "CONIN$" with
// it, although it is never read.
HANDLE OpenConsoleTarget(const CStream& s) {
  if (s.started != nullptr) {
    HANDLE duplicate = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), s.started, GetCurrentProcess(), &duplicate, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      return duplicate;
    }
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) AllocConsole();
  if (const HANDLE input = OpenDevice(L"CONIN$", GENERIC_READ | GENERIC_WRITE)) SetStdHandle(STD_INPUT_HANDLE, input);
  return OpenDevice(L"CONOUT$", GENERIC_READ | GENERIC_WRITE);
}

// The log is named by the person, but its folder may be writable by others: a link planted at
// its name would make the run append to a file it was never meant to touch, and a device or
// pipe could hold the run forever.
SysError OpenLogFile(const CStream& s, const std::u16string& logPath, HANDLE& opened) {
  opened = nullptr;
  if (logPath.find(u'\0') != std::u16string::npos) return {ERROR_INVALID_NAME, "open"};
  const CStream& other = OtherOf(s);
  if (other.target == StreamTarget::LogFile && other.logPath == logPath) {
    opened = other.handle;  // one opening shared by both streams
    return {};
  }
  const HANDLE handle =
      CreateFileW(Wide(win32::ToWin32Path(logPath)), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return win32::LastError("open");
  FileStatus status;
  const SysError error = win32::StatusOfHandle(handle, status);
  if (error || status.type != EntryType::Regular) {
    CloseHandle(handle);
    if (error) return error;
    return {status.type == EntryType::SymbolicLink ? kErrorIsLink : kErrorNotRegular, "open"};
  }
  opened = handle;
  return {};
}

SysError OpenTarget(const CStream& s, StreamTarget target, const std::u16string& logPath, HANDLE& opened) {
  opened = nullptr;
  switch (target) {
    case StreamTarget::Console: opened = OpenConsoleTarget(s); break;
    case StreamTarget::ErrorConsole: opened = OpenConsoleTarget(g_streams[1]); break;
    case StreamTarget::Terminal: opened = OpenDevice(L"CONOUT$", GENERIC_READ | GENERIC_WRITE); break;
    case StreamTarget::Null:
    case StreamTarget::Closed: opened = OpenDevice(L"NUL", GENERIC_WRITE); break;
    case StreamTarget::LogFile: return OpenLogFile(s, logPath, opened);
  }
  if (opened == nullptr) return win32::LastError("open");
  return {};
}

}  // namespace

SysError RouteStream(StdStream stream, StreamTarget target, const std::u16string& logPath) {
  Initialise();
  CStream& s = StreamOf(stream);
  Flush(s);  // what was written before belongs to the old target
  HANDLE handle = nullptr;
  const SysError error = OpenTarget(s, target, logPath, handle);
  if (error) {
    // Text is dropped from now on, also what other code writes to the standard handle.
    Install(s, OpenDevice(L"NUL", GENERIC_WRITE), StreamTarget::Closed);
    s.logPath.clear();
    return error;
  }
  Install(s, handle, target);
  s.logPath = target == StreamTarget::LogFile ? logPath : std::u16string();
  return {};
}

SysError GetLogFileId(StdStream stream, FileId& id) {
  id = {};
  Initialise();
  const CStream& s = StreamOf(stream);
  if (s.target != StreamTarget::LogFile) return {kErrorNotFound, "GetFileInformationByHandle"};
  FileStatus status;
  if (auto error = win32::StatusOfHandle(s.handle, status)) return error;
  id = status.id;
  return {};
}

SysError LogWriteError(StdStream stream) {
  Initialise();
  return StreamOf(stream).lost;
}

// A GUI program started from a console has no standard handles: its last words go to the
// console of the program that started it, where one exists.
void WriteToConsole(StdStream stream, std::u16string_view text) {
  Initialise();
  EraseStatusLine();
  const CStream& s = StreamOf(stream);
  HANDLE target = s.started;
  HANDLE opened = nullptr;
  if (target == nullptr && AttachConsole(ATTACH_PARENT_PROCESS)) {
    opened = OpenDevice(L"CONOUT$", GENERIC_READ | GENERIC_WRITE);
    target = opened;
  }
  if (target == nullptr) return;
  std::u16string lines;
  for (const char16_t c : text) {
    if (c == u'\n') lines += u'\r';
    lines += c;
  }
  (void)WriteWide(target, lines, IsConsole(target));
  if (opened != nullptr) CloseHandle(opened);
}

void SetUnbuffered(StdStream stream, bool unbuffered) {
  Initialise();
  CStream& s = StreamOf(stream);
  if (unbuffered) Flush(s);
  s.unbuffered = unbuffered;
}

void WriteText(StdStream stream, std::u16string_view text) {
  Initialise();
  CStream& s = StreamOf(stream);
  if (s.target == StreamTarget::Closed) return;
  bool lineEnd = false;
  for (const char16_t c : text) {
    if (c == u'\n') {
      s.pending += u'\r';
      lineEnd = true;
    }
    s.pending += c;
  }
  if (s.unbuffered || s.pending.size() >= kBufferSize || (s.console && lineEnd)) Flush(s);
}

void FlushStreams() {
  for (CStream& s : g_streams) Flush(s);
}

std::size_t StatusLineColumns() {
  Initialise();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const HANDLE console = g_streams[1].started;
  if (console == nullptr || !IsConsole(console) || !GetConsoleScreenBufferInfo(console, &info)) return 0;
  return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

// Drawn over the old line with spaces where it was longer, erased by spaces: plain characters,
// which every console shows alike.
void ShowStatusLine(std::u16string_view text) {
  Initialise();
  const HANDLE console = g_streams[1].started;
  if (console == nullptr) return;
  std::u16string line = u"\r" + std::u16string(text);
  if (text.size() < g_statusShown) line.append(g_statusShown - text.size(), u' ');
  (void)WriteWide(console, line, true);
  g_statusShown = std::max(text.size(), g_statusShown);
}

void EraseStatusLine() {
  if (g_statusShown == 0) return;
  std::u16string blank = u"\r" + std::u16string(g_statusShown, u' ') + u"\r";
  g_statusShown = 0;
  (void)WriteWide(g_streams[1].started, blank, true);
}

SysError CopyToStandardOutput(const CSpool& spool) {
  Initialise();
  EraseStatusLine();
  const HANDLE out = g_streams[0].started;
  if (out == nullptr) return {ERROR_INVALID_HANDLE, "write"};
  CFile file;
  if (const SysError error = spool.OpenForReading(file)) return error;
  std::vector<std::uint8_t> buffer(1u << 20);
  for (std::uint64_t offset = 0; offset < spool.Size();) {
    std::size_t got = 0;
    if (const SysError error = Files().ReadFile(file, offset, buffer.data(), buffer.size(), got)) return error;
    if (got == 0) return {ERROR_HANDLE_EOF, "read"};
    for (std::size_t done = 0; done < got;) {
      DWORD n = 0;
      if (!WriteFile(out, buffer.data() + done, static_cast<DWORD>(got - done), &n, nullptr)) {
        return win32::LastError("write");
      }
      done += n;
    }
    offset += got;
  }
  return {};
}

}  // namespace glyphshift::platform
