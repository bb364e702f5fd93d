#include "e2e/morfex_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

extern char** environ;

namespace glyphshift::e2e {
namespace {

// The child's environment: ours without the display variables, so the dialog and the help
// window are unavailable as on a server.
// A sanitizer's report must not pass for one of the program's own statuses (1 and 2 are results
// of conversions), and the program sends its standard error nowhere: the report goes to a file
// beside the test's temporary files and the status is one no run gives.
std::vector<std::string> ChildEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
    if (entry.rfind("ASAN_OPTIONS=", 0) == 0 || entry.rfind("UBSAN_OPTIONS=", 0) == 0) continue;
    env.push_back(entry);
  }
  env.push_back("ASAN_OPTIONS=exitcode=86:log_path=/tmp/glyphshift-sanitizer");
  env.push_back("UBSAN_OPTIONS=exitcode=86:print_stacktrace=1:log_path=/tmp/glyphshift-sanitizer");
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Standard input as the feed asks: `input` `repeat` times, a pause before the last copy (or
// the second half of a single one), written as the pipe takes it.
class CInputWriter {
 public:
  CInputWriter(int fd, const RunFeed& feed)
      : fd_(fd),
        feed_(feed),
        total_(feed.input.size() * feed.repeat),
        pauseAt_(feed.repeat > 1 ? feed.input.size() * (feed.repeat - 1) : feed.input.size() / 2) {
    if (total_ == 0) Close();
  }
  ~CInputWriter() { Close(); }
  int Fd() const { return fd_; }
  // Seconds until it wants to write again (0: now).
  double Wait(double now) const { return resumeAt_ > now ? resumeAt_ - now : 0; }
  void Write(double now) {
    if (fd_ < 0 || Wait(now) > 0) return;
    if (!paused_ && feed_.pauseMilliseconds > 0 && written_ == pauseAt_) {
      paused_ = true;
      resumeAt_ = now + feed_.pauseMilliseconds / 1000.0;
      return;
    }
    const std::size_t end = written_ < pauseAt_ ? pauseAt_ : total_;
    std::string chunk;
    for (std::size_t at = written_; at < end && chunk.size() < 65536;) {
      const std::size_t offset = at % feed_.input.size();
      const std::size_t take = std::min({feed_.input.size() - offset, end - at, 65536 - chunk.size()});
      chunk.append(feed_.input, offset, take);
      at += take;
    }
    const ssize_t n = write(fd_, chunk.data(), chunk.size());
    if (n > 0) written_ += static_cast<std::size_t>(n);
    if ((n < 0 && errno != EAGAIN && errno != EINTR) || written_ == total_) Close();
  }

 private:
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd_;
  const RunFeed& feed_;
  std::size_t total_;
  std::size_t pauseAt_;
  std::size_t written_ = 0;
  bool paused_ = false;
  double resumeAt_ = 0;
};

// The most memory morfex has held since its exec (its high-water mark), 0 before the exec and
// once it is gone. Not from wait4: the kernel carries the forked test process's own peak over
// the exec, and so would a sample taken before it.
long PeakKilobytes(pid_t pid) {
  std::FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (status == nullptr) return 0;
  long peak = 0;
  bool morfex = false;
  char line[256];
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "Name:\tmorfex\n", 13) == 0) morfex = true;
    if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1) break;
  }
  std::fclose(status);
  return morfex ? peak : 0;
}

// Reads both outputs until they close (a terminal's ends with EIO), writing standard input
// meanwhile and watching the memory of `pid`, or until the deadline passes; true when they
// closed in time.
bool Drain(pid_t pid, int outFd, int errFd, CInputWriter* input, RunResult& result, double deadline) {
  std::string* sinks[2] = {&result.out, &result.err};
  int fds[2] = {outFd, errFd};
  char buffer[65536];
  while (fds[0] >= 0 || fds[1] >= 0) {
    const double now = Now();
    if (now >= deadline) return false;
    pollfd polled[3] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {-1, POLLOUT, 0}};
    double wait = deadline - now;
    if (input != nullptr && input->Fd() >= 0) {
      const double inputWait = input->Wait(now);
      if (inputWait == 0) polled[2].fd = input->Fd();
      wait = std::min(wait, inputWait > 0 ? inputWait : wait);
    }
    if (poll(polled, 3, static_cast<int>(wait * 1000) + 1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (input != nullptr) input->Write(Now());
    result.peakKilobytes = std::max(result.peakKilobytes, PeakKilobytes(pid));
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0 || polled[i].revents == 0) continue;
      const ssize_t n = read(fds[i], buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i] = -1;
      }
    }
  }
  return true;
}

