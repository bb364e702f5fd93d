// The lines of the report mode ("/info", "/info=json"): one entry per source, as a row of a
// table with aligned columns or as one JSON object a line (JSON Lines). Pure text work.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "convert/source_survey.h"

namespace glyphshift {

// How the set a source is read in was found.
enum class FoundBy {
  ByteOrderMark,  // the rules: a byte order mark
  ZeroBytes,      // the rules: a zero byte in the first two, UTF-16 without a mark
  Utf8Rules,      // the rules: well-formed UTF-8 with a character beyond ASCII
  Fallback,       // the rules: the first table that defines every byte of the text
  Model,          // /detect=statistical: the statistical model
  Declaration,    // /detect=statistical: the text's XML or HTML declaration, which reads its bytes
  Given,          // /scs=
};

// What our own statistical model makes of the text, where the rules fell back.
struct ModelOpinion {
  std::u16string charset;   // a table's name, or the family of a set that cannot be converted
  int confidence = 0;       // 0..100
  std::u16string runnerUp;  // the best table that reads the text otherwise; empty for none
};

struct ReportEntry {
  std::u16string name;     // as the person named it, or the pattern's folder joined with the listed path
  std::u16string charset;  // the set the run would read the source in, or the detector's name for one it cannot convert
  bool convertible = true;
  FoundBy foundBy = FoundBy::Fallback;
  std::optional<ModelOpinion> model;          // the model was asked and answered
  std::optional<SourceSurvey> survey;         // absent when the set cannot be converted
  std::optional<std::u16string> destination;  // "/dcs=": its name; the survey counts what it lacks
};

// The table's first line, ending with a line feed. `destination`: the "/dcs=" name, when given.
std::u16string ReportTableHeader(const std::optional<std::u16string>& destination);
// One entry as a row under that header, ending with a line feed; the name comes last (escaped as
// message lines escape names), so any name keeps the other columns aligned.
std::u16string ReportTableRow(const ReportEntry& entry);
// One entry as one JSON object on one line, ending with a line feed.
std::u16string ReportJsonLine(const ReportEntry& entry);

// `text` as a JSON string with its quotes: `"`, `\` and controls escaped, and every lone
// surrogate as \uXXXX, so that a name holding bytes of invalid UTF-8 (carried as U+DC80..U+DCFF)
// stays valid JSON and gives its bytes back (as Python's surrogateescape reads it).
void AppendJsonString(std::u16string& out, std::u16string_view text);

}  // namespace glyphshift
