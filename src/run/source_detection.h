// How the run finds the character set of a source given without "/scs=": the byte rules, and
// with "/detect=statistical" the statistical detector for the text the rules leave to their
// single-byte fallback.
#pragma once

#include <string>

#include "convert/process_file.h"
#include "engine/charset_catalogue.h"
#include "settings/run_settings.h"

namespace glyphshift {

enum class DetectionOutcome {
  ByRules,        // the byte rules decided: a byte order mark, zero bytes, UTF-8, or the fallback
                  // when the detector was not asked
  Statistical,    // the detector's answer, fitted to a catalogue table
  NoAnswer,       // the detector had no confident answer: the rules' fallback stands
  DoesNotFit,     // the detector named a set the text cannot be in (a byte the set leaves
                  // undefined, a Unicode form the rules ruled out): the rules' fallback stands
  Unconvertible,  // the detector named a set the program cannot convert; `code` is meaningless
};

struct SourceDetection {
  CharsetCode code = 0;
  DetectionOutcome outcome = DetectionOutcome::ByRules;
  std::string detectorName;  // the detector's answer as it spells it, when it was asked
};

// Bytes of text with bytes above 0x7F that the detector sees at most: enough for its answer to
// settle (256 KiB or 1 MiB scored no better on a corpus of 200 real documents), so that a large
// file costs little: 15 ms where the conversion of 1 GiB takes 1 s. Pieces without such a byte tell it nothing and are
// skipped after the first, up to a limit of bytes read, so that a long ASCII head does not hide the text after it.
inline constexpr std::size_t kStatisticalSampleBytes = 64 * 1024;
inline constexpr std::uint64_t kStatisticalReadLimit = 16ull << 20;

// Detects the set of the opened source, reading it in pieces (never all of a large file for the
// detector). A source that cannot be opened or read is taken as Windows-1252; its conversion
// reports why.
SourceDetection DetectSourceCharset(const OpenedSource& source, DetectionMethod method);

}  // namespace glyphshift
