// Standard output and standard error on POSIX. Routing moves the descriptors 1 and 2 themselves
// (dup2), so everything the process writes there follows, not only our own text. Each stream
// keeps a small buffer of its own; the C library's stdio buffers play no part.
#include "platform/streams.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/native_text.h"
#include "platform/posix/posix_calls.h"

namespace glyphshift::platform {

namespace {

constexpr std::size_t kBufferSize = 4096;

struct CStream {
  explicit CStream(int descriptor) : fd(descriptor) {}
  int fd;                      // 1 or 2
  int console = -1;            // a duplicate of the descriptor the program was started with
  bool startedClosed = false;  // started without it: the console is /dev/null then
  StreamTarget target = StreamTarget::Console;
  bool unbuffered = false;
  bool terminal = false;   // flushed at each line end, so a person sees progress
  std::u16string logPath;  // for a LogFile target
  std::string pending;
  SysError lost;  // the first failed write to a log file
};

CStream gStreams[] = {CStream(STDOUT_FILENO), CStream(STDERR_FILENO)};

// The status line on the terminal of the standard error the program was started with: how many
// columns it covers now (0 when none is shown).
std::size_t gStatusShown = 0;

CStream& StreamOf(StdStream stream) { return gStreams[stream == StdStream::Output ? 0 : 1]; }

int OpenNull() { return ::open("/dev/null", O_RDWR | O_CLOEXEC); }

// Writes everything or stops at the first error, which it returns: for text, a reader that went
// away (EPIPE) or a full disk loses the text, never the run.
SysError WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {errno, "write"};
    if (n == 0) return {EIO, "write"};
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

void Flush(CStream& s) {
  if (s.pending.empty()) return;
  EraseStatusLine();
  if (s.target != StreamTarget::Closed) {
    const SysError error = WriteAll(s.fd, s.pending);
    // A console whose reader went away may lose its text; a log must say it is incomplete.
    if (error && s.target == StreamTarget::LogFile && !s.lost) s.lost = error;
  }
  s.pending.clear();
}

void FlushAtExit() { FlushStreams(); }

// The columns a text takes on a terminal, one for each character (a low surrogate completes
// its character).
std::size_t ColumnsOf(std::u16string_view text) {
  std::size_t columns = 0;
  for (const char16_t c : text) columns += (c >= 0xDC00 && c <= 0xDFFF) ? 0 : 1;
  return columns;
}

// Once, before the first routing or write: keep the descriptors the program started with, and
// make sure 1 and 2 are open, so no file opened later lands on them and receives stray output.
void Initialise() {
  static bool done = false;
  if (done) return;
  done = true;
  // A closed pipe must not end the run: its text is dropped instead. Nor must a file-size limit
  // (ulimit -f): a write beyond it fails with EFBIG, an ordinary write error.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  for (CStream& s : gStreams) {
    s.console = ::fcntl(s.fd, F_DUPFD_CLOEXEC, 3);
    if (s.console < 0) {  // started without this descriptor: the console is nowhere
      s.startedClosed = true;
      s.console = OpenNull();
      if (s.console >= 0 && s.console != s.fd) ::dup2(s.console, s.fd);
    }
    s.terminal = ::isatty(s.fd) == 1;
  }
  std::atexit(FlushAtExit);
}

// Puts `fd` (owned) under the stream's descriptor.
SysError Install(CStream& s, int fd, StreamTarget target) {
  if (fd != s.fd) {
    const int r = ::dup2(fd, s.fd);
    const int saved = errno;
    ::close(fd);
    if (r < 0) return {saved, "dup2"};
  }
  s.target = target;
  s.terminal = ::isatty(s.fd) == 1;
  return {};
}

CStream& OtherOf(const CStream& s) { return &s == &gStreams[0] ? gStreams[1] : gStreams[0]; }

// The log is named by the person, but its directory may be writable by others: a link planted
// at its name would make the run append to a file it was never meant to touch, and a FIFO
// would hold the run forever. Its folders are walked as every named path is (links only by the
// rule for shared folders). New logs are private: they name every file of the run.
int OpenLogFile(const CStream& s, const std::u16string& logPath) {
  if (logPath.find(u'\0') != std::u16string::npos) {
    errno = EINVAL;
    return -1;
  }
  const CStream& other = OtherOf(s);
  if (other.target == StreamTarget::LogFile && other.logPath == logPath) return ::fcntl(other.fd, F_DUPFD_CLOEXEC, 0);
  CHandle folder;
  std::string name, where;
  if (const SysError error = posix::OpenNamedFolder(ToNative(logPath), false, folder, name, where)) {
    errno = error.code;
    return -1;
  }
  const int dirFd = posix::Fd(folder);
  const int fd = posix::RetryOnEintr([&] {
    return ::openat(dirFd, name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                    0600);
  });
  if (fd < 0) {
    const int saved = errno;
    struct stat st;
    // O_NOFOLLOW says ELOOP and a FIFO without a reader ENXIO: tell the person what is there.
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISLNK(st.st_mode)) {
        errno = kErrorIsLink;
        return -1;
      }
      if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        errno = kErrorNotRegular;
        return -1;
      }
    }
    errno = saved;
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = kErrorNotRegular;
    return -1;
  }
  ::fcntl(fd, F_SETFL, O_WRONLY | O_APPEND);  // writes may block again, as on any file
  return fd;
}

