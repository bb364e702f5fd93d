// The UTF-8 decoder's pass, shared by ConvertUtf8ToDoubleByte and detection.
#pragma once

#include <cstdint>

namespace glyphshift::engine {

// Runs the decoder over the whole input on the path in force: as a size query when
// `destination` is null, else converting. `units` receives the count. With `stopAtError` the
// pass may end anywhere after the first malformed place, whose failure bit then stays in the
// result (detection needs only to know there is one); the count is then partial. `consumed`
// (may be null) receives the bytes decoded: all of them, or up to a lead byte that has fewer
// bytes left than its form needs, where decoding ends. A text that arrives in pieces decodes
// as a whole when each piece starts with what the previous one did not consume.
std::int32_t DecodeUtf8(const std::uint8_t* source, std::uint32_t sourceLength, char16_t* destination,
                        std::uint64_t& units, bool stopAtError, std::uint32_t* consumed = nullptr) noexcept;

}  // namespace glyphshift::engine
