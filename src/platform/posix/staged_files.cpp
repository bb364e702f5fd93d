// Staged files on POSIX: a destination is written under a temporary name in its directory,
// given its attributes through the descriptor, and renamed into place only when complete. A
// failure, a kill or an interrupt at any moment leaves the old file whole and no partial file
// under a final name.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/native_text.h"
#include "platform/posix/posix_calls.h"
#include "platform/temporary_names.h"

namespace glyphshift::platform {

namespace {

using posix::Errno;
using posix::Fd;
using posix::RetryOnEintr;

// Random bytes for the names, taken from the kernel many names at a time: one call per file
// costs more than the rest of the name.
bool TakeRandom(unsigned char* bytes, std::size_t count) {
  thread_local unsigned char pool[40 * kTemporarySuffix];
  thread_local std::size_t used = sizeof pool;
  if (sizeof pool - used < count) {
    if (::getrandom(pool, sizeof pool, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof pool)) return false;
    used = 0;
  }
  std::memcpy(bytes, pool + used, count);
  used += count;
  return true;
}

std::string RandomTemporaryName() {
  unsigned char random[kTemporarySuffix];
  if (!TakeRandom(random, sizeof random)) {
    // Early in boot the pool may be empty: any spread will do, O_EXCL catches collisions.
    static std::atomic<std::uint64_t> counter{0};
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t mixed = (ticks ^ (static_cast<std::uint64_t>(::getpid()) << 32)) + ++counter * 0x9E3779B97F4A7C15ull;
    for (unsigned char& byte : random) {
      byte = static_cast<unsigned char>(mixed);
      mixed = mixed * 6364136223846793005ull + 1442695040888963407ull;
      byte ^= static_cast<unsigned char>(mixed >> 56);
    }
  }
  std::string name(kTemporaryPrefix);
  for (unsigned char byte : random) name += kTemporaryAlphabet[byte % (sizeof kTemporaryAlphabet - 1)];
  return name;
}

// ---- the interrupt clean-up ------------------------------------------------------------------
//
// The signal handler may only use what is async-signal-safe: a fixed table of the temporary
// names in progress, each with the descriptor of its directory, and unlinkat(). The staged file
// names its directory, which stays open until the file is renamed or removed: the descriptor
// cannot be closed or reused while the slot is in use.

// Workers create staged files at once: a slot is claimed by one compare-and-swap, filled, and only
// then marked in use; the handler reads nothing else. A lock-free atomic is safe in a handler.
enum SlotState : int { kSlotFree, kSlotFilling, kSlotUsed };
struct StagedSlot {
  std::atomic<int> state;
  int directory;
  char name[16];
};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(kTemporaryPrefix.size() + kTemporarySuffix < sizeof(StagedSlot::name));

// Far more than the staged files one run keeps at a time: two batches of them, one flushing
// while the next fills, and the files the workers convert.
constexpr int kSlotCount = 4096;
StagedSlot gSlots[kSlotCount];

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveStagedAndEnd(int signal) {
  posix::RemoveStagedFilesNow();
  // The handler was installed with SA_RESETHAND: once it returns, the signal ends the process
  // as it would have without us.
  ::raise(signal);
}

// Returns the slot, or -1 when every slot is taken (the file is then only removed by the
// caller, not on an interrupt).
int RegisterStaged(int directory, const std::string& name) {
  // The search starts past the slot claimed last: with a batch of files waiting, the first slots
  // are taken, and a claim that swept them every time would cost more than the file.
  static std::atomic<int> next{0};
  const int start = next.load(std::memory_order_relaxed);
  for (int n = 0; n < kSlotCount; ++n) {
    const int i = (start + n) % kSlotCount;
    StagedSlot& slot = gSlots[i];
    int expected = kSlotFree;
    if (slot.state.load(std::memory_order_relaxed) != kSlotFree ||
        !slot.state.compare_exchange_strong(expected, kSlotFilling)) {
      continue;
    }
    next.store((i + 1) % kSlotCount, std::memory_order_relaxed);
    slot.directory = directory;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.state.store(kSlotUsed);  // filled before it counts as used
    return i;
  }
  return -1;
}

void UnregisterStaged(int index) {
  if (index < 0) return;
  gSlots[index].state.store(kSlotFree);
}

// Set on a thread that never takes the interrupts.
thread_local bool gInterruptsBlocked = false;

// Holds the interrupt signals back for its lifetime, so a file's creation and its record are one
// step for the handler.
class CInterruptsHeld {
 public:
  CInterruptsHeld() : held_(!gInterruptsBlocked) {
    if (!held_) return;
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kInterruptSignals) sigaddset(&set, signal);
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~CInterruptsHeld() {
    if (held_) ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
  }
  CInterruptsHeld(const CInterruptsHeld&) = delete;
  CInterruptsHeld& operator=(const CInterruptsHeld&) = delete;

