// Routing changes the process's descriptors 1 and 2, so every case runs in a forked child whose
// original standard output is a pipe the test reads.
#include "platform/streams.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "platform/native_text.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

using support::ReadFileText;

struct ChildResult {
  int status = -1;      // exit code, or -signal
  std::string console;  // what reached the original standard output and error
};

// Runs `body` in a child whose descriptors 1 and 2 are one pipe, and collects its output.
// `closeReader` closes the pipe's read end before the child writes (a reader that went away).
ChildResult RunInChild(const std::function<int()>& body, bool closeReader = false) {
  int pipeFds[2];
  EXPECT_EQ(::pipe(pipeFds), 0);
  ::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    const int code = body();
    FlushStreams();
    ::_exit(code);
  }
  ::close(pipeFds[1]);
  ChildResult result;
  if (closeReader) {
    ::close(pipeFds[0]);
  } else {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
      result.console.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
  return result;
}

void Write(StdStream stream, std::u16string_view text) { WriteText(stream, text); }

using Streams = support::TempDirTest;

TEST_F(Streams, ConsoleIsTheOriginalOutputAndGetsUtf8WithLf) {
  const auto result = RunInChild([] {
    Write(StdStream::Output, u"caf\u00E9 \U0001F600 \xDCFF\n");
    return 0;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, "caf\xC3\xA9 \xF0\x9F\x98\x80 \xFF\n");
}

TEST_F(Streams, LogFileIsCreatedThenAppendedTo) {
  const std::u16string log = dir_.Path("run.log");
  for (const char16_t* line : {u"first run\n", u"second run\n"}) {
    const auto result = RunInChild([&] {
      if (RouteStream(StdStream::Output, StreamTarget::LogFile, log)) return 1;
      Write(StdStream::Output, line);
      return 0;
    });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.console, "");
  }
  EXPECT_EQ(ReadFileText(dir_.Native("run.log")), "first run\nsecond run\n");
}

TEST_F(Streams, UnbufferedStreamsToOneFileInterleaveInWrittenOrder) {
  const std::u16string log = dir_.Path("both.log");
  const auto result = RunInChild([&] {
    if (RouteStream(StdStream::Output, StreamTarget::LogFile, log)) return 1;
    if (RouteStream(StdStream::Error, StreamTarget::LogFile, log)) return 2;
    SetUnbuffered(StdStream::Output, true);
    SetUnbuffered(StdStream::Error, true);
    for (int i = 0; i < 3; ++i) {
      Write(StdStream::Output, u"out\n");
      Write(StdStream::Error, u"err\n");
    }
    return 0;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFileText(dir_.Native("both.log")), "out\nerr\nout\nerr\nout\nerr\n");
}

TEST_F(Streams, EverythingWrittenToTheDescriptorFollowsTheRoute) {
  const std::u16string log = dir_.Path("raw.log");
  const auto result = RunInChild([&] {
    Write(StdStream::Output, u"before ");  // buffered text goes to the target it was written for
    if (RouteStream(StdStream::Output, StreamTarget::LogFile, log)) return 1;
    if (::write(1, "raw\n", 4) != 4) return 2;
    if (RouteStream(StdStream::Output, StreamTarget::Console)) return 3;
    Write(StdStream::Output, u"back\n");
    return 0;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, "before back\n");
  EXPECT_EQ(ReadFileText(dir_.Native("raw.log")), "raw\n");
}

TEST_F(Streams, FailedRouteClosesTheStreamAndDropsItsText) {
  const std::u16string log = dir_.Path("missing-dir/run.log");
  const auto result = RunInChild([&] {
    const SysError error = RouteStream(StdStream::Output, StreamTarget::LogFile, log);
    if (error.code != ENOENT || std::string_view(error.op) != "open") return 1;
    Write(StdStream::Output, u"lost\n");
    if (::write(1, "lost too\n", 9) < 0) return 2;
    Write(StdStream::Error, u"error stream still works\n");
    return 0;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, "error stream still works\n");
}

TEST_F(Streams, NullAndMissingTerminalSwallowText) {
  const auto result = RunInChild([] {
    if (RouteStream(StdStream::Output, StreamTarget::Null)) return 1;
    Write(StdStream::Output, u"nowhere\n");
    // A new session has no controlling terminal, as a job started by a scheduler.
    ::setsid();
    if (RouteStream(StdStream::Error, StreamTarget::Terminal).code == 0) return 2;
    Write(StdStream::Error, u"nowhere either\n");
    return 0;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, "");
}

TEST_F(Streams, LargeOutputArrivesWhole) {
  std::u16string line(99, u'x');
  line += u'\n';
  const auto result = RunInChild([&] {
    for (int i = 0; i < 5000; ++i) Write(StdStream::Output, line);  // far more than a pipe holds
    return 0;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console.size(), 500000u);
  EXPECT_EQ(result.console.find_first_not_of("x\n"), std::string::npos);
}

TEST_F(Streams, ClosedReaderDoesNotEndTheRun) {
  const auto result = RunInChild(
      [] {
        for (int i = 0; i < 100; ++i) Write(StdStream::Output, std::u16string(1000, u'x'));
        FlushStreams();
        return 7;  // reached only when SIGPIPE did not kill us
      },
      /*closeReader=*/true);
  EXPECT_EQ(result.status, 7);
}

TEST_F(Streams, TextWrittenBeforeExitIsFlushed) {
  // No explicit flush: the exit handler the streams register must deliver it.
  ::fflush(nullptr);
  const std::string log = dir_.Native("exit.log");
  const pid_t child = ::fork();
  if (child == 0) {
    if (RouteStream(StdStream::Output, StreamTarget::LogFile, FromNative(log))) ::_exit(1);
    WriteText(StdStream::Output, u"buffered\n");
    std::exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFileText(log), "buffered\n");
}

}  // namespace
}  // namespace glyphshift::platform
