#include "messages/output_routing.h"

#include "messages/print_message.h"
#include "platform/streams.h"

namespace glyphshift {

using platform::StdStream;
using platform::StreamTarget;

platform::SysError RouteOutput(const OutputSettings& options) {
  platform::RouteStream(StdStream::Error, StreamTarget::Null);

  if (!options.noConsole) {
    platform::RouteStream(StdStream::Output, StreamTarget::Console);
    return {};
  }

  const bool levelEnabled = options.logLevel != 0;
  if (!options.logFilePath.empty()) {
    if (const platform::SysError error =
            platform::RouteStream(StdStream::Output, StreamTarget::LogFile, options.logFilePath)) {
      return error;
    }
    if (levelEnabled) {
      platform::RouteStream(StdStream::Error, StreamTarget::LogFile, options.logFilePath);
      platform::SetUnbuffered(StdStream::Output, true);
      platform::SetUnbuffered(StdStream::Error, true);
    }
    const platform::LocalTime t = platform::GetLocalTime();
    PrintMessage(u"\n[%02d-%02d-%02d %02d:%02d:%02d] - Start\n\n", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return {};
  }

  // Without a console or a log a run shows nothing: the Linux stand-in for a GUI process that
  // has no usable standard output.
  platform::RouteStream(StdStream::Output, StreamTarget::Null);
  if (options.logLevel == 1) {
    platform::RouteStream(StdStream::Error, StreamTarget::Terminal);
    platform::SetUnbuffered(StdStream::Error, true);
  }
  return {};
}

void ReleaseConsole() { platform::FlushStreams(); }

}  // namespace glyphshift
