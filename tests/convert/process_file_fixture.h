// A temporary directory around ProcessFile calls for two paths a person named (links at both
// names are followed), with what each call reported.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "convert/named_files.h"
#include "convert/process_file.h"
#include "support/temp_dir.h"

namespace glyphshift::testing_support {

using support::Bytes;

inline constexpr CharsetCode kWindows1252 = 18;
inline constexpr std::uint64_t kUntouched = 77;  // a size ProcessFile must not have written

struct Outcome {
  Result result = Result::Converted;
  ConversionReport report;
  std::uint64_t sourceSize = kUntouched;
  std::uint64_t destinationSize = kUntouched;
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
  Outcome Convert(const std::u16string& source, const std::u16string& destination, CharsetCode from, CharsetCode to) {
    Outcome o;
    CNamedSource named(source);
    CDestinationPlace place;
    place.LocateNamed(destination);
    o.result = ProcessFile(settings_, named.source, named.location, place.location, from, NameOf(to), to, &o.sourceSize,
                           &o.destinationSize, o.report, nullptr, guessedLatin1_);
    return o;
  }

  // Writes `content` to "in" and converts it to "out".
  Outcome ConvertBytes(const Bytes& content, CharsetCode from, CharsetCode to) {
    support::WriteFileBytes(dir_.Native("in"), content);
    return Convert(dir_.Path("in"), dir_.Path("out"), from, to);
  }

  Bytes Out() { return support::ReadFileBytes(dir_.Native("out")).value_or(Bytes{0xDE, 0xAD}); }

  ConversionSettings settings_;
  bool guessedLatin1_ = false;  // the source's set is the byte rules' fallback
};

}  // namespace glyphshift::testing_support
