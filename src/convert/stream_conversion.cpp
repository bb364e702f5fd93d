#include "convert/stream_conversion.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "engine/mapping_table.h"

namespace glyphshift {

namespace {

constexpr std::uint8_t kUtf8Bom[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t kUtf16LeBom[] = {0xFF, 0xFE};
constexpr std::uint8_t kUtf16BeBom[] = {0xFE, 0xFF};
constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::size_t kUtf8Longest = 6;  // the most bytes a cut-off character carries over

bool IsUtf16(CharsetCode code) { return code == kCharsetUtf16 || code == kCharsetUtf16Be; }

// Whether a single-byte source goes straight to UTF-8: the steps between decoding and encoding
// would leave the text as it is, and the observer judges the bytes alone.
bool GoesStraight(const StreamSettings& settings) {
  if (!IsSingleByteCode(settings.source) || settings.destination != kCharsetUtf8) return false;
  if (settings.lineBreakType || settings.modifyXml || settings.modifyHtml) return false;
  if (settings.observer == nullptr || !settings.observer->JudgesBytesAlone()) return false;
  const char16_t* units = kMappingTables[settings.source].units;
  return std::find(units, units + 256, kByteOrderMark) == units + 256;  // none to drop
}

std::span<const std::uint8_t> MarkFor(CharsetCode destination) {
  if (destination == kCharsetUtf8) return kUtf8Bom;
  if (destination == kCharsetUtf16) return kUtf16LeBom;
  if (destination == kCharsetUtf16Be) return kUtf16BeBom;
  return {};  // a single-byte set has no mark
}

}  // namespace

// Writes the filled output buffers into the sink on a thread of its own, in order, while the
// converting thread fills the next one. It reports nothing: a failed write is kept in the sink
// and handed back as a refusal of the next buffer, and nothing more is written after it.
class CStreamConversion::CWriteBehind {
 public:
  CWriteBehind(CByteSink& sink, std::span<std::uint8_t* const> spares) : sink_(sink) {
    for (std::uint8_t* spare : spares) free_[freeCount_++] = spare;
  }
  ~CWriteBehind() { Settle(); }
  CWriteBehind(const CWriteBehind&) = delete;
  CWriteBehind& operator=(const CWriteBehind&) = delete;

  // False when no thread could be had: the conversion then writes on its own thread.
  bool Start() {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }
  // Queues `size` bytes at `data`; the buffer is the writer's until Take gives it back. False
  // (the buffer stays the caller's) once a write failed.
  bool Hand(std::uint8_t* data, std::size_t size) {
    const std::lock_guard lock(mutex_);
    if (failed_) return false;
    jobs_[(head_ + queued_) % kOutputBuffers] = {data, size};
    ++queued_;
    changed_.notify_all();
    return true;
  }
  // A written buffer to fill again; waits while each is queued or being written.
  std::uint8_t* Take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return freeCount_ != 0; });
    return free_[--freeCount_];
  }
  // Waits until all that was handed is written. False when a write failed.
  bool Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queued_ == 0; });
    return !failed_;
  }
  // Drains and ends the thread. False when a write failed.
  bool Settle() {
    if (thread_.joinable()) {
      {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        changed_.notify_all();
      }
      thread_.join();
    }
    return !failed_;
  }

 private:
  struct Job {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
  };

  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return queued_ != 0 || quit_; });
      if (queued_ == 0) return;
      const Job job = jobs_[head_];
      // After a failure the rest is dropped: the output is discarded anyway.
      const bool skip = failed_;
      lock.unlock();
      const bool written = skip || sink_.Write({job.data, job.size});
      lock.lock();
      if (!written) failed_ = true;
      head_ = (head_ + 1) % kOutputBuffers;
      --queued_;
      free_[freeCount_++] = job.data;
      changed_.notify_all();
    }
  }

  CByteSink& sink_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<Job, kOutputBuffers> jobs_{};  // a ring: `queued_` from `head_` on
  std::size_t head_ = 0;
  std::size_t queued_ = 0;
  std::array<std::uint8_t*, kOutputBuffers> free_{};
  std::size_t freeCount_ = 0;
  bool failed_ = false;
  bool quit_ = false;
  std::thread thread_;  // last: started once the rest is set up
};

