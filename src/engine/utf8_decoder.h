// The UTF-8 decoder's pass, shared by ConvertUtf8ToDoubleByte and detection.
#pragma once

#include <cstdint>

namespace glyphshift::engine {

// Runs the decoder over the whole input on the path in force: as a size query when
// `destination` is null, else converting. `units` receives the count. With `stopAtError` the
// pass may end anywhere after the first malformed place, whose failure bit then stays in the
// result (detection needs only to know there is one); the count is then partial.
std::int32_t DecodeUtf8(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                        std::uint64_t& units, bool stopAtError) noexcept;

}  // namespace glyphshift::engine
