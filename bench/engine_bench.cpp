// Throughput of the eight exported functions on 64 MiB inputs, with glibc iconv and ICU doing
// the same conversions in the same run. Prints Google Benchmark's table, then a summary of
// MB/s (10^6 input bytes per second), the ratio to the faster yardstick, and the targets.
//
//   engine_bench [--scalar | --path=reference|sse2|ssse3|avx512] [benchmark flags]
// --scalar (or GLYPHSHIFT_FORCE_SCALAR=1) runs our functions on the reference loops instead of
// the vector paths, so one binary compares both; --path picks any path up to the best this CPU
// has (how a machine without AVX-512 would fare).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <sys/mman.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "bench_inputs.h"
#include "engine/codec_path.h"
#include "engine/engine.h"
#include "glyphshift/glyphshift.h"
#include "yardsticks.h"

namespace glyphshift::bench {
namespace {

using Run = std::function<std::size_t()>;

// Results by "function/input" and implementation ("ours", "iconv", "icu"), in MB/s.
std::map<std::string, std::map<std::string, double>> gResults;
std::vector<std::string> gOrder;

void Register(const std::string& group, const std::string& impl, std::size_t inputBytes, Run run) {
  if (gResults.find(group) == gResults.end()) gOrder.push_back(group);
  gResults[group];
  benchmark::RegisterBenchmark((group + "/" + impl).c_str(), [=](benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(run());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(inputBytes));
  })->Unit(benchmark::kMillisecond);
}

// A buffer per benchmark, kept for the whole run: allocation is not what we measure. Backed by
// 2 MiB pages and touched once, so that every benchmark, ours and the yardsticks alike, writes
// into the same kind of memory: with 4 KiB pages whichever buffer happened to be placed where
// the kernel could not back it with large pages measured 20-30% slower, whatever ran in it.
template <class T>
T* Buffer(std::size_t count) {
  constexpr std::size_t kLargePage = 2u << 20;
  const std::size_t bytes = ((count + 16) * sizeof(T) + kLargePage - 1) / kLargePage * kLargePage;
  void* block = nullptr;
  if (posix_memalign(&block, kLargePage, bytes) != 0) std::abort();
  madvise(block, bytes, MADV_HUGEPAGE);
  std::memset(block, 0, bytes);
  return static_cast<T*>(block);  // kept for the whole run
}

std::uint32_t Bytes32(std::size_t n) { return static_cast<std::uint32_t>(n); }
const uint16_t* U16(const std::vector<char16_t>& v) { return reinterpret_cast<const uint16_t*>(v.data()); }

std::string Name(const char* function, TextKind kind) { return std::string(function) + "/" + KindName(kind); }
// Codes 16..24 are Windows-1250..1258.
std::string WindowsName(std::int32_t code) { return "windows-" + std::to_string(1234 + code); }
std::string CpName(std::int32_t code) { return "CP" + std::to_string(1234 + code); }

void RegisterSingleByte(TextKind kind) {
  const std::int32_t code = SingleByteCodeOf(kind);
  const auto& bytes = SingleByteText(kind);
  auto* units = Buffer<uint16_t>(bytes.size());
  const std::string decode = Name("sb_to_utf16", kind);
  Register(decode, "ours", bytes.size(), [=, &bytes] {
    std::uint32_t size = Bytes32(bytes.size() * 2);
    return static_cast<std::size_t>(
        ConvertSingleByteToDoubleByte(code, bytes.data(), Bytes32(bytes.size()), units, &size));
  });
  auto* toIconv = new CIconv("UTF-16LE", CpName(code).c_str(), 1);
  Register(decode, "iconv", bytes.size(),
           [=, &bytes] { return toIconv->Convert(bytes.data(), bytes.size(), units, bytes.size() * 2 + 32); });
  auto* toIcu = new CIcu(CIcu::Direction::kToUtf16, WindowsName(code).c_str());
  Register(decode, "icu", bytes.size(),
           [=, &bytes] { return toIcu->Convert(bytes.data(), bytes.size(), units, bytes.size() * 2 + 32); });

  const auto& text = kind == TextKind::kRandom ? Utf16Text(kind) : Utf16Text(kind, true);
  const std::size_t textBytes = text.size() * 2;
  auto* out = Buffer<std::uint8_t>(text.size());
  const std::string encode = Name("utf16_to_sb", kind);
  Register(encode, "ours", textBytes, [=, &text] {
    std::uint32_t size = Bytes32(text.size());
    return static_cast<std::size_t>(ConvertDoubleByteToSingleByte(code, U16(text), Bytes32(textBytes), out, &size));
  });
  auto* fromIconv = new CIconv((CpName(code) + "//IGNORE").c_str(), "UTF-16LE", 2);
  Register(encode, "iconv", textBytes,
           [=, &text] { return fromIconv->Convert(text.data(), textBytes, out, text.size() + 16); });
  auto* fromIcu = new CIcu(CIcu::Direction::kFromUtf16, WindowsName(code).c_str());
  Register(encode, "icu", textBytes,
           [=, &text] { return fromIcu->Convert(text.data(), textBytes, out, text.size() + 16); });
}

// Single-byte text straight to UTF-8, the way of a file's conversion with the loss check (no
// exported function does it in one call). The yardsticks convert between the same two sets.
void RegisterSingleByteToUtf8(TextKind kind) {
  const std::int32_t code = SingleByteCodeOf(kind);
  const auto& bytes = SingleByteText(kind);
  auto* out = Buffer<std::uint8_t>(engine::CSingleByteToUtf8::MaxBytes(bytes.size()));
  const auto* straight = new engine::CSingleByteToUtf8(code);
  const std::string group = Name("sb_to_utf8", kind);
  Register(group, "ours", bytes.size(), [=, &bytes] {
    bool undefined = false;
    return straight->Convert(bytes.data(), bytes.size(), out, undefined);
  });
  auto* iconv = new CIconv("UTF-8", CpName(code).c_str(), 1);
  Register(group, "iconv", bytes.size(),
           [=, &bytes] { return iconv->Convert(bytes.data(), bytes.size(), out, bytes.size() * 3 + 32); });
  auto* icu = new CIcu(CIcu::Direction::kBetween, WindowsName(code).c_str(), "UTF-8");
  Register(group, "icu", bytes.size(),
           [=, &bytes] { return icu->Convert(bytes.data(), bytes.size(), out, bytes.size() * 3 + 32); });
}

void RegisterUtf8(TextKind kind) {
  const auto& bytes = Utf8Text(kind);
  auto* units = Buffer<uint16_t>(bytes.size());
  const std::string decode = Name("utf8_to_utf16", kind);
  Register(decode, "ours", bytes.size(), [=, &bytes] {
    std::uint32_t size = 0;
    return static_cast<std::size_t>(ConvertUtf8ToDoubleByte(bytes.data(), Bytes32(bytes.size()), units, &size)) + size;
  });
  auto* toIconv = new CIconv("UTF-16LE", "UTF-8", 1);
  Register(decode, "iconv", bytes.size(),
           [=, &bytes] { return toIconv->Convert(bytes.data(), bytes.size(), units, bytes.size() * 2 + 32); });
  auto* toIcu = new CIcu(CIcu::Direction::kToUtf16, "UTF-8");
  Register(decode, "icu", bytes.size(),
           [=, &bytes] { return toIcu->Convert(bytes.data(), bytes.size(), units, bytes.size() * 2 + 32); });

  const std::string detect = Name("detect", kind);
  Register(detect, "ours", bytes.size(),
           [&bytes] { return static_cast<std::size_t>(DetectCharacterSet(bytes.data(), Bytes32(bytes.size()))); });
  // No yardstick detects; the closest work is their UTF-8 decoding of the same bytes.
  Register(detect, "iconv", bytes.size(),
           [=, &bytes] { return toIconv->Convert(bytes.data(), bytes.size(), units, bytes.size() * 2 + 32); });
  Register(detect, "icu", bytes.size(),
           [=, &bytes] { return toIcu->Convert(bytes.data(), bytes.size(), units, bytes.size() * 2 + 32); });

  const auto& text = Utf16Text(kind);
  const std::size_t textBytes = text.size() * 2;
  std::uint32_t needed = 0;
  ConvertDoubleByteToUtf8(U16(text), Bytes32(textBytes), nullptr, &needed);
  auto* out = Buffer<std::uint8_t>(needed);
  const std::string encode = Name("utf16_to_utf8", kind);
  Register(encode, "ours", textBytes, [=, &text] {
    std::uint32_t size = needed;
    return static_cast<std::size_t>(ConvertDoubleByteToUtf8(U16(text), Bytes32(textBytes), out, &size)) + size;
  });
  auto* fromIconv = new CIconv("UTF-8//IGNORE", "UTF-16LE", 2);
  Register(encode, "iconv", textBytes, [=, &text] { return fromIconv->Convert(text.data(), textBytes, out, needed); });
  auto* fromIcu = new CIcu(CIcu::Direction::kFromUtf16, "UTF-8");
  Register(encode, "icu", textBytes, [=, &text] { return fromIcu->Convert(text.data(), textBytes, out, needed); });
}

void RegisterUtf16(TextKind kind) {
  const auto& text = Utf16Text(kind);
  const std::size_t textBytes = text.size() * 2;
  auto* copy = Buffer<uint16_t>(text.size());
  std::memcpy(copy, text.data(), textBytes);
  const std::string swap = Name("swap", kind);
  Register(swap, "ours", textBytes,
           [=] { return static_cast<std::size_t>(TransformEndianess(copy, Bytes32(textBytes))); });
  auto* out = Buffer<std::uint8_t>(textBytes);
  auto* swapIconv = new CIconv("UTF-16BE//IGNORE", "UTF-16LE", 2);
  Register(swap, "iconv", textBytes,
           [=, &text] { return swapIconv->Convert(text.data(), textBytes, out, textBytes + 16); });
  auto* swapIcu = new CIcu(CIcu::Direction::kBetween, "UTF-16LE", "UTF-16BE");
  Register(swap, "icu", textBytes,
           [=, &text] { return swapIcu->Convert(text.data(), textBytes, out, textBytes + 16); });

  auto* lines = Buffer<uint16_t>(text.size());
  Register(Name("line_breaks", kind), "ours", textBytes, [=, &text] {
    std::uint32_t size = 0;
    return static_cast<std::size_t>(
        TransformNewLineCharacter(LINEBREAK_UNIX, U16(text), Bytes32(textBytes), lines, &size));
  });
}

// What memory alone allows a single-byte decoding: streaming stores of the 128 MiB that a
// 64 MiB input decodes to, reading nothing, in MB/s of that input. No conversion can write its
// output faster; sb_to_utf16 runs close to it.
void RegisterWriteCeiling() {
#if defined(__SSE2__)
  const std::size_t inputBytes = SingleByteText(TextKind::kLatin).size();
  auto* out = Buffer<std::uint8_t>(2 * inputBytes);
  Register("write_ceiling/sb_to_utf16", "ours", inputBytes, [=] {
    const __m128i fill = _mm_set1_epi8(0x20);
    for (std::size_t k = 0; k < 2 * inputBytes; k += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(out + k), fill);
    _mm_sfence();
    return static_cast<std::size_t>(out[0]);
  });
#endif
}

std::string gFilePath;

void RegisterDetectByFile() {
  char pattern[] = "/tmp/engine_bench_XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) return;
  const auto& bytes = Utf8Text(TextKind::kLatin);
  std::FILE* f = fdopen(fd, "wb");
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  std::fclose(f);
  gFilePath = pattern;
  if (!written) return;
  auto* path = new std::vector<uint16_t>(gFilePath.begin(), gFilePath.end());
  path->push_back(0);
  Register("detect_file/latin", "ours", bytes.size(),
           [path] { return static_cast<std::size_t>(DetectCharacterSetByFile(path->data())); });
}

// Collects each run's rate for the summary, and prints the usual table meanwhile.
class CSummaryReporter : public benchmark::ConsoleReporter {
 public:
  using Run_ = benchmark::BenchmarkReporter::Run;
  void ReportRuns(const std::vector<Run_>& runs) override {
    for (const Run_& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end() || run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      const auto slash = name.rfind('/');
      // Names carry "/real_time" after the implementation.
      const std::string head = name.substr(0, slash);
      const std::string base = name.ends_with("/real_time") ? head : name;
      const auto implSlash = base.rfind('/');
      gResults[base.substr(0, implSlash)][base.substr(implSlash + 1)] = rate->second.value / 1e6;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// Every function with a yardstick is to run at least this many times as fast as the faster one.
constexpr double kMinRatio = 8;

// The targets on the 2-core development machine, in MB/s of input, release build.
double TargetFor(const std::string& group) {
  if (group.starts_with("sb_to_utf16/")) return 2000;
  if (group.starts_with("utf16_to_sb/")) return 1500;
  if (group.starts_with("sb_to_utf8/")) return 2000;
  if (group == "utf8_to_utf16/latin") return 3000;
  if (group == "utf8_to_utf16/cyrillic") return 1000;
  if (group == "utf16_to_utf8/latin") return 2000;
  if (group == "detect/latin") return 2000;
  return 0;
}

void PrintSummary(const char* path) {
  std::printf("\nSummary (%s path; MB/s = 10^6 input bytes per second; ratio = ours / faster yardstick)\n", path);
  std::printf("%-24s %10s %10s %10s %8s %8s  %s\n", "function/input", "ours", "iconv", "icu", "ratio", "target",
              "verdict");
  for (const std::string& group : gOrder) {
    auto& r = gResults[group];
    if (r.find("ours") == r.end()) continue;  // filtered out
    const double ours = r["ours"], iconv = r["iconv"], icu = r["icu"];
    const double yardstick = std::max(iconv, icu);
    const double ratio = yardstick > 0 ? ours / yardstick : 0;
    const double target = TargetFor(group);
    const bool ok = (target == 0 || ours >= target) && (yardstick == 0 || ratio >= kMinRatio);
    std::printf("%-24s %10.0f %10.0f %10.0f %8.2f %8.0f  %s\n", group.c_str(), ours, iconv, icu, ratio, target,
                ok ? "met" : "MISSED");
  }
  std::printf("(detect: no yardstick detects; theirs is their UTF-8 decoding of the same bytes)\n");
  std::printf("(write_ceiling: no conversion, only the stores of a single-byte decoding's output)\n");
}

}  // namespace
}  // namespace glyphshift::bench

int main(int argc, char** argv) {
  using namespace glyphshift;
  engine::CodecPath wanted = engine::BestCodecPath();
  if (const char* env = std::getenv("GLYPHSHIFT_FORCE_SCALAR"); env != nullptr && std::strcmp(env, "0") != 0) {
    wanted = engine::CodecPath::kReference;
  }
  const std::map<std::string, engine::CodecPath> paths = {{"reference", engine::CodecPath::kReference},
                                                          {"sse2", engine::CodecPath::kSse2},
                                                          {"ssse3", engine::CodecPath::kSsse3},
                                                          {"avx512", engine::CodecPath::kAvx512}};
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--scalar") {
      wanted = engine::CodecPath::kReference;
    } else if (arg.starts_with("--path=") && paths.count(arg.substr(7)) != 0) {
      wanted = paths.at(arg.substr(7));
    } else {
      args.push_back(argv[i]);
    }
  }
  const engine::CodecPath path = engine::SetCodecPath(wanted);
  const char* pathName = path == engine::CodecPath::kReference ? "reference (scalar)"
                         : path == engine::CodecPath::kSse2    ? "SSE2"
                         : path == engine::CodecPath::kSsse3   ? "SSSE3"
                                                               : "AVX-512";
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  std::fprintf(stderr, "generating 64 MiB inputs...\n");
  for (bench::TextKind kind :
       {bench::TextKind::kLatin, bench::TextKind::kCyrillic, bench::TextKind::kGreekCjk, bench::TextKind::kRandom}) {
    bench::RegisterSingleByte(kind);
    bench::RegisterSingleByteToUtf8(kind);
    bench::RegisterUtf8(kind);
    bench::RegisterUtf16(kind);
  }
  bench::RegisterDetectByFile();
  bench::RegisterWriteCeiling();
  bench::CSummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (!bench::gFilePath.empty()) std::remove(bench::gFilePath.c_str());
  bench::PrintSummary(pathName);
  benchmark::Shutdown();
  return 0;
}
