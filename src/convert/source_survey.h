// What a source holds, found by reading it through the conversion's own stream without writing
// anything: its line breaks, a byte order mark, the bytes that do not decode, whether it is text,
// what an XML declaration or HTML meta tag names, and the characters a destination set lacks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "convert/process_file.h"
#include "engine/charset_catalogue.h"

namespace glyphshift {

struct LineBreakCounts {
  std::uint64_t crLf = 0;
  std::uint64_t lf = 0;  // alone
  std::uint64_t cr = 0;  // alone
};

// The set a declaration names, as written (its first CMarkupStream::kValueKept units).
struct DeclaredCharset {
  bool found = false;
  std::u16string name;
  bool cut = false;  // the value is longer than what is kept
};

struct SourceSurvey {
  std::uint64_t size = 0;  // bytes read
  bool byteOrderMark = false;
  LineBreakCounts lineBreaks;
  // Bytes that do not decode, the last byte of a UTF-16 text of odd length among them.
  std::uint64_t undecodable = 0;
  // Characters the destination set has no byte for (single-byte destinations only).
  std::uint64_t unencodable = 0;
  // The byte offset of the first character that is no text, as the conversion judges it.
  std::optional<std::uint64_t> binaryAt;
  // What /xml and /html would rewrite.
  DeclaredCharset xml;
  DeclaredCharset html;
};

// Reads `source` whole, in pieces (memory does not grow with the file), decoded as
// `sourceCharset` and encoded into `destinationCharset` for the count of what that set lacks.
// `guessedLatin1`: the set is the byte rules' fallback, so UTF-16 without a byte order mark
// reads as text, as the conversion reads it. Converted, or the failure in `report`
// (SourceUnreadable, OutOfMemory, SourceChanged).
Result SurveySource(const OpenedSource& source, CharsetCode sourceCharset, CharsetCode destinationCharset,
                    bool guessedLatin1, SourceSurvey& survey, ConversionReport& report);

}  // namespace glyphshift
