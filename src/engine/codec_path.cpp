#include "engine/codec_path.h"

#include "engine/allocation.h"

#include <atomic>
#include <new>

namespace glyphshift::engine {
namespace {

CodecPath DetectBestPath() noexcept {
#if defined(__SSE2__)
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();  // this runs from a static constructor, possibly before the runtime's own
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2")) {
    return CodecPath::kAvx512;
  }
  if (__builtin_cpu_supports("ssse3")) return CodecPath::kSsse3;
#endif
  return CodecPath::kSse2;
#else
  return CodecPath::kReference;
#endif
}

const CodecPath gBestPath = DetectBestPath();
std::atomic<CodecPath> gPath{gBestPath};

}  // namespace

CodecPath BestCodecPath() noexcept { return gBestPath; }

CodecPath CurrentCodecPath() noexcept { return gPath.load(std::memory_order_relaxed); }

CodecPath SetCodecPath(CodecPath path) noexcept {
  const CodecPath chosen = static_cast<int>(path) > static_cast<int>(gBestPath) ? gBestPath : path;
  gPath.store(chosen, std::memory_order_relaxed);
  return chosen;
}

void* AllocateReverseTable(std::size_t bytes) noexcept {
  if (AllocationFailsForTesting()) return nullptr;
  return ::operator new(bytes, std::nothrow);
}

void ReleaseReverseTable(void* block) noexcept { ::operator delete(block); }

}  // namespace glyphshift::engine