CStreamConversion::CStreamConversion(const StreamSettings& settings, CByteSink& sink)
    : settings_(settings), sink_(sink), decoder_(settings.source), encoder_(settings.destination) {}

CStreamConversion::~CStreamConversion() = default;

StreamStep CStreamConversion::Begin(std::uint64_t sourceSize) {
  // Small files get small buffers: thousands of them must not each pay for megabytes.
  const std::uint64_t expected = std::max<std::uint64_t>(sourceSize, 64);
  pieceBytes_ = static_cast<std::size_t>(std::min<std::uint64_t>(expected, kPieceBytes));
  chunkUnits_ = std::min(pieceBytes_ + kUtf8Longest, kChunkUnits);
  outputBytes_ = static_cast<std::size_t>(std::min<std::uint64_t>(3 * expected, kOutputBytes)) +
                 CStreamEncoder::MaxBytes(2 * chunkUnits_ + 2);

  // The read buffer and one chunk's units in one block.
  const std::size_t inputBytes = (pieceBytes_ + 1) / 2 * 2;
  input_ = ReinterpretFileMemory<std::uint8_t>(AllocateUnits(inputBytes / 2 + chunkUnits_ + 1));
  if (!input_) return StreamStep::Decoding;
  bytes_ = input_.get();
  units_ = reinterpret_cast<char16_t*>(input_.get() + inputBytes);
  if (settings_.lineBreakType) {
    broken_ = AllocateUnits(2 * chunkUnits_ + 4);
    if (!broken_) return StreamStep::LineBreaks;
    lineBreaks_.emplace(*settings_.lineBreakType);
  }
  if (settings_.modifyXml || settings_.modifyHtml) {
    name_ = AllocateUnits(settings_.destinationName.size() + 1);
    if (!name_) return StreamStep::Markup;
    std::copy(settings_.destinationName.begin(), settings_.destinationName.end(), name_.get());
    markup_.reset(new (std::nothrow) CMarkupStream(std::u16string_view(name_.get(), settings_.destinationName.size()),
                                                   settings_.modifyXml, settings_.modifyHtml));
    if (!markup_) return StreamStep::Markup;
  }
  // A large file written behind gets spare output buffers; a small one would not gain.
  spareOutputs_ = sink_.WritesBehind() && sourceSize >= kWriteBehindFrom ? kOutputBuffers - 1 : 0;
  for (std::size_t i = 0; i <= spareOutputs_; ++i) {
    outputs_[i] = AllocateBytes(outputBytes_);
    if (!outputs_[i]) return StreamStep::Encoding;
  }
  output_ = outputs_[0].get();
  if (GoesStraight(settings_)) straight_ = &engine::CSingleByteToUtf8::For(settings_.source);
  if (settings_.writeBom) Append(MarkFor(settings_.destination));
  return StreamStep::None;
}

bool CStreamConversion::Add(std::span<const std::uint8_t> piece) {
  if (carried_ != 0) {
    // The cut-off character is completed from the piece's first bytes, where decoding goes on.
    const std::size_t taken = std::min(piece.size(), sizeof carry_ - carried_);
    std::memcpy(carry_ + carried_, piece.data(), taken);
    const std::size_t consumed = Decode(carry_, carried_ + taken, false);
    if (failed_) {
      Settle();
      return false;
    }
    if (consumed < carried_) {
      // The piece was too short: what was decoded goes, a character still cut off stays.
      carried_ += taken - consumed;
      std::memmove(carry_, carry_ + consumed, carried_);
      return taken < piece.size() ? Add(piece.subspan(taken)) : !failed_;
    }
    piece = piece.subspan(consumed - carried_);
    carried_ = 0;
  }
  const std::size_t consumed = Decode(piece.data(), piece.size(), false);
  if (failed_) {
    Settle();
    return false;  // decoding stopped where the output failed, not at a character
  }
  carried_ = piece.size() - consumed;  // fewer than a character's bytes
  if (carried_ != 0) std::memcpy(carry_, piece.data() + consumed, carried_);
  return true;
}

