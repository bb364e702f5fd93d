// Single-byte conversions, line breaks and detection: every vector path against the reference
// loop. The first bytes choose the table, the line-break type, the alignment and a capacity.
#include <cstdint>

#include "engine/engine.h"
#include "fuzz_compare.h"

using glyphshift::fuzz::CPlacedInput;
using glyphshift::fuzz::Outcome;
using glyphshift::fuzz::SameOnEveryPath;
namespace engine = glyphshift::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  const std::int32_t code = data[0] % 60;
  const std::int32_t type = data[1] % 5;
  const std::size_t alignment = data[2] % 16;
  const std::uint32_t cut = data[3];
  const auto length = static_cast<std::uint32_t>(size - 4);
  const CPlacedInput bytes(data + 4, length, alignment);
  const CPlacedInput units(data + 4, length, 2 * (alignment % 4));

  for (std::uint32_t capacity : {2 * length, length > cut ? 2 * (length - cut) + 1 : 1u}) {
    SameOnEveryPath("single-byte decoding", capacity, 2 * (alignment % 4), [&](std::uint8_t* out) {
      Outcome o;
      o.size = capacity;
      o.result = engine::SingleByteToUtf16(code, bytes.bytes(), length, reinterpret_cast<char16_t*>(out), &o.size);
      return o;
    });
  }
  for (std::uint32_t capacity : {length / 2, length / 2 > cut ? length / 2 - cut : 0u}) {
    SameOnEveryPath("single-byte encoding", capacity, alignment, [&](std::uint8_t* out) {
      Outcome o;
      o.size = capacity;
      o.result = engine::Utf16ToSingleByte(code, units.units(), length, out, &o.size);
      return o;
    });
  }
  std::uint32_t query = 0;
  engine::TransformLineBreaks(type, units.units(), length, nullptr, &query);
  SameOnEveryPath("line breaks", query, 2 * (alignment % 4), [&](std::uint8_t* out) {
    Outcome o;
    o.result = engine::TransformLineBreaks(type, units.units(), length, reinterpret_cast<char16_t*>(out), &o.size);
    return o;
  });
  SameOnEveryPath("detection", 0, 0, [&](std::uint8_t*) {
    Outcome o;
    o.result = engine::DetectCharset(bytes.bytes(), length);
    return o;
  });
  return 0;
}
