// Shared by the fuzz targets: runs one call on the reference path and on every vector path,
// each into a fresh guarded buffer, and stops the process on any difference.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "engine/codec_path.h"

namespace glyphshift::fuzz {

struct Outcome {
  std::int32_t result = 0;
  std::uint32_t size = 0;
  std::vector<std::uint8_t> buffer;  // output and guard
};

using Call = std::function<Outcome(std::uint8_t* out)>;

inline constexpr std::size_t kGuard = 64;
inline constexpr std::uint8_t kFill = 0xA5;

// `alignment` moves the output within an 8-byte aligned block; unit outputs pass an even one.
inline void SameOnEveryPath(const char* what, std::size_t capacity, std::size_t alignment, const Call& call) {
  Outcome expected;
  const int best = static_cast<int>(engine::BestCodecPath());
  for (int p = 0; p <= best; ++p) {
    engine::SetCodecPath(static_cast<engine::CodecPath>(p));
    std::vector<std::uint64_t> block((alignment + capacity + kGuard) / 8 + 1);
    auto* out = reinterpret_cast<std::uint8_t*>(block.data()) + alignment;
    std::memset(out, kFill, capacity + kGuard);
    Outcome got = call(out);
    got.buffer.assign(out, out + capacity + kGuard);
    if (p == 0) {
      for (std::size_t k = capacity; k < capacity + kGuard; ++k) {
        if (got.buffer[k] != kFill) {
          std::fprintf(stderr, "%s: the reference loop wrote past its capacity\n", what);
          std::abort();
        }
      }
      expected = got;
    } else if (got.result != expected.result || got.size != expected.size || got.buffer != expected.buffer) {
      std::fprintf(stderr, "%s: path %d gave result 0x%x size %u, the reference 0x%x size %u\n", what, p,
                   static_cast<unsigned>(got.result), got.size, static_cast<unsigned>(expected.result), expected.size);
      std::abort();
    }
  }
  engine::SetCodecPath(engine::BestCodecPath());
}

// The input copied `alignment` bytes into an aligned heap block that ends with it, so loads
// start anywhere and AddressSanitizer stops one that reaches past the input.
class CPlacedInput {
 public:
  CPlacedInput(const std::uint8_t* data, std::size_t size, std::size_t alignment)
      : block_(std::make_unique<std::uint8_t[]>(alignment + size)), data_(block_.get() + alignment) {
    if (size != 0) std::memcpy(data_, data, size);
  }
  std::uint8_t* bytes() const { return data_; }
  char16_t* units() const { return reinterpret_cast<char16_t*>(data_); }

 private:
  std::unique_ptr<std::uint8_t[]> block_;
  std::uint8_t* data_;
};

}  // namespace glyphshift::fuzz