int OpenTarget(const CStream& s, StreamTarget target, const std::u16string& logPath) {
  switch (target) {
    case StreamTarget::Console: return ::fcntl(s.console, F_DUPFD_CLOEXEC, 0);
    case StreamTarget::ErrorConsole: return ::fcntl(gStreams[1].console, F_DUPFD_CLOEXEC, 0);
    case StreamTarget::Terminal: return ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    case StreamTarget::Null:
    case StreamTarget::Closed: return OpenNull();
    case StreamTarget::LogFile: return OpenLogFile(s, logPath);
  }
  errno = EINVAL;
  return -1;
}

}  // namespace

SysError RouteStream(StdStream stream, StreamTarget target, const std::u16string& logPath) {
  Initialise();
  CStream& s = StreamOf(stream);
  Flush(s);  // what was written before belongs to the old target
  const int fd = OpenTarget(s, target, logPath);
  const bool duplicate = target == StreamTarget::Console || target == StreamTarget::ErrorConsole;
  SysError error = fd < 0 ? SysError{errno, duplicate ? "dup" : "open"} : Install(s, fd, target);
  s.logPath = !error && target == StreamTarget::LogFile ? logPath : std::u16string();
  if (error) {
    // Text is dropped from now on, also what other code writes to the descriptor directly.
    const int null = OpenNull();
    if (null >= 0) (void)Install(s, null, StreamTarget::Closed);
    s.target = StreamTarget::Closed;
  }
  return error;
}

SysError GetLogFileId(StdStream stream, FileId& id) {
  id = {};
  Initialise();
  const CStream& s = StreamOf(stream);
  if (s.target != StreamTarget::LogFile) return {ENOENT, "fstat"};
  struct stat st;
  if (::fstat(s.fd, &st) != 0) return {errno, "fstat"};
  id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return {};
}

SysError LogWriteError(StdStream stream) {
  Initialise();
  return StreamOf(stream).lost;
}

void WriteToConsole(StdStream stream, std::u16string_view text) {
  Initialise();
  EraseStatusLine();
  (void)WriteAll(StreamOf(stream).console, ToNative(text));
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
  s.pending += ToNative(text);
  if (s.unbuffered || s.pending.size() >= kBufferSize || (s.terminal && text.find(u'\n') != text.npos)) Flush(s);
}

void FlushStreams() {
  for (CStream& s : gStreams) Flush(s);
}

std::size_t StatusLineColumns() {
  Initialise();
  const int fd = gStreams[1].console;
  if (::isatty(fd) != 1) return 0;
  winsize size{};
  // A terminal that does not say how wide it is gets the width terminals start with.
  return ::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col != 0 ? size.ws_col : 80;
}

// Drawn over the old line with spaces where it was longer, the cursor left after the text;
// erased by overwriting it with spaces, the cursor back at the start. Plain characters work on
// every terminal, where cursor controls depend on its kind.
void ShowStatusLine(std::u16string_view text) {
  Initialise();
  std::string line = "\r" + ToNative(text);
  const std::size_t columns = ColumnsOf(text);
  if (columns < gStatusShown) line.append(gStatusShown - columns, ' ');
  (void)WriteAll(gStreams[1].console, line);
  gStatusShown = std::max(columns, gStatusShown);
}

void EraseStatusLine() {
  if (gStatusShown == 0) return;
  std::string blank = "\r";
  blank.append(gStatusShown, ' ');
  blank += '\r';
  gStatusShown = 0;
  (void)WriteAll(gStreams[1].console, blank);
}

SysError CopyToStandardOutput(const CSpool& spool) {
  Initialise();
  EraseStatusLine();
  CFile file;
  if (const SysError error = spool.OpenForReading(file)) return error;
  // Text sent nowhere did not arrive: a program started without standard output fails the file.
  if (gStreams[0].startedClosed) return {EBADF, "write"};
  const int in = static_cast<int>(file.handle.Get());
  const int out = gStreams[0].console;
  // sendfile hands the bytes over inside the kernel; a target it cannot serve (EINVAL) gets
  // them through a buffer.
  off_t offset = 0;
  while (static_cast<std::uint64_t>(offset) < spool.Size()) {
    const ssize_t n =
        ::sendfile(out, in, &offset, static_cast<std::size_t>(spool.Size() - static_cast<std::uint64_t>(offset)));
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EINVAL && errno != ENOSYS) return {errno, "write"};
    break;
  }
  std::string buffer(1u << 20, '\0');
  while (static_cast<std::uint64_t>(offset) < spool.Size()) {
    const ssize_t n = ::pread(in, buffer.data(), buffer.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {n < 0 ? errno : EIO, "read"};
    if (const SysError error = WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n))))
      return error;
    offset += n;
  }
  return {};
}

}  // namespace glyphshift::platform
