// Detection of a file's character set by the byte rules, read in pieces through the platform:
// the one place that reads a file for detection, used by the exported DetectCharacterSetByFile,
// by the run for every source it must judge, and by the dialogs for a chosen source.
#pragma once

#include <cstdint>

#include "engine/charset_catalogue.h"
#include "platform/files.h"

namespace glyphshift {

struct FileDetection {
  CharsetCode code = kCharsetWindows1252;  // what a file that cannot be read is taken as
  std::uint64_t bytesRead = 0;             // up to where the answer was settled
  bool readFailed = false;
};

// The byte rules (engine/detection.h) over the opened file: a file of any size is judged in
// little memory, and reading stops as soon as the answer is settled (at the first byte that is
// no UTF-8, for most legacy text). Detection reads the very file a conversion then reads, so a
// name swapped in between cannot make the run judge one file and convert another.
FileDetection DetectFileCharset(const platform::CFile& file);

}  // namespace glyphshift
