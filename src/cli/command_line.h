// The command line: the splitter for a raw command-line text, the option table and the
// "/loglevel=" number rules.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/run_settings.h"

namespace glyphshift {

inline constexpr std::size_t kMaxArguments = 100;

// Splits a raw command line (the text after the program name) into at most 100 arguments.
// Works in place: terminators are written into `commandLine`, which must outlive the views.
// Only the space separates; a double quote after "=" keeps the quoted text with its quotes;
// a double quote elsewhere restarts the argument behind it and ends it at the next quote.
std::vector<std::u16string_view> SplitCommandLine(std::u16string& commandLine);

// Applies the option table, in its order, to each argument (the second and later arguments of
// the command line). Arguments that match no option are ignored.
void ParseOptions(std::span<const std::u16string> options, RunSettings& settings);

// A "/loglevel=" value: leading white space skipped, an optional sign, decimal digits up to the
// first other character; no digits give 0; values beyond the 32-bit range are clamped.
std::int32_t ParseLogLevel(std::u16string_view value);

// A "/detect=" value: "simple" or "statistical", in any letter case. False for anything else;
// then `method` is left alone.
bool ResolveDetectionMethod(std::u16string_view name, DetectionMethod& method);

// Drops a leading and a trailing double quote when the value has both.
std::u16string_view RemoveQuotes(std::u16string_view value);

}  // namespace glyphshift
