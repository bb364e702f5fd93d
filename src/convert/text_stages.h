// The steps of a conversion for a text that arrives in pieces: decoding the source's bytes,
// rewriting line breaks, encoding into the destination's bytes. Each step carries across a cut
// exactly what decides how the text on the other side is treated, so the pieces give the bytes
// the whole text gives: the bytes of a UTF-8 character or half a UTF-16 unit, a CR that may be
// the first half of CR LF, a high surrogate that may pair with the next unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/charset_catalogue.h"
#include "engine/engine.h"

namespace glyphshift {

// Source bytes to UTF-16 units in the machine's byte order.
class CStreamDecoder {
 public:
  explicit CStreamDecoder(CharsetCode source) : source_(source) {}

  // Decodes from `bytes` into `units` (room for `size` units). `consumed` receives the bytes
  // used: all of them, or all but a cut-off character or half unit at the end, which the caller
  // offers again at the start of the next call with the bytes that follow it. With `last` the
  // text ends here: everything is used, a cut-off UTF-8 character ends decoding as it does at
  // the end of a whole text, and a UTF-16 source's odd last byte is noted (OddByte). A UTF-16
  // high surrogate at the end also waits for the next call, so a pair is never cut in two.
  // `flagged` is set when the engine found undefined or malformed input among the bytes.
  std::size_t Decode(const std::uint8_t* bytes, std::size_t size, bool last, char16_t* units, std::size_t& consumed,
                     bool& flagged);

  // A UTF-16 source ended with half a unit.
  bool OddByte() const { return oddByte_; }

 private:
  CharsetCode source_;
  bool oddByte_ = false;
};

// Line breaks rewritten to one type (the engine's TransformLineBreaks over the whole text).
class CLineBreakStage {
 public:
  explicit CLineBreakStage(std::int32_t type) : type_(type) {}
  // Rewrites `count` units into `out` (room for 2 x count + 2 units); returns the units written.
  // A CR at the end waits for the next call, unless `last`.
  std::size_t Rewrite(const char16_t* in, std::size_t count, bool last, char16_t* out);

 private:
  std::size_t WriteBreak(char16_t* out) const;

  std::int32_t type_;
  bool heldCr_ = false;
};

// UTF-16 units to the destination's bytes.
class CStreamEncoder {
 public:
  explicit CStreamEncoder(CharsetCode destination);
  // Encodes `count` units into `out` (room for MaxBytes(count)); returns the bytes written. A
  // high surrogate at the end waits for the unit that may complete it, unless `last`.
  std::size_t Encode(const char16_t* in, std::size_t count, bool last, std::uint8_t* out);
  // Forgets a unit that waits: the text it belonged to was replaced.
  void Forget() { held_ = false; }
  bool Holds() const { return held_; }
  // Room `Encode` may need for `count` units.
  static constexpr std::size_t MaxBytes(std::size_t count) { return 3 * count + 4; }

 private:
  CharsetCode destination_;
  std::unique_ptr<engine::CSingleByteEncoder> singleByte_;
  bool held_ = false;
  char16_t heldUnit_ = 0;
};

}  // namespace glyphshift
