// The program's exit codes, as the usage text lists them. A run ends with the result of its last
// file (ProcessFile's kProcess* results: 0, 1, 2 and -1) or early with one of the codes below.
#pragma once

namespace glyphshift {

// A flow's answer when the run ends with its files' results rather than early.
inline constexpr int kNoEarlyExit = 0;

inline constexpr int kExitConverted = 0;            // the last file converted, or none matched
inline constexpr int kExitSourceIsDirectory = 3;    // the source names a directory, no pattern
inline constexpr int kExitWildcardInOutput = 4;     // "*" or "?" in the output
inline constexpr int kExitOutputNotADirectory = 5;  // a pattern's output is no existing directory,
                                                    // or lies inside the tree a recursive run converts
inline constexpr int kExitUnknownCharset = 6;       // a character-set name no entry has, or a
                                                    // "/detect=" method that does not exist
// Status 255: out of memory, and the ends without a conversion: the help window closed, the
// dialog cancelled or unavailable, a log that cannot be opened.
inline constexpr int kExitAbandoned = -1;

}  // namespace glyphshift
