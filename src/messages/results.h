// Every result a file's conversion ends with and every exit code of the program: one number,
// one name. A run ends with the result of its last file, or early with the code of what
// stopped it; the usage text lists the same numbers (a test holds the two together).
#pragma once

#include <cstdint>

namespace glyphshift {

// Kept as written: clang-format 14 takes the attribute for an initialiser and breaks the enum.
// clang-format off
enum class [[nodiscard]] Result : std::int32_t {
  Converted = 0,            // the file was converted; as an exit code: the last file was, or none matched
  WriteError = 1,           // the destination could not be written
  ReadError = 2,            // the source could not be opened or read, or is in a set we cannot convert
  SourceIsDirectory = 3,    // the source names a directory, without a pattern
  WildcardInOutput = 4,     // "*" or "?" in the output
  OutputNotADirectory = 5,  // a pattern's output is no existing directory, or lies inside the tree a
                            // recursive run converts
  UnknownCharset = 6,       // a character-set name no entry has, or a "/detect=" method that does not exist
  // Status 255: out of memory, and the ends without a conversion: the help window closed, the
  // dialog cancelled or unavailable, a log that cannot be opened, an owner-from-prefix table
  // another account may change.
  Abandoned = -1,
  LeftUnchanged = 7,        // not converted, to protect its content: the conversion would lose text, the
                            // file is not text, or it changed while it was converted
  InvalidCommandLine = 8,   // an unknown option, or an option's value that means nothing
};
// clang-format on

// The number of a result, as an exit code or in a message.
constexpr std::int32_t Code(Result result) { return static_cast<std::int32_t>(result); }

// Every result, in the order the usage text lists them.
inline constexpr Result kEveryResult[] = {
    Result::Converted,        Result::WriteError,          Result::ReadError,      Result::SourceIsDirectory,
    Result::WildcardInOutput, Result::OutputNotADirectory, Result::UnknownCharset, Result::Abandoned,
    Result::LeftUnchanged,    Result::InvalidCommandLine,
};

}  // namespace glyphshift