bool CStreamConversion::Finish() {
  Decode(carry_, carried_, true);
  carried_ = 0;
  if (failed_) {
    Settle();
    return false;
  }
  Push(nullptr, 0, true);
  // A high surrogate still waiting for its partner is encoded alone.
  if (Ensure(CStreamEncoder::MaxBytes(0))) {
    outputSize_ += encoder_.Encode(nullptr, 0, true, output_ + outputSize_);
  }
  // Half a unit at the end of a UTF-16 source stays as a zero byte in a UTF-16 destination,
  // unless a line-break step rewrote the text by whole units.
  if (decoder_.OddByte() && IsUtf16(settings_.destination) && !lineBreaks_) {
    static constexpr std::uint8_t kZero[] = {0};
    Append(kZero);
  }
  if (settings_.observer) settings_.observer->Finished(decoder_.OddByte(), sourceOffset_, decodedUnits_);
  FlushOutput();
  Settle();
  return !failed_;
}

void CStreamConversion::Settle() {
  if (!behind_) return;
  if (!behind_->Settle()) failed_ = true;
  behind_.reset();
  spareOutputs_ = 0;  // the sink is written here from now on
}

std::size_t CStreamConversion::Decode(const std::uint8_t* data, std::size_t size, bool last) {
  if (straight_) {
    ConvertStraight(data, size, last);
    return size;
  }
  std::size_t at = 0;
  while (at < size && !failed_) {
    const std::size_t part = std::min(size - at, chunkUnits_);
    const bool end = at + part == size;
    std::size_t consumed = 0;
    bool flagged = false;
    const std::size_t units = decoder_.Decode(data + at, part, last && end, units_, consumed, flagged);
    if (settings_.observer && !settings_.observer->Decoded({data + at, consumed, sourceOffset_, units_, units,
                                                            decodedUnits_, flagged, last && end})) {
      Stop();
      break;
    }
    sourceOffset_ += consumed;
    decodedUnits_ += units;
    Push(units_, units, false);
    at += consumed;
    if (end && consumed < part) break;  // a character cut off at the end waits for more
  }
  return at;
}

void CStreamConversion::ConvertStraight(const std::uint8_t* data, std::size_t size, bool last) {
  for (std::size_t at = 0; at < size && !failed_;) {
    const std::size_t part = std::min(size - at, chunkUnits_);
    if (!Ensure(engine::CSingleByteToUtf8::MaxBytes(part))) return;
    bool undefined = false;
    // Written behind, the output is read next on the writing thread's core. Past the caches its
    // lines need not be taken back from there when the buffer is filled again: on the 2-core
    // machine that gave 0.30 s a GiB run after run, where ordinary stores ranged from 0.28 to
    // 0.50 s with how the two threads happened to share the caches.
    const std::size_t written =
        straight_->Convert(data + at, part, output_ + outputSize_, undefined, behind_ != nullptr);
    // Taken into the output only once the observer has accepted the chunk.
    if (!settings_.observer->Decoded(
            {data + at, part, sourceOffset_, nullptr, part, decodedUnits_, undefined, last && at + part == size})) {
      Stop();
      return;
    }
    outputSize_ += written;
    sourceOffset_ += part;
    decodedUnits_ += part;
    encodedUnits_ += part;
    at += part;
  }
}

