// The conversion run: the source as a single file or a wildcard pattern (optionally through a
// directory tree), one ProcessFile call per file, one result line per file and a summary.
#pragma once

#include <cstdint>
#include <string>

#include "convert/conversion_options.h"

namespace glyphshift {

enum class PathKind { File = 0, Directory = 1, Wildcard = 2 };

struct RunSummary {
  std::int32_t convertedCount = 0;
  std::int32_t failedCount = 0;
  std::int64_t totalSourceBytes = 0;
  std::int32_t lastResult = 0;  // of the most recent ProcessFile call
};

// Wildcard when the text holds "*" or "?"; otherwise Directory for an existing directory
// (through a symbolic link too), else File (an existing file, or nothing).
PathKind GetPathKind(const std::u16string& path);

// The two flows. Each returns kNoEarlyExit, or the early exit code kExitWildcardInOutput or
// kExitOutputNotADirectory (run/exit_codes.h), and leaves its counts in `summary`.
std::int32_t ConvertSingleFile(ConversionOptions& options, RunSummary& summary);
std::int32_t ConvertMatchingFiles(ConversionOptions& options, RunSummary& summary);

// Classifies the source, runs the flow, prints the summary and returns the exit code: the
// result of the last file, or an early code (then without a summary).
std::int32_t RunConversion(ConversionOptions& options);

}  // namespace glyphshift
