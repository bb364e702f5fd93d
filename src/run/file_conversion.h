// The steps both flows take for one file: naming the destination, detection, ProcessFile,
// the result line and the counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "convert/conversion_options.h"
#include "convert/process_file.h"
#include "run/enumeration.h"

namespace glyphshift {

// The destination name of `sourceName` in another directory: base name, then "." and the
// destination set's name when `insertCharsetName`, then the extension.
std::u16string DestinationName(std::u16string_view sourceName, std::u16string_view charsetName,
                               bool insertCharsetName);

// The run's own log file, if it has one: no file of the run is converted into or out of it.
std::optional<platform::FileId> RunLogFileId();

// Counts a converted file and prints its "Success" line.
void PrintSuccess(RunSummary& summary, std::uint64_t sourceSize, std::uint64_t destinationSize,
                  std::u16string_view displayName);

// Counts a file that was not converted and prints its "Error" line.
void CountFailure(RunSummary& summary, std::int32_t result, std::u16string_view displayName);

// Detects the source set when asked to, converts the opened source into `destination` and
// prints the result line naming `displayName`. A destination that is the run's log is refused.
// Counts into `summary`. Returns whether it succeeded; `written` then holds the destination.
bool ConvertFile(ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                 const FileLocation& destination, std::u16string_view displayName, RunSummary& summary,
                 WrittenFile* written);

}  // namespace glyphshift
