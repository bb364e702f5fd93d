// The conversion's steps over the whole text at once, each a single call of the engine's
// whole-buffer functions: the definition the piece-by-piece conversion must match byte for byte.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/stream_conversion.h"

namespace glyphshift::testing_support {

std::vector<std::uint8_t> ConvertWholeText(const std::vector<std::uint8_t>& raw, const StreamSettings& settings);

}  // namespace glyphshift::testing_support
