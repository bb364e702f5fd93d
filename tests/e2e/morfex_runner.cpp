#include "e2e/morfex_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

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

// Reads both pipes until they close or the deadline passes; true when they closed in time.
bool Drain(int outFd, int errFd, RunResult& result, double deadline) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    const double left = deadline - Now();
    if (left <= 0) return false;
    if (poll(fds, 2, static_cast<int>(left * 1000) + 1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  return true;
}

// Starts morfex in `directory` with standard output and error on the given descriptors.
pid_t Start(const std::vector<std::string>& arguments, const std::string& directory, int outFd, int errFd) {
  std::vector<std::string> argv = {MORFEX_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = ChildEnvironment();
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(env);
  const pid_t pid = fork();
  if (pid == 0) {
    // A new session has no controlling terminal, as under CI: /dev/tty cannot be opened.
    setsid();
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, 0);
    dup2(outFd < 0 ? devNull : outFd, 1);
    dup2(errFd < 0 ? devNull : errFd, 2);
    if (chdir(directory.c_str()) != 0) _exit(120);
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
    : pid_(Start(arguments, directory, -1, -1)) {}

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
  int outPipe[2];
  int errPipe[2];
  RunResult result;
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return result;
  }
  const pid_t pid = Start(arguments, directory, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  const bool finished = Drain(outPipe[0], errPipe[0], result, Now() + timeoutSeconds);
  if (!finished) kill(pid, SIGKILL);
  close(outPipe[0]);
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
