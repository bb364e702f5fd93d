// What the loss check costs a conversion: the stream conversion of 64 MiB of generated text,
// in memory (no file system between), with the check riding along and without it, in turns,
// best of several rounds. Target: at most 5% slower with it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>
#include <vector>

#include "bench/bench_inputs.h"
#include "convert/loss_check.h"
#include "convert/process_file.h"
#include "convert/stream_conversion.h"
#include "engine/codec_path.h"

namespace glyphshift::bench {
namespace {

// An observer that checks nothing and lets the stream take the way it takes with the loss
// check (single-byte text straight to UTF-8): what is measured is the check alone.
class CNoCheck final : public CStreamObserver {
 public:
  bool Decoded(const DecodedChunk&) override { return true; }
  bool JudgesBytesAlone() const override { return true; }
};

// Seconds for one conversion of `bytes` from `source` to `destination`, checked or not.
double Convert(const std::vector<std::uint8_t>& bytes, CharsetCode source, CharsetCode destination, bool checked) {
  CLossCheck check(source, destination, {});
  CNoCheck noCheck;
  StreamSettings settings;
  settings.source = source;
  settings.destination = destination;
  settings.writeBom = false;
  settings.observer = checked ? static_cast<CStreamObserver*>(&check) : &noCheck;
  CNullSink sink;
  const auto start = std::chrono::steady_clock::now();
  CStreamConversion stream(settings, sink);
  if (stream.Begin(bytes.size()) != StreamStep::None) return 0;
  for (std::size_t at = 0; at < bytes.size(); at += CStreamConversion::kPieceBytes) {
    const std::size_t piece = std::min(CStreamConversion::kPieceBytes, bytes.size() - at);
    std::copy_n(bytes.data() + at, piece, stream.Room().data());  // as a read into the buffer would
    stream.Add(stream.Room().first(piece));
  }
  stream.Finish();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::uint8_t> Utf16Bytes(const std::vector<char16_t>& units) {
  std::vector<std::uint8_t> bytes(units.size() * 2);
  for (std::size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
  }
  return bytes;
}

}  // namespace
}  // namespace glyphshift::bench

int main() {
  using namespace glyphshift;
  using namespace glyphshift::bench;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    CharsetCode source, destination;
  };
  const Case cases[] = {
      {"Windows-1252 Latin -> UTF-8", SingleByteText(TextKind::kLatin), SingleByteCodeOf(TextKind::kLatin),
       kCharsetUtf8},
      {"Windows-1251 Cyrillic -> UTF-8", SingleByteText(TextKind::kCyrillic), SingleByteCodeOf(TextKind::kCyrillic),
       kCharsetUtf8},
      {"UTF-8 Greek and CJK -> UTF-16", Utf8Text(TextKind::kGreekCjk), kCharsetUtf8, kCharsetUtf16},
      {"UTF-8 Latin -> Windows-1252", Utf8Text(TextKind::kLatin), kCharsetUtf8, SingleByteCodeOf(TextKind::kLatin)},
      {"UTF-16 Latin -> UTF-8", Utf16Bytes(Utf16Text(TextKind::kLatin)), kCharsetUtf16, kCharsetUtf8},
  };
  constexpr int kRounds = 9;
  std::printf("loss check cost, %zu MiB per conversion, best of %d, codec path %d\n", kInputBytes >> 20, kRounds,
              static_cast<int>(engine::CurrentCodecPath()));
  double worst = 0;
  for (const Case& c : cases) {
    double with = 1e9, without = 1e9;
    for (int round = 0; round < kRounds; ++round) {
      without = std::min(without, Convert(c.bytes, c.source, c.destination, false));
      with = std::min(with, Convert(c.bytes, c.source, c.destination, true));
    }
    const double mib = static_cast<double>(c.bytes.size()) / (1 << 20);
    const double ratio = with / without;
    worst = std::max(worst, ratio);
    std::printf("  %-32s without %7.0f MiB/s  with %7.0f MiB/s  cost %+5.1f%%\n", c.name, mib / without, mib / with,
                (ratio - 1) * 100);
  }
  std::printf("worst cost %+.1f%% (target at most +5%%: %s)\n", (worst - 1) * 100, worst <= 1.05 ? "ok" : "MISSED");
  return 0;
}
