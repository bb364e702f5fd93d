// The conversion run: the source as a single file or a wildcard pattern (optionally through a
// directory tree), one conversion per file, one result line per file and a summary.
#pragma once

#include <string>

#include "messages/results.h"
#include "settings/run_settings.h"

namespace glyphshift {

enum class PathKind { File = 0, Directory = 1, Wildcard = 2 };

// Wildcard when the text holds "*" or "?"; otherwise Directory for an existing directory
// (through a symbolic link too), else File (an existing file, or nothing).
PathKind GetPathKind(const std::u16string& path);

// Classifies the source, runs the flow, prints the summary and returns the exit code: the
// result of the last file, or an early code (then without a summary).
Result RunConversion(const RunSettings& settings);

}  // namespace glyphshift
