// The UTF-8 decoder, encoder and detection: every vector path against the reference loop, on
// the input as UTF-8 and as UTF-16 and on mostly well-formed text made from it, at an alignment
// and (encoding) capacities the input chooses.
#include <cstdint>
#include <vector>

#include "engine/engine.h"
#include "engine/reference/reference.h"
#include "fuzz_compare.h"

using glyphshift::fuzz::CPlacedInput;
using glyphshift::fuzz::Outcome;
using glyphshift::fuzz::SameOnEveryPath;
namespace engine = glyphshift::engine;

namespace {

void Decode(const std::uint8_t* data, std::uint32_t size, std::size_t alignment) {
  const CPlacedInput in(data, size, alignment);
  SameOnEveryPath("utf8 size query", 0, 0, [&](std::uint8_t*) {
    Outcome o;
    o.result = engine::Utf8ToUtf16(in.bytes(), size, nullptr, &o.size);
    return o;
  });
  std::uint32_t query = 0;
  engine::Utf8ToUtf16(in.bytes(), size, nullptr, &query);
  SameOnEveryPath("utf8 decoding", query, 2 * (alignment % 4), [&](std::uint8_t* out) {
    Outcome o;
    o.result = engine::Utf8ToUtf16(in.bytes(), size, reinterpret_cast<char16_t*>(out), &o.size);
    return o;
  });
}

void Detect(const std::uint8_t* data, std::uint32_t size, std::size_t alignment) {
  const CPlacedInput in(data, size, alignment);
  SameOnEveryPath("detection", 0, 0, [&](std::uint8_t*) {
    Outcome o;
    o.result = engine::DetectCharset(in.bytes(), size);
    return o;
  });
}

void Encode(const std::uint8_t* data, std::uint32_t size, std::size_t alignment, std::uint32_t cut) {
  const CPlacedInput in(data, size, 2 * (alignment % 4));
  SameOnEveryPath("utf8 encoding size query", 0, 0, [&](std::uint8_t*) {
    Outcome o;
    o.result = engine::Utf16ToUtf8(in.units(), size, nullptr, &o.size);
    return o;
  });
  std::uint32_t query = 0;
  engine::Utf16ToUtf8(in.units(), size, nullptr, &query);
  // The full queried size, and a smaller one that stops the conversion somewhere inside.
  for (std::uint32_t capacity : {query, query > cut ? query - cut : 1u}) {
    if (capacity == 0) continue;
    SameOnEveryPath("utf8 encoding", capacity, alignment, [&](std::uint8_t* out) {
      Outcome o;
      o.size = capacity;
      o.result = engine::Utf16ToUtf8(in.units(), size, out, &o.size);
      return o;
    });
  }
}

// Random bytes seldom hold long runs of whole UTF-8 characters, which the vector blocks take.
// So the payload, read as UTF-16 with its units narrowed to a range the third byte chooses, is
// also encoded by the reference loop into mostly well-formed UTF-8 (surrogates give 4-byte forms
// or EF BF BD), and one byte of that may be changed: the blocks run long and then meet the change.
void MixedScripts(const std::uint8_t* payload, std::uint32_t length, std::size_t alignment, std::uint32_t cut,
                  std::uint8_t flavour) {
  static constexpr std::uint16_t kNarrow[4] = {0xFFFF, 0x07FF, 0x00FF, 0x9FFF};
  std::vector<char16_t> units(length / 2);
  for (std::size_t k = 0; k < units.size(); ++k) {
    const auto unit = static_cast<std::uint16_t>(payload[2 * k] | payload[2 * k + 1] << 8);
    // With bit 6 of the flavour, units with their low bit set stay whole: the ranges mix.
    const bool whole = (flavour & 0x40) != 0 && (unit & 1) != 0;
    units[k] = static_cast<char16_t>(whole ? unit : unit & kNarrow[flavour % 4]);
  }
  const auto unitBytes = static_cast<std::uint32_t>(units.size() * 2);
  Encode(reinterpret_cast<const std::uint8_t*>(units.data()), unitBytes, alignment, cut);
  std::uint32_t size = 0;
  engine::reference::Utf16ToUtf8(units.data(), unitBytes, nullptr, &size);
  std::vector<std::uint8_t> text(size);
  if (size != 0) engine::reference::Utf16ToUtf8(units.data(), unitBytes, text.data(), &size);
  text.resize(size);
  if (!text.empty() && (flavour & 0x80) != 0) text[(cut * 131u + flavour) % text.size()] = payload[0];
  Decode(text.data(), static_cast<std::uint32_t>(text.size()), alignment);
  Detect(text.data(), static_cast<std::uint32_t>(text.size()), alignment);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  const std::size_t alignment = data[0] % 16;
  const std::uint32_t cut = data[1];
  const std::uint8_t flavour = data[2];
  const auto length = static_cast<std::uint32_t>(size - 3);
  Decode(data + 3, length, alignment);
  Encode(data + 3, length, alignment, cut);
  MixedScripts(data + 3, length, alignment, cut, flavour);
  return 0;
}
