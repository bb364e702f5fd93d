// Routing of the standard streams on Windows: a log file gets CR LF line ends and UTF-8 text,
// both streams share one opening of it, and what is no regular file is refused.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/streams.h"
#include "support/temp_dir.h"

namespace glyphshift::platform {
namespace {

class Win32Streams : public support::TempDirTest {
 protected:
  void TearDown() override {
    FlushStreams();
    SetUnbuffered(StdStream::Output, false);
    SetUnbuffered(StdStream::Error, false);
    (void)RouteStream(StdStream::Output, StreamTarget::Console);
    (void)RouteStream(StdStream::Error, StreamTarget::Console);
  }
};

TEST_F(Win32Streams, LogFileGetsCrLfAndUtf8FromBothStreamsInOrder) {
  support::WriteFileBytes(dir_.Native("run.log"), "earlier\r\n");
  ASSERT_FALSE(RouteStream(StdStream::Output, StreamTarget::LogFile, dir_.Path("run.log")));
  ASSERT_FALSE(RouteStream(StdStream::Error, StreamTarget::LogFile, dir_.Path("run.log")));
  SetUnbuffered(StdStream::Output, true);
  SetUnbuffered(StdStream::Error, true);
  WriteText(StdStream::Output, u"Gr\u00FC\u00DFe\n");
  WriteText(StdStream::Error, u"diagnostic\n");
  WriteText(StdStream::Output, u"\u20AC 5\n");
  FileId log;
  ASSERT_FALSE(GetLogFileId(StdStream::Output, log));
  FileId errorLog;
  ASSERT_FALSE(GetLogFileId(StdStream::Error, errorLog));
  EXPECT_EQ(log, errorLog);
  FlushStreams();
  EXPECT_EQ(support::ReadFileText(dir_.Native("run.log")),
            "earlier\r\nGr\xC3\xBC\xC3\x9F"
            "e\r\ndiagnostic\r\n\xE2\x82\xAC 5\r\n");
}

TEST_F(Win32Streams, WhatIsNoRegularFileIsRefusedAndTextDropped) {
  ASSERT_TRUE(CreateDirectoryW(reinterpret_cast<const wchar_t*>(dir_.Path("folder").c_str()), nullptr));
  EXPECT_TRUE(RouteStream(StdStream::Output, StreamTarget::LogFile, dir_.Path("folder")));
  EXPECT_TRUE(RouteStream(StdStream::Output, StreamTarget::LogFile, u"NUL")) << "a device is no log";
  EXPECT_TRUE(RouteStream(StdStream::Output, StreamTarget::LogFile, dir_.Path("missing\\run.log")));
  WriteText(StdStream::Output, u"lost\n");
  FileId id;
  EXPECT_EQ(GetLogFileId(StdStream::Output, id).code, kErrorNotFound);
  EXPECT_FALSE(RouteStream(StdStream::Output, StreamTarget::Null));
}

}  // namespace
}  // namespace glyphshift::platform
