// The steps both flows take for one file: naming the destination, detection, ProcessFile,
// the result line and the counts.
#pragma once

#include <string>
#include <string_view>

#include "convert/conversion_options.h"
#include "run/enumeration.h"

namespace glyphshift {

// Same directory means same file identity (device and inode), so "d", "./d" and "/abs/d" agree.
// When either cannot be identified (it does not exist), the path texts decide.
bool IsSameDirectory(const std::u16string& a, const std::u16string& b);

// The destination name of `sourceName` in another directory: base name, then "." and the
// destination set's name when `insertCharsetName`, then the extension.
std::u16string DestinationName(std::u16string_view sourceName, std::u16string_view charsetName,
                               bool insertCharsetName);

// Detects the source set when asked to, converts `source` into `destination` and prints the
// result line naming `displayName`. Counts into `summary`. Returns whether it succeeded.
bool ConvertFile(ConversionOptions& options, const std::u16string& source, const std::u16string& destination,
                 std::u16string_view displayName, RunSummary& summary);

}  // namespace glyphshift
