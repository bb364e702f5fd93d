// A temporary directory, a recorded message-box handler and captured standard output around
// ProcessFile calls.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "convert/process_file.h"
#include "platform/display.h"
#include "platform/streams.h"
#include "support/temp_dir.h"

namespace glyphshift::testing_support {

using support::Bytes;

inline constexpr CharsetCode kWindows1252 = 18;
inline constexpr std::uint64_t kUntouched = 77;  // a size ProcessFile must not have written

struct MessageBoxCall {
  std::u16string text;
  std::u16string caption;
  platform::MessageBoxIcon icon;
};

inline std::vector<MessageBoxCall>& RecordedBoxes() {
  static std::vector<MessageBoxCall> boxes;
  return boxes;
}

struct Outcome {
  std::int32_t result = 0;
  std::uint64_t sourceSize = kUntouched;
  std::uint64_t destinationSize = kUntouched;
  std::string output;  // what was printed
};

inline std::u16string NameOf(CharsetCode code) {
  switch (code) {
    case kCharsetUtf8: return u"utf-8";
    case kCharsetUtf16: return u"utf-16";
    case kCharsetUtf16Be: return u"utf-16be";
    default: return u"windows-1252";
  }
}

class ProcessFileTest : public support::TempDirTest {
 protected:
  void SetUp() override {
    RecordedBoxes().clear();
    platform::SetMessageBoxHandler(
        [](std::u16string_view text, std::u16string_view caption, platform::MessageBoxIcon icon) {
          RecordedBoxes().push_back({std::u16string(text), std::u16string(caption), icon});
        });
  }

  Outcome Convert(const std::u16string& source, const std::u16string& destination, CharsetCode from, CharsetCode to) {
    Outcome o;
    ::testing::internal::CaptureStdout();
    o.result = ProcessFile(options_, source, destination, NameOf(from), from, NameOf(to), to, &o.sourceSize,
                           &o.destinationSize);
    platform::FlushStreams();
    o.output = ::testing::internal::GetCapturedStdout();
    return o;
  }

  // Writes `content` to "in" and converts it to "out".
  Outcome ConvertBytes(const Bytes& content, CharsetCode from, CharsetCode to) {
    support::WriteFileBytes(dir_.Native("in"), content);
    return Convert(dir_.Path("in"), dir_.Path("out"), from, to);
  }

  Bytes Out() { return support::ReadFileBytes(dir_.Native("out")).value_or(Bytes{0xDE, 0xAD}); }

  ConversionOptions options_;
};

}  // namespace glyphshift::testing_support