 private:
  bool held_;
  sigset_t previous_;
};

void RemoveTemporary(CStagedFile& staged) {
  if (staged.temporaryName.empty() || staged.directory == nullptr) return;
  ::unlinkat(Fd(staged.directory->handle), platform::ToNative(staged.temporaryName).c_str(), 0);
  UnregisterStaged(staged.slot);
  staged.slot = -1;
  staged.temporaryName.clear();
}

// Read before main(), while the process is single-threaded: umask() can only be read by setting
// it, and a file another thread created meanwhile would get the wrong mode.
const mode_t kProcessUmask = [] {
  const mode_t m = ::umask(0);
  ::umask(m);
  return m;
}();

mode_t ProcessUmask() { return kProcessUmask; }

// Copies the extended attributes of `from` to `to`, the access ACL among them. File
// capabilities stay behind: converted text must not become a privileged program. Attributes
// the process may not set (another user's "trusted." ones) or the file system does not take
// are skipped, as a copy by the file's owner would skip them.
SysError CopyExtendedAttributes(int from, int to) {
  std::string names(256, '\0');
  ssize_t listed;
  for (;;) {
    listed = ::flistxattr(from, names.data(), names.size());
    if (listed >= 0) break;
    if (errno == ENOTSUP) return {};
    if (errno != ERANGE) return Errno("flistxattr");
    names.resize(names.size() * 4);
  }
  std::string value(256, '\0');
  for (std::size_t at = 0; at < static_cast<std::size_t>(listed);) {
    const char* name = names.c_str() + at;
    at += std::strlen(name) + 1;
    if (std::strcmp(name, "security.capability") == 0) continue;
    ssize_t size;
    for (;;) {
      size = ::fgetxattr(from, name, value.data(), value.size());
      if (size >= 0 || errno != ERANGE) break;
      value.resize(value.size() * 4);
    }
    if (size < 0) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return Errno("fgetxattr");
    }
    if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(size), 0) != 0 && errno != EPERM &&
        errno != ENOTSUP && errno != EACCES) {
      return Errno("fsetxattr");
    }
  }
  return {};
}

}  // namespace

CStagedFile::~CStagedFile() { RemoveTemporary(*this); }

void RemoveStagedFilesOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = RemoveStagedAndEnd;
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  for (int signal : kInterruptSignals) sigaddset(&action.sa_mask, signal);
  for (int signal : kInterruptSignals) {
    struct sigaction previous {};
    // A signal the caller ignores (nohup) stays ignored.
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

std::uint32_t NewFilePermissions(std::uint32_t permissions) {
  return permissions & 0777u & ~static_cast<std::uint32_t>(ProcessUmask());
}

namespace posix {

void RemoveStagedFilesNow() {
  const int saved = errno;
  for (StagedSlot& slot : gSlots) {
    if (slot.state.load() == kSlotUsed) ::unlinkat(slot.directory, slot.name, 0);
  }
  errno = saved;
}

SysError CreateStaged(const CDirectory& directory, CStagedFile& staged) {
  RemoveTemporary(staged);
  staged.handle.Reset();
  staged.written = 0;
  ProcessUmask();
  constexpr int kAttempts = 100;
  // From its creation on the temporary file is on record: an interrupt in between would leave it.
  const CInterruptsHeld held;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string name = RandomTemporaryName();
    // Readable by the process alone until it is complete: nobody reads half a file, and a
    // leftover of a killed run gives nothing away.
    const int fd = RetryOnEintr([&] {
      return ::openat(Fd(directory.handle), name.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    });
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Errno("open");
    }
    CHandle created(fd);
    // Locked for as long as the run holds it, so a later run tells a leftover of a run that was
    // killed from a file in progress (ReclaimTemporary). Between the creation and the lock such
    // a run may take the lock first: the file is then left to it, and another name is tried.
    // Where the file system has no locks, nobody can take one, and nothing is reclaimed.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) continue;
    struct stat st, named;
    if (::fstat(fd, &st) != 0) return Errno("fstat");
    if (::fstatat(Fd(directory.handle), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        posix::StatusOf(named).id != posix::StatusOf(st).id) {
      continue;  // reclaimed just before the lock was taken
    }
    staged.handle = std::move(created);
    staged.id = posix::StatusOf(st).id;
    staged.owner = static_cast<std::uint32_t>(st.st_uid);
    staged.group = static_cast<std::uint32_t>(st.st_gid);
    staged.directory = &directory;
    staged.temporaryName = FromNative(name);
    staged.slot = RegisterStaged(Fd(directory.handle), name);
    return {};
  }
  return {EEXIST, "open"};
}

SysError WriteStaged(CStagedFile& staged, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = RetryOnEintr([&] {
      return ::pwrite(Fd(staged.handle), data.data() + done, data.size() - done, static_cast<off_t>(staged.written));
    });
    if (n < 0) return Errno("write");
    // A regular file that takes nothing has no room left.
    if (n == 0) return {ENOSPC, "write"};
    done += static_cast<std::size_t>(n);
    staged.written += static_cast<std::uint64_t>(n);
  }
  return {};
}

SysError TruncateStaged(CStagedFile& staged, std::uint64_t size) {
  if (RetryOnEintr([&] { return ::ftruncate(Fd(staged.handle), static_cast<off_t>(size)); }) != 0) {
    return Errno("ftruncate");
  }
  staged.written = size;
  return {};
}

void StartFlushStaged(CStagedFile& staged) {
  // Only the start of the write-back: the flush that waits for it comes later, for a batch.
  (void)::sync_file_range(Fd(staged.handle), 0, 0, SYNC_FILE_RANGE_WRITE);
}

SysError CopyAttributes(CStagedFile& staged, const CFile& replaced) {
  // The attributes as the file was opened: those its grants were checked by.
  const FileStatus& status = replaced.status;
  // Only root may give a file away; others keep the file as theirs, as a new file would be.
  if ((status.owner != staged.owner || status.group != staged.group) &&
      ::fchown(Fd(staged.handle), status.owner, status.group) != 0 && errno != EPERM) {
    return Errno("fchown");
  }
  // After fchown, which clears set-user-ID and set-group-ID anyway.
  if (::fchmod(Fd(staged.handle), status.permissions & 01777) != 0) return Errno("fchmod");
  return CopyExtendedAttributes(Fd(replaced.handle), Fd(staged.handle));
}

SysError SetNewFilePermissions(CStagedFile& staged, std::uint32_t permissions) {
  if (::fchmod(Fd(staged.handle), static_cast<mode_t>(NewFilePermissions(permissions))) != 0) return Errno("fchmod");
  return {};
}

SysError FlushStaged(CStagedFile& staged) {
  if (RetryOnEintr([&] { return ::fsync(Fd(staged.handle)); }) != 0) return Errno("fsync");
  return {};
}

SysError WaitForStaged(CStagedFile& staged) {
  // The data only, and this file's own errors; the file system's flush that follows commits
  // the metadata and empties the disk's cache once for the whole batch.
  constexpr unsigned kWriteAndWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  if (RetryOnEintr([&] { return ::sync_file_range(Fd(staged.handle), 0, 0, kWriteAndWait); }) != 0) {
    return Errno("sync_file_range");
  }
  return {};
}

SysError Commit(CStagedFile& staged, const std::u16string& name, Replace replace) {
  std::string native;
  if (auto error = posix::ToNativeName(name, native)) return error;
  const int fd = Fd(staged.directory->handle);
  const std::string temporary = ToNative(staged.temporaryName);
  // No need to hold interrupts back: once renamed, the temporary name the handler would remove
  // is gone.
  int r = replace == Replace::Allowed ? ::renameat(fd, temporary.c_str(), fd, native.c_str())
                                      : ::renameat2(fd, temporary.c_str(), fd, native.c_str(), RENAME_NOREPLACE);
  if (r != 0 && replace == Replace::Never && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the flag: a hard link is never made over an existing name either.
    r = ::linkat(fd, temporary.c_str(), fd, native.c_str(), 0);
    if (r == 0) ::unlinkat(fd, temporary.c_str(), 0);
  }
  if (r != 0) return Errno("rename");
  UnregisterStaged(staged.slot);
  staged.slot = -1;
  staged.temporaryName.clear();
  return {};
}

void Discard(CStagedFile& staged) {
  RemoveTemporary(staged);
  staged.handle.Reset();
}

}  // namespace posix

void BlockInterruptsOnThisThread() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kInterruptSignals) sigaddset(&set, signal);
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  gInterruptsBlocked = true;
}

}  // namespace glyphshift::platform
