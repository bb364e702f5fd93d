// Single-byte text straight to UTF-8 or to a single-byte set, without a whole UTF-16 copy.
//
// For a 100 MiB Windows-1252 file the stepwise conversion kept the raw bytes, made a 200 MiB
// working text and read it back; encoding the pieces as they are read (with the mapped blocks of
// platform/files.h) took the run on tmpfs from 0.41 s to 0.09 s and its peak memory from 311 to
// 113 MiB. When no line-break or markup step needs the whole text, decoding and encoding in
// cache-sized chunks gives the same bytes: single-byte decoding and the encoders work per unit,
// the byte order mark can only be the first unit, and a unit that could pair with the next one
// is carried into the next chunk.
#pragma once

#include <cstdint>
#include <span>

#include "convert/conversion_options.h"
#include "platform/file_memory.h"

namespace glyphshift {

// Whether ProcessFile may take the fused way for this pair of sets and these options.
bool CanFuse(CharsetCode source, CharsetCode destination, const ConversionOptions& options);

// Stepwise: this file is better left to the stepwise path (short of memory, an edge size).
enum class FusedResult { Ok, TooLarge, Stepwise };

// Encodes one file's bytes, given in pieces, into the body the stepwise path would write
// (without the destination's byte order mark).
class CFusedEncoding {
 public:
  // Plans for a source of `size` bytes (> 0). TooLarge where the stepwise path refuses the sizes.
  FusedResult Begin(CharsetCode source, std::uint64_t size, CharsetCode destination);
  // The next piece of the source. False, with nothing more done, when the source outgrows the
  // planned size (a file that grew while it was read).
  bool Add(std::span<const std::uint8_t> piece);
  // After the last piece: encodes a unit still held back for a partner that never came.
  void Finish();
  // The body; complete after Finish().
  std::span<const std::uint8_t> Encoded() const { return {output_.get(), size_}; }

  // 16 Ki units: a chunk's bytes, its UTF-16 and its UTF-8 stay in the second-level cache.
  static constexpr std::uint32_t kChunkUnits = 16 * 1024;

 private:
  void EncodeChunk(const std::uint8_t* bytes, std::uint32_t count, bool more);

  CharsetCode source_ = 0;
  CharsetCode destination_ = 0;
  std::uint64_t planned_ = 0;  // source bytes the output block is sized for
  std::uint64_t added_ = 0;
  std::uint64_t bound_ = 0;    // bytes of the output block
  platform::FileMemory<std::uint8_t> output_;
  std::size_t size_ = 0;
  bool carried_ = false;  // units_[0] holds a unit held back from the previous chunk
  char16_t units_[kChunkUnits + 1];  // not cleared: a small file must not pay for 32 KiB
};

}  // namespace glyphshift
