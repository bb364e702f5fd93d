// Converts one file from its path to its written destination.
#pragma once

#include <cstdint>
#include <string>

#include "convert/conversion_options.h"

namespace glyphshift {

// Results; the usage text gives the same numbers as exit codes.
inline constexpr std::int32_t kProcessOk = 0;
inline constexpr std::int32_t kProcessWriteError = 1;
inline constexpr std::int32_t kProcessReadError = 2;
inline constexpr std::int32_t kProcessOutOfMemory = -1;

// Reads sourcePath whole, decodes, rewrites line breaks, drops a leading byte order mark,
// rewrites markup declarations, encodes and writes destinationPath (which may be the source),
// then moves and carries security over as `options` say. The sizes (may be null) receive the
// source size once it is known and the written size once the destination is complete.
std::int32_t ProcessFile(const ConversionOptions& options, const std::u16string& sourcePath,
                         const std::u16string& destinationPath, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                         std::uint32_t* destinationFileSize);

}  // namespace glyphshift
