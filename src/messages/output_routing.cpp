#include "messages/output_routing.h"

#include "messages/catalogue.h"
#include "messages/print_message.h"
#include "messages/results.h"
#include "platform/clock.h"
#include "platform/streams.h"

namespace glyphshift {

using platform::StdStream;
using platform::StreamTarget;

namespace {

std::u16string gLogPath;  // the log the run writes to, if any

// Routing to the null device, the console or the terminal: where that fails, the stream keeps
// going where it went, which is the best left to do (no terminal, say, for a job started by cron).
void RouteIfPossible(StdStream stream, StreamTarget target) {
  static_cast<void>(platform::RouteStream(stream, target));
}

}  // namespace

platform::SysError RouteOutput(const OutputSettings& options) {
  RouteIfPossible(StdStream::Error, StreamTarget::Null);

  if (!options.noConsole) {
    RouteIfPossible(StdStream::Output,
                    options.messagesToStandardError ? StreamTarget::ErrorConsole : StreamTarget::Console);
    return {};
  }

  const bool levelEnabled = options.logLevel != 0;
  if (!options.logFilePath.empty()) {
    gLogPath = options.logFilePath;
    if (const platform::SysError error =
            platform::RouteStream(StdStream::Output, StreamTarget::LogFile, options.logFilePath)) {
      return error;
    }
    if (levelEnabled) {
      if (const platform::SysError error =
              platform::RouteStream(StdStream::Error, StreamTarget::LogFile, options.logFilePath)) {
        return error;
      }
      platform::SetUnbuffered(StdStream::Output, true);
      platform::SetUnbuffered(StdStream::Error, true);
    }
    const platform::LocalTime t = platform::GetLocalTime();
    PrintMessage(u"\n[%02d-%02d-%02d %02d:%02d:%02d] - Start\n\n", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return {};
  }

  // Without a console or a log a run shows nothing: the Linux stand-in for a GUI process that
  // has no usable standard output.
  RouteIfPossible(StdStream::Output, StreamTarget::Null);
  if (options.logLevel == 1) {
    RouteIfPossible(StdStream::Error, StreamTarget::Terminal);
    platform::SetUnbuffered(StdStream::Error, true);
  }
  return {};
}

void ReleaseConsole() { platform::FlushStreams(); }

int EndOutput(int exitCode) {
  platform::FlushStreams();
  platform::SysError lost = platform::LogWriteError(StdStream::Output);
  if (!lost) lost = platform::LogWriteError(StdStream::Error);
  if (!lost) return exitCode;
  platform::WriteToConsole(StdStream::Error, Format(msg::kLogIncomplete, gLogPath, ReasonOf(lost)));
  return exitCode == Code(Result::Converted) ? Code(Result::WriteError) : exitCode;
}

}  // namespace glyphshift
