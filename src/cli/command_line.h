// The command line: the splitter for a raw command-line text, the option table and the
// "/loglevel=" number rules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/run_settings.h"

namespace glyphshift {

// What the splitter could not make sense of; the run stops with it (exit code 8).
enum class SplitProblem {
  None,
  UnclosedQuote,         // a double quote that nothing closes
  TextAfterQuotedValue,  // `/output="x"y`: something other than a space after a kept quote
};

struct SplitCommandLineResult {
  std::vector<std::u16string_view> arguments;
  SplitProblem problem = SplitProblem::None;
  std::u16string_view where;  // the argument the problem is in, as far as it was read
};

// Splits a raw command line (the text after the program name) into arguments, every one of
// them. Works in place: the arguments are written back into `commandLine`, which must outlive
// the views. Only the space separates. Backslashes and quotes follow the C runtime's rules
// (2n backslashes and a quote: n backslashes and a quote that opens or closes a quoted part;
// 2n+1: n backslashes and a literal quote; other backslashes are literal), so an argument a
// Windows caller quotes the usual way arrives as it would on Linux. One exception keeps the
// program's own form: a quote right after "=" (outside a quoted part) opens a value that keeps
// both quotes, in which backslashes are literal and the next quote closes (so
// `/output="c:\my dir\"` names `c:\my dir\`).
SplitCommandLineResult SplitCommandLine(std::u16string& commandLine);

// Every argument of the command line (without the program name) in order: sources (files,
// patterns, "-" for standard input) and options, which may come before, between or after them.
// Fills `settings`; returns the message that says why the command line cannot be run (exit
// code 8, nothing converted), or nothing. An argument that starts with "/" or "-" and is
// neither an option nor an existing path is refused with the nearest option suggested, as is a
// "/line=" value other than dos, unix, mac or none. The lone forms (/?, --help, -h, --version,
// --list) are the caller's; among other arguments they are refused.
std::optional<std::u16string> ParseCommandLine(std::span<const std::u16string> arguments, RunSettings& settings);

// A "/loglevel=" value: leading white space skipped, an optional sign, decimal digits up to the
// first other character; no digits give 0; values beyond the 32-bit range are clamped.
std::int32_t ParseLogLevel(std::u16string_view value);

// A "/detect=" value: "simple" or "statistical", in any letter case. False for anything else;
// then `method` is left alone.
bool ResolveDetectionMethod(std::u16string_view name, DetectionMethod& method);

// Drops a leading and a trailing double quote when the value has both.
std::u16string_view RemoveQuotes(std::u16string_view value);

}  // namespace glyphshift
