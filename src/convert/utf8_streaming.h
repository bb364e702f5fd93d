// UTF-8 decoded into the working text while the file is read, so the raw bytes never need a
// whole-file block: for 100 MiB that block cost 100 MiB of freshly zeroed pages and a trip of
// every byte through main memory (~10% of the run).
//
// The text is cut only where decoding the pieces gives the units that decoding the whole would
// give: after an ASCII byte that no lead byte before it looks past (see CutPoint). Input with no
// such place in a whole piece is left to the whole-file path.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/fused_conversion.h"
#include "convert/working_text.h"

namespace glyphshift {

class CUtf8Decoding {
 public:
  static constexpr std::size_t kPieceBytes = 64 * 1024;

  // Plans for a source of `size` bytes: a text block of 2 x size + 2 bytes, as every byte gives
  // at most one unit. TooLarge where the stepwise path refuses the size, Stepwise when memory
  // is short.
  FusedResult Begin(std::uint64_t size);
  // Room for the next read of up to kPieceBytes bytes.
  std::uint8_t* Room() { return pending_ + carried_; }
  // `got` bytes were read into Room(); 0 ends the text. False when the source cannot be cut
  // (no ASCII byte in a whole piece) or outgrows the planned size: nothing more is done.
  bool Commit(std::size_t got);
  // The decoded text; valid after Commit(0) returned true.
  WorkingText TakeText();

 private:
  void Decode(std::size_t count);

  std::uint64_t planned_ = 0;
  std::uint64_t added_ = 0;
  WorkingText text_;
  std::size_t carried_ = 0;  // bytes after the last cut, at the start of pending_
  std::uint8_t pending_[2 * kPieceBytes];  // not cleared: only what was read is used
};

}  // namespace glyphshift
