// How the run finds the character set of a source given without "/scs=": the byte rules, and
// for the text they leave to their single-byte fallback the statistical model
// (engine/charset_guess.h): with "/detect=statistical" its answer, or the text's own markup
// declaration, decides; by default the rules' answer stands, and the model's only says what the
// text looks like instead.
#pragma once

#include <string>

#include "convert/process_file.h"
#include "engine/charset_catalogue.h"
#include "settings/run_settings.h"

namespace glyphshift {

enum class DetectionOutcome {
  ByRules,        // the byte rules decided: a byte order mark, zero bytes, UTF-8, or the fallback
                  // with the default method
  Statistical,    // the model's confident answer
  Declared,       // the text's XML or HTML declaration names a set that reads its bytes
  NoAnswer,       // the model had no confident answer: the rules' fallback stands
  Unconvertible,  // the model found a set the program cannot convert; `code` is meaningless
};

struct SourceDetection {
  CharsetCode code = 0;
  DetectionOutcome outcome = DetectionOutcome::ByRules;
  // The model's answer when it was asked: the set's catalogue name, or the name of a set the
  // program cannot convert ("Shift_JIS"); empty for none. With the default method it is set
  // only when the model is confident of another set than the rules' fallback.
  std::string detectorName;
  int confidence = 0;         // the model's, 0..100 (0: not asked, or nothing to judge by)
  CharsetCode runnerUp = -1;  // the model's best set that reads the text otherwise, or -1
  std::u16string declared;    // Declared: the name as the declaration spells it
};

// Detects the set of the opened source, reading it in pieces (never all of a large file for the
// model). A source that cannot be opened or read is taken as Windows-1252; its conversion
// reports why.
SourceDetection DetectSourceCharset(const OpenedSource& source, DetectionMethod method);

}  // namespace glyphshift
