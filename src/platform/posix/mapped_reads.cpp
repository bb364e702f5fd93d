// Mapped windows of source files on POSIX, and what happens when a file is cut short under one.
// A read of a page past the new end of a mapped file raises SIGBUS, which would end the process
// with every message still pending. The handler puts zero pages where the file's pages were and
// marks the window cut, so the read goes on and the caller learns from the window that what it
// read is not the file (it then leaves the file alone).
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>

#include "platform/files.h"
#include "platform/posix/posix_calls.h"

namespace glyphshift::platform {
namespace {

// A window a signal handler can find: only lock-free fields, filled before `used` is set.
// Claimed by a compare-and-swap, as workers map windows at once.
enum WindowState : int { kWindowFree, kWindowFilling, kWindowUsed };
struct WindowSlot {
  std::atomic<int> state;
  volatile std::sig_atomic_t cut;
  std::uintptr_t start;
  std::size_t length;
};

// A worker reads one window at a time; past these a worker reads instead of mapping.
constexpr int kWindowSlots = 64;
WindowSlot gWindows[kWindowSlots];
std::uintptr_t gPageSize = 4096;

void OnBusError(int, siginfo_t* info, void*) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (WindowSlot& window : gWindows) {
    if (window.state.load() != kWindowUsed || address < window.start || address >= window.start + window.length)
      continue;
    const std::uintptr_t page = address / gPageSize * gPageSize;
    void* zeros = ::mmap(reinterpret_cast<void*>(page), window.start + window.length - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros != MAP_FAILED) {
      window.cut = 1;
      return;  // the read is made again, of a zero
    }
  }
  // Not a window of ours: a fault the program cannot go on from. The default action ends the
  // process when the read is made again, after the staged files are gone.
  posix::RemoveStagedFilesNow();
  ::signal(SIGBUS, SIG_DFL);
}

void InstallBusErrorHandler() {
  static const bool installed = [] {
    gPageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, nullptr) == 0;
  }();
  (void)installed;
}

int TakeWindowSlot(std::uintptr_t start, std::size_t length) {
  for (int i = 0; i < kWindowSlots; ++i) {
    WindowSlot& window = gWindows[i];
    int expected = kWindowFree;
    if (!window.state.compare_exchange_strong(expected, kWindowFilling)) continue;
    window.start = start;
    window.length = length;
    window.cut = 0;
    window.state.store(kWindowUsed);  // filled before it counts as used
    return i;
  }
  return -1;
}

}  // namespace

CMappedBytes::~CMappedBytes() { Release(); }

void CMappedBytes::Release() {
  if (data == nullptr) return;
  const auto address = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t start = address / gPageSize * gPageSize;
  ::munmap(reinterpret_cast<void*>(start), size + (address - start));
  if (slot >= 0) {
    gWindows[slot].state.store(kWindowFree);
  }
  data = nullptr;
  size = 0;
  slot = -1;
}

bool CMappedBytes::WasCut() const { return slot >= 0 && gWindows[slot].cut != 0; }

namespace posix {

SysError MapWindow(int fd, std::uint64_t offset, std::size_t size, CMappedBytes& view) {
  InstallBusErrorHandler();
  const std::uint64_t start = offset / gPageSize * gPageSize;
  const auto length = static_cast<std::size_t>(offset - start + size);
  // MAP_POPULATE reads the window in with one call instead of a page fault every few pages.
  void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, static_cast<off_t>(start));
  if (mapped == MAP_FAILED) return Errno("mmap");
  const int slot = TakeWindowSlot(reinterpret_cast<std::uintptr_t>(mapped), length);
  if (slot < 0) {
    // Without a record a cut could not be told: the caller reads instead.
    ::munmap(mapped, length);
    return {EBUSY, "mmap"};
  }
  view.data = static_cast<const std::uint8_t*>(mapped) + (offset - start);
  view.size = size;
  view.slot = slot;
  return {};
}

}  // namespace posix
}  // namespace glyphshift::platform
