// The statistical detector of engine/charset_guess.h, measured.
//
//   detector_bench guess FILE...   for each file (at most its first 64 KiB), one line:
//                                  kind, table code, runner-up, confidence, family, language
//   detector_bench speed FILE...   the time to judge a 64 KiB sample made of each file (and of
//                                  random bytes, the most kinds of pair), against decoding the
//                                  same bytes with ISO-8859-1 (target: 2 ms)
//   detector_bench corpus DIR      the shared corpus (DIR/SOURCES.md names each document's set):
//                                  the run's detection with /detect=statistical and by default;
//                                  misses and a table per family
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "bench/detector_corpus.h"
#include "engine/charset_catalogue.h"
#include "engine/charset_guess.h"
#include "engine/engine.h"

namespace glyphshift::bench {
namespace {

std::vector<std::uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const char* KindName(engine::GuessKind kind) {
  switch (kind) {
    case engine::GuessKind::kCharset: return "charset";
    case engine::GuessKind::kUnconvertible: return "unconvertible";
    default: return "none";
  }
}

int Guess(int count, char** files) {
  for (int i = 0; i < count; ++i) {
    const std::vector<std::uint8_t> bytes = ReadFile(files[i]);
    const engine::CharsetGuess g = engine::GuessCharset(bytes);
    std::printf("%s\t%d\t%d\t%d\t%s\t%s\n", KindName(g.kind), g.code, g.runnerUp, g.confidence,
                g.family != nullptr ? g.family : "-", g.language != nullptr ? g.language : "-");
  }
  return 0;
}

template <class Work>
double BestMilliseconds(int runs, Work work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = 12345;
  for (std::uint8_t& b : bytes) {
    state = state * 1664525u + 1013904223u;  // a fixed sequence: the same sample every run
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

int Speed(int count, char** files) {
  std::printf("64 KiB samples, best of 20 runs (target: the detector within 2 ms)\n");
  std::printf("%-40s %10s %14s %8s  %s\n", "sample", "detector", "ISO-8859-1 dec.", "ratio", "answer");
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> samples;
  for (int i = 0; i < count; ++i) {
    const std::vector<std::uint8_t> text = ReadFile(files[i]);
    if (text.empty()) continue;
    std::vector<std::uint8_t> sample;
    while (sample.size() < engine::kGuessSampleBytes) sample.insert(sample.end(), text.begin(), text.end());
    sample.resize(engine::kGuessSampleBytes);
    samples.emplace_back(files[i], std::move(sample));
  }
  samples.emplace_back("(random bytes)", RandomBytes(engine::kGuessSampleBytes));
  double worst = 0;
  std::vector<char16_t> decoded(engine::kGuessSampleBytes);
  for (const auto& [file, sample] : samples) {
    engine::CharsetGuess guess;
    const double detector = BestMilliseconds(20, [&] { guess = engine::GuessCharset(sample); });
    const double yardstick = BestMilliseconds(20, [&] {
      std::uint32_t size = static_cast<std::uint32_t>(decoded.size() * 2);
      engine::SingleByteToUtf16(0, sample.data(), static_cast<std::uint32_t>(sample.size()), decoded.data(), &size);
    });
    worst = std::max(worst, detector);
    std::string name = file;
    if (name.size() > 40) name = "..." + name.substr(name.size() - 37);
    std::printf("%-40s %7.3f ms %11.3f ms %7.0fx  %s %d (%d%%)\n", name.c_str(), detector, yardstick,
                detector / yardstick, KindName(guess.kind), guess.code, guess.confidence);
  }
  std::printf("slowest: %.3f ms: %s\n", worst, worst <= 2.0 ? "within 2 ms" : "OVER 2 ms");
  return 0;
}

}  // namespace
}  // namespace glyphshift::bench

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "guess") return glyphshift::bench::Guess(argc - 2, argv + 2);
  if (mode == "speed") return glyphshift::bench::Speed(argc - 2, argv + 2);
  if (mode == "corpus" && argc == 3) return glyphshift::bench::ScoreCorpus(argv[2]);
  std::fprintf(stderr, "usage: detector_bench guess FILE... | speed FILE... | corpus DIR\n");
  return 2;
}