// Starts morfex in `directory` with standard input, output and error on the given descriptors
// (/dev/null for -1).
pid_t Start(const std::vector<std::string>& arguments, const std::string& directory, int inFd, int outFd, int errFd,
            unsigned long openFiles = 0) {
  std::vector<std::string> argv = {MORFEX_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  // The same tests again with several workers (registered so by CTest).
  if (const char* jobs = std::getenv("MORFEX_E2E_JOBS"); jobs != nullptr && *jobs != '\0') {
    argv.push_back(std::string("/jobs=") + jobs);
  }
  std::vector<std::string> env = ChildEnvironment();
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(env);
  const pid_t pid = fork();
  if (pid == 0) {
    // A new session has no controlling terminal, as under CI: /dev/tty cannot be opened.
    setsid();
    const int devNull = open("/dev/null", O_RDWR);
    dup2(inFd < 0 ? devNull : inFd, 0);
    dup2(outFd < 0 ? devNull : outFd, 1);
    dup2(errFd < 0 ? devNull : errFd, 2);
    if (chdir(directory.c_str()) != 0) _exit(120);
    const rlimit files{openFiles, openFiles};
    if (openFiles != 0 && setrlimit(RLIMIT_NOFILE, &files) != 0) _exit(122);
    execve(argvPointers[0], argvPointers.data(), envPointers.data());
    _exit(121);
  }
  return pid;
}

int Reap(pid_t pid) {
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  return wstatus;
}

}  // namespace

CBackgroundMorfex::CBackgroundMorfex(const std::vector<std::string>& arguments, const std::string& directory)
    : pid_(Start(arguments, directory, -1, -1, -1)) {}

CBackgroundMorfex::~CBackgroundMorfex() {
  if (pid_ > 0) Stop(SIGKILL);
}

int CBackgroundMorfex::Stop(int signal) {
  kill(pid_, signal);
  return Wait();
}

int CBackgroundMorfex::Wait() {
  const int status = Reap(pid_);
  pid_ = -1;
  return status;
}

RunResult RunMorfex(const std::vector<std::string>& arguments, const std::string& directory, int timeoutSeconds) {
  return RunMorfex(arguments, directory, RunFeed{}, timeoutSeconds);
}

RunResult RunMorfex(const std::vector<std::string>& arguments, const std::string& directory, const RunFeed& feed,
                    int timeoutSeconds) {
  // The program may stop reading its input early; that must fail its test, not end the runner.
  signal(SIGPIPE, SIG_IGN);
  int inPipe[2] = {-1, -1};
  int outPipe[2];
  int errPipe[2];
  RunResult result;
  if (pipe2(outPipe, O_CLOEXEC) != 0 || (!feed.inputIsNull && pipe2(inPipe, O_CLOEXEC) != 0)) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return result;
  }
  if (feed.errorOnTerminal) {
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    if (openpty(&errPipe[0], &errPipe[1], nullptr, nullptr, &size) != 0) {
      ADD_FAILURE() << "openpty: " << std::strerror(errno);
      return result;
    }
    fcntl(errPipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(errPipe[1], F_SETFD, FD_CLOEXEC);
  } else if (pipe2(errPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return result;
  }
  const pid_t pid = Start(arguments, directory, inPipe[0], outPipe[1], errPipe[1], feed.openFiles);
  if (inPipe[0] >= 0) {
    close(inPipe[0]);
    fcntl(inPipe[1], F_SETFL, O_NONBLOCK);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  if (feed.outputClosed) {
    close(outPipe[0]);
    outPipe[0] = -1;
  }
  bool finished = false;
  {
    CInputWriter input(inPipe[1], feed);
    finished = Drain(pid, outPipe[0], errPipe[0], feed.inputIsNull ? nullptr : &input, result, Now() + timeoutSeconds);
  }
  if (!finished) kill(pid, SIGKILL);
  if (outPipe[0] >= 0) close(outPipe[0]);
  close(errPipe[0]);
  const int wstatus = Reap(pid);
  if (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 86) {
    ADD_FAILURE() << "a sanitizer reported an error: see /tmp/glyphshift-sanitizer." << pid;
  }
  result.status = finished && WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

}  // namespace glyphshift::e2e
