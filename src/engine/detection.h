// Detection over a text that arrives in pieces, and the last step of detection, open to tests
// with tables of their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/charset_catalogue.h"
#include "engine/mapping_table.h"

namespace glyphshift::engine {

// 256 bits: which byte values occur in a text, or which a table leaves undefined.
struct ByteSet {
  std::uint64_t bits[4] = {};
  void Add(std::uint8_t b) noexcept { bits[b >> 6] |= std::uint64_t{1} << (b & 63); }
  void AddAll(const std::uint8_t* data, std::size_t size) noexcept;
  bool Empty() const noexcept { return (bits[0] | bits[1] | bits[2] | bits[3]) == 0; }
  bool Has(std::uint8_t b) const noexcept { return ((bits[b >> 6] >> (b & 63)) & 1) != 0; }
  bool Meets(const ByteSet& other) const noexcept {
    return ((bits[0] & other.bits[0]) | (bits[1] & other.bits[1]) | (bits[2] & other.bits[2]) |
            (bits[3] & other.bits[3])) != 0;
  }
};

// The first of `count` tables in which no byte of the text is undefined; 0 when there is none.
CharsetCode FirstDefiningTable(const MappingTable* tables, int count, const std::uint8_t* data,
                               std::uint32_t dataLength) noexcept;

// DetectCharset for a text that arrives in pieces, with the whole text's answer. That answer
// depends only on the first three bytes, the length, the UTF-8 decoder's pass (a character cut
// in two is carried into the next piece) and which byte values occur, so no piece is kept.
class CCharsetDetector {
 public:
  CCharsetDetector() noexcept;
  // The next piece. False once the answer is settled: later pieces cannot change it, and the
  // caller may stop reading.
  bool Add(const std::uint8_t* data, std::size_t size) noexcept;
  // The answer, after the last piece.
  CharsetCode Finish() noexcept;
  // After a single-byte answer: whether the text read holds a byte above 0x7F (else it is
  // ASCII, which reads alike in every set the answer could be).
  bool HighBytes() const noexcept;

 private:
  void Scan(const std::uint8_t* data, std::size_t size) noexcept;
  void Settle(CharsetCode answer) noexcept;

  std::uint64_t total_ = 0;
  std::uint8_t head_[3] = {};
  bool settled_ = false;
  CharsetCode answer_ = 0;
  bool needBytes_;  // a table before the first one that defines every byte leaves some undefined
  ByteSet present_;
  std::int32_t utf8Result_ = 0;
  std::uint8_t carry_[16] = {};  // bytes of a character the last piece cut in two
  std::size_t carried_ = 0;
};

}  // namespace glyphshift::engine