void CStreamConversion::Push(const char16_t* units, std::size_t count, bool last) {
  if (lineBreaks_) {
    count = lineBreaks_->Rewrite(units, count, last, broken_.get());
    units = broken_.get();
  }
  // Only the text's very first unit can be the byte order mark that is dropped.
  if (!markChecked_ && count != 0) {
    markChecked_ = true;
    if (units[0] == kByteOrderMark) {
      ++units;
      --count;
    }
  }
  if (markup_) {
    markup_->Process(units, count, *this);
  } else {
    Emit(units, count);
  }
}

void CStreamConversion::Emit(const char16_t* units, std::size_t count) {
  // In parts that fit the output buffer (a markup name may come on its own, line breaks double).
  const std::size_t most = (outputBytes_ - CStreamEncoder::MaxBytes(0)) / 3;
  while (count != 0 && !failed_) {
    const std::size_t part = std::min(count, most);
    if (settings_.observer && !settings_.observer->Encoding(units, part, encodedUnits_)) {
      Stop();
      return;
    }
    if (!Ensure(CStreamEncoder::MaxBytes(part))) return;
    std::uint8_t* bytes = output_ + outputSize_;
    outputSize_ += encoder_.Encode(units, part, false, bytes);
    if (settings_.observer && IsSingleByteCode(settings_.destination)) {
      settings_.observer->EncodedSingleBytes(units, part, bytes, encodedUnits_);
    }
    encodedUnits_ += part;
    units += part;
    count -= part;
  }
}

// Taken only after a quote or "=": no high surrogate waits in the encoder.
// While the sink is written behind, its size is the writer's to change: what was handed counts.
std::uint64_t CStreamConversion::Mark() { return (behind_ ? handed_ : sink_.Size()) + outputSize_; }

void CStreamConversion::Rewind(std::uint64_t mark) {
  encoder_.Forget();
  const std::uint64_t written = behind_ ? handed_ : sink_.Size();
  if (mark >= written) {
    outputSize_ = static_cast<std::size_t>(mark - written);
  } else {
    outputSize_ = 0;

    if (behind_ && !behind_->Drain()) {
      failed_ = true;
      return;
    }
    if (!sink_.Truncate(mark)) failed_ = true;
    handed_ = mark;
  }
}

void CStreamConversion::Append(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || !Ensure(bytes.size())) return;
  std::memcpy(output_ + outputSize_, bytes.data(), bytes.size());
  outputSize_ += bytes.size();
}

// Room for `bytes` more in the output buffer, writing out what it holds when needed.
bool CStreamConversion::Ensure(std::size_t bytes) {
  if (outputBytes_ - outputSize_ < bytes) FlushOutput();
  return !failed_;
}

// Ends the conversion where the observer asked: nothing more is decoded, encoded or written.
void CStreamConversion::Stop() {
  stopped_ = true;
  failed_ = true;
}

void CStreamConversion::FlushOutput() {
  if (outputSize_ == 0 || failed_) return;
  if (!behind_ && spareOutputs_ != 0) StartWriteBehind();
  if (behind_) {
    if (behind_->Hand(output_, outputSize_)) {
      handed_ += outputSize_;
      output_ = behind_->Take();
    } else {
      failed_ = true;
    }
  } else if (!sink_.Write({output_, outputSize_})) {
    failed_ = true;
  }
  outputSize_ = 0;
}

// Only from the first write on: a conversion that fails before it (a destination that cannot be
// created) never had a thread.
void CStreamConversion::StartWriteBehind() {
  std::uint8_t* spares[kOutputBuffers - 1] = {};
  for (std::size_t i = 0; i < spareOutputs_; ++i) spares[i] = outputs_[i + 1].get();
  handed_ = sink_.Size();
  behind_.reset(new (std::nothrow) CWriteBehind(sink_, {spares, spareOutputs_}));
  if (behind_ && !behind_->Start()) behind_.reset();
  spareOutputs_ = 0;  // tried once; without a thread the sink is written here
}

}  // namespace glyphshift
