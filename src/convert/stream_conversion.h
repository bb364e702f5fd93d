// One file's conversion, piece by piece: decode, rewrite line breaks, drop a leading byte order
// mark, rewrite markup declarations, encode, write. The output is byte for byte what the steps
// give over the whole text, and memory does not grow with the file: a few buffers of fixed size
// (smaller for small files) are reused from piece to piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "convert/loss_check.h"
#include "convert/markup_stream.h"
#include "convert/text_stages.h"
#include "convert/working_text.h"
#include "engine/charset_catalogue.h"
#include "engine/engine.h"

namespace glyphshift {

// Where the converted bytes go: a staged file, or memory in tests. Errors are the sink's to keep.
class CByteSink {
 public:
  virtual ~CByteSink() = default;
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  virtual std::uint64_t Size() const = 0;
  // Cuts what was written back to `size` bytes: a markup value is replaced after it was written.
  virtual bool Truncate(std::uint64_t size) = 0;
  // Whether writing costs enough to be worth a thread of its own (a file does, memory does not).
  // Such a sink is then written from that thread alone while a conversion runs, and is only
  // touched again by the conversion's thread once the conversion is settled.
  virtual bool WritesBehind() const { return false; }
};

struct StreamSettings {
  CharsetCode source = 0;
  CharsetCode destination = kCharsetUtf8;
  std::optional<std::int32_t> lineBreakType;  // absent: line breaks unchanged
  bool writeBom = true;
  bool modifyXml = false;
  bool modifyHtml = false;
  std::u16string_view destinationName;  // written into markup declarations
  CStreamObserver* observer = nullptr;  // told about the text as it goes (the loss check)
};

// The steps whose buffers the conversion allocates, in this order; a failed allocation names
// its step (ProcessFile reports each differently).
enum class StreamStep { None, Decoding, LineBreaks, Markup, Encoding };

class CStreamConversion final : private CUnitSink {
 public:
  // Source bytes read at once, and units decoded at once: a piece, its units and their bytes
  // stay in the second-level cache.
  static constexpr std::size_t kPieceBytes = 128 * 1024;
  static constexpr std::size_t kChunkUnits = 16 * 1024;
  // Output collected before it is written.
  static constexpr std::size_t kOutputBytes = 512 * 1024;
  // From this source size on, a sink that WritesBehind is written on a thread of its own while
  // the next output fills: the copy into the file system's cache overlaps the conversion. The
  // output then has this many buffers instead of one.
  static constexpr std::uint64_t kWriteBehindFrom = 4ull << 20;
  static constexpr std::size_t kOutputBuffers = 3;

  CStreamConversion(const StreamSettings& settings, CByteSink& sink);
  ~CStreamConversion() override;
  CStreamConversion(const CStreamConversion&) = delete;
  CStreamConversion& operator=(const CStreamConversion&) = delete;

  // Allocates the buffers, sized for a source of about `sourceSize` bytes (it may grow or
  // shrink while it is read), and writes the byte order mark. The step whose buffer could not
  // be had, or None.
  StreamStep Begin(std::uint64_t sourceSize);
  // The next piece of the source, used where it lies (a mapped file is never copied). False
  // when the sink failed.
  bool Add(std::span<const std::uint8_t> piece);
  // A buffer to read the next piece into, for Add.
  std::span<std::uint8_t> Room() { return {bytes_, pieceBytes_}; }
  // After the last piece. False when the sink failed.
  bool Finish();
  // Waits for every write in progress and ends the writing thread: the sink is the caller's
  // again. Finish, and Add when it fails, do it themselves; a caller that gives up between
  // them (a source that cannot be read) calls it before it touches the sink.
  void Settle();
  // The observer stopped the conversion (Add and Finish then answer false, the sink is fine).
  bool Stopped() const { return stopped_; }

 private:
  // Decodes from `data` in chunks of units; returns the bytes used (all but a cut-off
  // character at the end, unless `last`).
  std::size_t Decode(const std::uint8_t* data, std::size_t size, bool last);
  // The same for a single-byte source converted straight to UTF-8 (all bytes are used).
  void ConvertStraight(const std::uint8_t* data, std::size_t size, bool last);
  void Push(const char16_t* units, std::size_t count, bool last);
  void Emit(const char16_t* units, std::size_t count) override;
  std::uint64_t Mark() override;
  void Rewind(std::uint64_t mark) override;
  void Append(std::span<const std::uint8_t> bytes);
  void FlushOutput();
  void StartWriteBehind();
  void Stop();
  bool Ensure(std::size_t bytes);
  class CWriteBehind;

  const StreamSettings settings_;
  CByteSink& sink_;
  bool failed_ = false;
  bool stopped_ = false;
  std::uint64_t sourceOffset_ = 0;  // of the next byte to decode
  std::uint64_t decodedUnits_ = 0;  // of the decoded text so far
  std::uint64_t encodedUnits_ = 0;  // handed to the encoder so far

  CStreamDecoder decoder_;
  std::optional<CLineBreakStage> lineBreaks_;
  std::unique_ptr<CMarkupStream> markup_;
  CStreamEncoder encoder_;
  // Set when nothing between decoding and encoding changes the text (no line breaks, no markup,
  // no byte order mark to drop) and the observer needs no units: single-byte text to UTF-8.
  const engine::CSingleByteToUtf8* straight_ = nullptr;
  bool markChecked_ = false;  // the first unit was looked at for a byte order mark

  std::size_t pieceBytes_ = 0;
  std::size_t chunkUnits_ = 0;
  std::size_t outputBytes_ = 0;
  platform::FileMemory<std::uint8_t> input_;  // the read buffer, then the chunk's units
  std::uint8_t* bytes_ = nullptr;
  char16_t* units_ = nullptr;
  // The start of a character the last piece cut off, and the bytes after it that complete it.
  std::uint8_t carry_[64] = {};
  std::size_t carried_ = 0;
  platform::FileMemory<char16_t> broken_;  // units after the line-break step
  platform::FileMemory<char16_t> name_;    // the markup stage's copy of the name
  platform::FileMemory<std::uint8_t> outputs_[kOutputBuffers];
  std::size_t spareOutputs_ = 0;    // buffers beyond the first, for a sink written behind
  std::uint8_t* output_ = nullptr;  // the one filling
  std::size_t outputSize_ = 0;
  // Written behind: the thread, and the sink's size once all handed to it is written.
  std::unique_ptr<CWriteBehind> behind_;
  std::uint64_t handed_ = 0;
};

}  // namespace glyphshift
