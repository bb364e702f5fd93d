// The UTF-8 decoder and encoder: every vector path against the reference loop, on the input
// as UTF-8 and as UTF-16, at an alignment and (encoding) capacities the input chooses.
#include <cstdint>

#include "engine/engine.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > (1u << 20)) return 0;
  const std::size_t alignment = data[0] % 16;
  const std::uint32_t cut = data[1];
  const auto length = static_cast<std::uint32_t>(size - 2);
  Decode(data + 2, length, alignment);
  Encode(data + 2, length, alignment, cut);
  return 0;
}
