// The display text of a file size in the success line of a conversion.
#pragma once

#include <cstdint>
#include <string>

namespace glyphshift {

// "1023 bytes", "1.30 KB", "12.5 MB", "999 GB", "0.97 MB": below 1024 the number and "bytes";
// above, the largest unit from KB to EB that keeps the number below 1000, with two decimals
// below 10, one below 100 and none above. Digits beyond those shown are cut off, not rounded.
std::u16string FormatByteSize(std::uint64_t bytes);

}  // namespace glyphshift
