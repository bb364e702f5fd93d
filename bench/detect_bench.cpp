// Companion of detect_corpus.sh: how long detection takes on a large file.
//
//   detect_bench time FILE [N]   best of N (default 5) wall times of the run's per-file
//                                detection, simple and statistical, with the file's size in
//                                MB over that time (detection reads only part of a large file)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/named_files.h"
#include "engine/charset_catalogue.h"
#include "platform/native_text.h"
#include "run/source_detection.h"

namespace glyphshift::bench {
namespace {

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += static_cast<char>(*text);
  return out;
}

int Time(const char* file, int runs) {
  const CNamedSource source(platform::FromNative(file));
  if (source.source.error) {
    std::fprintf(stderr, "detect_bench: cannot open %s\n", file);
    return 1;
  }
  const double megabytes = static_cast<double>(source.source.file.status.size) / 1e6;
  for (const DetectionMethod method : {DetectionMethod::Simple, DetectionMethod::Statistical}) {
    double best = 1e30;
    SourceDetection result;
    for (int i = 0; i < runs; ++i) {
      const auto start = std::chrono::steady_clock::now();
      result = DetectSourceCharset(source.source, method);
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const char* label = method == DetectionMethod::Simple ? "simple" : "statistical";
    const std::string answer =
        Narrow(CharsetNameFromCode(result.code)) + (result.detectorName.empty() ? "" : " from " + result.detectorName);
    std::printf("%-12s %9.3f ms  %12.0f MB/s  -> %s\n", label, best * 1e3, megabytes / best, answer.c_str());
  }
  return 0;
}

}  // namespace
}  // namespace glyphshift::bench

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "time" && argc > 2) return glyphshift::bench::Time(argv[2], argc > 3 ? std::atoi(argv[3]) : 5);
  std::fprintf(stderr, "usage: detect_bench time FILE [RUNS]\n");
  return 2;
}
